#include "gl_test_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace intro::test {

GlContext& gl_context() {
  static std::unique_ptr<GlContext> context = [] {
    try {
      return GlContext::create();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      std::abort();
    }
  }();
  return *context;
}

}  // namespace intro::test
