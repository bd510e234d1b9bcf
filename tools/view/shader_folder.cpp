#include "shader_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "shader_pieces.h"

namespace view {
namespace {

const char* const kFilmPieces[] = {"camera.glsl", "scene.glsl", "march.glsl", "glow.glsl", "post.glsl", "main.glsl"};

bool is_film_piece(const std::string& name) {
  for (const char* film : kFilmPieces) {
    if (name == film) return true;
  }
  return false;
}

int count_lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// Piece and local line for a line of the joined text; null past the end.
const PieceFile* piece_of_line(const std::vector<PieceFile>& pieces, int line, int& local) {
  for (const PieceFile& p : pieces) {
    const int lines = std::max(1, count_lines(p.text));
    if (line >= p.first_line && line < p.first_line + lines) {
      local = line - p.first_line + 1;
      return &p;
    }
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> build_piece_names() {
  std::vector<std::string> names;
  for (int i = 0; i < shader_piece_count; ++i) names.push_back(shader_pieces[i].name);
  return names;
}

int shader_folder_load(ShaderFolder& folder, const std::string& dir, const std::vector<std::string>& names,
                       std::string& error) {
  struct stat info {};
  if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "watch folder " + dir + " does not exist or is not a folder";
    return 0;
  }
  ShaderFolder loaded;
  loaded.dir = dir;
  std::vector<std::string> missing;
  int line = 1;
  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    PieceFile piece;
    piece.name = name;
    std::ifstream in(path, std::ios::binary);
    if (!in || stat(path.c_str(), &info) != 0) {
      missing.push_back(name);
      continue;
    }
    std::ostringstream text;
    text << in.rdbuf();
    piece.text = text.str();
    piece.mtime = info.st_mtime;
    piece.size = static_cast<long long>(info.st_size);
    piece.first_line = line;
    // The build requires each piece to end with a newline; a piece being
    // edited may not, and then gets one so that the next starts on its own line.
    if (!piece.text.empty() && piece.text.back() != '\n') piece.text += '\n';
    line += count_lines(piece.text);
    loaded.pieces.push_back(piece);
  }
  if (loaded.pieces.empty()) {
    error = "watch folder " + dir + " holds none of the shader pieces (";
    for (std::size_t i = 0; i < names.size(); ++i) error += (i ? ", " : "") + names[i];
    error += ")";
    return 0;
  }
  if (!missing.empty()) {
    error = "watch folder " + dir + " lacks ";
    for (std::size_t i = 0; i < missing.size(); ++i) error += (i ? ", " : "") + missing[i];
    return 0;
  }
  folder = loaded;
  return 1;
}

int shader_folder_touched(const ShaderFolder& folder) {
  for (const PieceFile& p : folder.pieces) {
    struct stat info {};
    const std::string path = folder.dir + "/" + p.name;
    if (stat(path.c_str(), &info) != 0) return 1;
    if (info.st_mtime != p.mtime || static_cast<long long>(info.st_size) != p.size) return 1;
  }
  return 0;
}

std::string shader_folder_source(const ShaderFolder& folder) {
  std::string out;
  for (const PieceFile& p : folder.pieces) out += p.text;
  return out;
}

std::string shader_folder_library(const ShaderFolder& folder) {
  std::string out;
  for (const PieceFile& p : folder.pieces) {
    if (p.name != "main.glsl") out += p.text;
  }
  return out;
}

int shader_folder_music_differs(const ShaderFolder& a, const ShaderFolder& b) {
  if (a.pieces.size() != b.pieces.size()) return 1;
  for (std::size_t i = 0; i < a.pieces.size(); ++i) {
    if (a.pieces[i].name != b.pieces[i].name) return 1;
    if (!is_film_piece(a.pieces[i].name) && a.pieces[i].text != b.pieces[i].text) return 1;
  }
  return 0;
}

std::string translate_log(const std::string& log, const std::vector<PieceFile>& pieces) {
  // Source string 0 (the only one), then the line, then an optional column.
  static const std::regex reference(R"(\b0:(\d+)\((\d+)\)|\b0\((\d+)\))");
  std::string out;
  auto begin = log.cbegin();
  for (std::sregex_iterator it(log.begin(), log.end(), reference), end; it != end; ++it) {
    const std::smatch& m = *it;
    out.append(begin, m[0].first);
    const bool mesa = m[1].matched;
    const int line = std::stoi(mesa ? m[1].str() : m[3].str());
    int local = 0;
    if (const PieceFile* p = piece_of_line(pieces, line, local)) {
      out += p->name + ":" + std::to_string(local);
      if (mesa) out += "(" + m[2].str() + ")";
    } else {
      out += m[0].str();
    }
    begin = m[0].second;
  }
  out.append(begin, log.cend());
  return out;
}

}  // namespace view
