#pragma once
// The shader as pieces read from a folder (the source tree's shader/), for
// live editing: joined in the build's piece order, watched for changes, and
// compile messages mapped back from the joined text to the piece files.
#include <ctime>
#include <string>
#include <vector>

namespace view {

struct PieceFile {
  std::string name;     // e.g. "camera.glsl"
  std::string text;
  int first_line = 1;   // the joined text's line number of the piece's first line
  std::time_t mtime = 0;
  long long size = -1;
};

struct ShaderFolder {
  std::string dir;
  std::vector<PieceFile> pieces;
};

// The piece names of the build, in joining order.
std::vector<std::string> build_piece_names();

// Reads every piece named in `names` from `dir`. Returns 0 and fills `error`
// when the folder is missing, holds none of the pieces, or lacks one.
int shader_folder_load(ShaderFolder& folder, const std::string& dir, const std::vector<std::string>& names,
                       std::string& error);
// Whether a piece's file has a different time or size than when loaded.
int shader_folder_touched(const ShaderFolder& folder);

// The program text: every piece in order. The library is the same without
// the entry point (main.glsl), for the song export.
std::string shader_folder_source(const ShaderFolder& folder);
std::string shader_folder_library(const ShaderFolder& folder);
// Whether the two loads differ in a piece that the song depends on: every
// piece but the film's own (camera, scene, march, glow, post, main).
int shader_folder_music_differs(const ShaderFolder& a, const ShaderFolder& b);

// Rewrites the GL's references to lines of the joined text ("0:123(4)" as
// Mesa writes them, "0(123)" as others do) into "piece.glsl:LINE(4)" with the
// piece's own line numbers.
std::string translate_log(const std::string& log, const std::vector<PieceFile>& pieces);

}  // namespace view
