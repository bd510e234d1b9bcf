// Shader pieces read from a folder: the joined text in the build's order,
// what is missing, which edits touch the music, and compile messages mapped
// from lines of the joined text back to each piece's own lines.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "shader_folder.h"

namespace {

struct TempDir {
  std::string path;
  TempDir() {
    char name[] = "/tmp/intro_view_test_XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
  void write(const std::string& name, const std::string& text) const { std::ofstream(path + "/" + name) << text; }
};

const std::vector<std::string> kNames = {"a.glsl", "song.glsl", "camera.glsl", "main.glsl"};

void write_all(const TempDir& d) {
  d.write("a.glsl", "#version 430\nint a;\n");                 // lines 1-2
  d.write("song.glsl", "float s;\nfloat t;\nfloat u;\n");     // lines 3-5
  d.write("camera.glsl", "vec3 c;\n");                         // line 6
  d.write("main.glsl", "void main()\n{\n}\n");                 // lines 7-9
}

TEST(ShaderFolder, JoinsInOrderAndKeepsTheEntryPointOutOfTheLibrary) {
  TempDir d;
  write_all(d);
  view::ShaderFolder f;
  std::string error;
  ASSERT_TRUE(view::shader_folder_load(f, d.path, kNames, error)) << error;
  EXPECT_EQ(view::shader_folder_source(f), "#version 430\nint a;\nfloat s;\nfloat t;\nfloat u;\nvec3 c;\nvoid main()\n{\n}\n");
  EXPECT_EQ(view::shader_folder_library(f), "#version 430\nint a;\nfloat s;\nfloat t;\nfloat u;\nvec3 c;\n");
  ASSERT_EQ(f.pieces.size(), 4u);
  EXPECT_EQ(f.pieces[0].first_line, 1);
  EXPECT_EQ(f.pieces[1].first_line, 3);
  EXPECT_EQ(f.pieces[2].first_line, 6);
  EXPECT_EQ(f.pieces[3].first_line, 7);
}

TEST(ShaderFolder, MapsJoinedLinesToPieceLines) {
  TempDir d;
  write_all(d);
  view::ShaderFolder f;
  std::string error;
  ASSERT_TRUE(view::shader_folder_load(f, d.path, kNames, error));
  struct Case {
    std::string log, expected;
  } cases[] = {
      {"0:1(2): error: x", "a.glsl:1(2): error: x"},
      {"0:3(10): error: y", "song.glsl:1(10): error: y"},
      {"0:5(1): warning: z", "song.glsl:3(1): warning: z"},
      {"0:6(7): error: w", "camera.glsl:1(7): error: w"},
      {"0:9(1): error: v", "main.glsl:3(1): error: v"},
      {"0(4) : error C0000: u", "song.glsl:2 : error C0000: u"},
      {"0:2(1): a\n0:8(3): b\n", "a.glsl:2(1): a\nmain.glsl:2(3): b\n"},
      {"0:40(1): past the end", "0:40(1): past the end"},
      {"error: linking failed", "error: linking failed"},
  };
  for (const Case& c : cases) EXPECT_EQ(view::translate_log(c.log, f.pieces), c.expected) << c.log;
}

TEST(ShaderFolder, SaysWhatIsMissing) {
  std::string error;
  view::ShaderFolder f;
  EXPECT_FALSE(view::shader_folder_load(f, "/nonexistent/intro/shader", kNames, error));
  EXPECT_NE(error.find("does not exist"), std::string::npos) << error;

  TempDir empty;
  EXPECT_FALSE(view::shader_folder_load(f, empty.path, kNames, error));
  EXPECT_NE(error.find("none of the shader pieces"), std::string::npos) << error;

  TempDir partial;
  write_all(partial);
  std::remove((partial.path + "/camera.glsl").c_str());
  EXPECT_FALSE(view::shader_folder_load(f, partial.path, kNames, error));
  EXPECT_NE(error.find("lacks camera.glsl"), std::string::npos) << error;
}

TEST(ShaderFolder, OnlyEditsOutsideTheFilmPiecesChangeTheMusic) {
  TempDir d;
  write_all(d);
  view::ShaderFolder before, after;
  std::string error;
  ASSERT_TRUE(view::shader_folder_load(before, d.path, kNames, error));
  d.write("camera.glsl", "vec3 c2;\n");
  ASSERT_TRUE(view::shader_folder_load(after, d.path, kNames, error));
  EXPECT_FALSE(view::shader_folder_music_differs(before, after));
  d.write("song.glsl", "float s;\nfloat t;\nfloat u2;\n");
  ASSERT_TRUE(view::shader_folder_load(after, d.path, kNames, error));
  EXPECT_TRUE(view::shader_folder_music_differs(before, after));
  d.write("song.glsl", "float s;\nfloat t;\nfloat u;\n");
  d.write("a.glsl", "#version 430\nint b;\n");  // the shared interface feeds the song too
  ASSERT_TRUE(view::shader_folder_load(after, d.path, kNames, error));
  EXPECT_TRUE(view::shader_folder_music_differs(before, after));
}

TEST(ShaderFolder, TheBuildOrderIsTheShaderFolderOrder) {
  const std::vector<std::string> names = view::build_piece_names();
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names.front(), "interface.glsl");
  EXPECT_EQ(names.back(), "main.glsl");
}

}  // namespace
