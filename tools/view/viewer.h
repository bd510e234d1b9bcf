#pragma once
#include "view_options.h"

namespace view {

// Runs the viewer until the user quits or --frames is reached. Returns the
// process's exit code; prints what went wrong on standard error.
int run_viewer(const ViewOptions& options);

}  // namespace view
