// The frame and video commands as a user runs them: argument errors, the
// files they write (checked with the PNG reader and ffprobe), determinism,
// and clean failures when ffmpeg is missing or fails.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "png_image.h"
#include "run_command.h"

namespace {

const std::string kRender = INTRO_RENDER_PATH;

struct Outcome {
  int status;
  std::string output;  // stdout and stderr together
};

Outcome run(const std::string& command_line) {
  const auto result = intro::test::run_command(command_line);
  return {result.exit_code, result.output};
}

bool exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// A fresh folder per test, so that left-over partial files would show.
class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/film-commands-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::vector<std::string> files() const {
    const Outcome o = run("ls -A " + dir_);
    std::vector<std::string> names;
    std::stringstream lines(o.output);
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    return names;
  }
  std::string dir_;
};

TEST_F(Commands, ArgumentErrors) {
  const struct { std::string args; int status; const char* message; } cases[] = {
      {"frame --out X.png", 2, "--time is required"},
      {"frame --time 10", 2, "--out is required"},
      {"frame --time ten --out X.png", 2, "--time needs a number"},
      {"frame --time 126 --out X.png", 2, "between 0 and 125"},
      {"frame --time -1 --out X.png", 2, "between 0 and 125"},
      {"frame --time 10 --out X.png --warmup -3", 2, "--warmup must be between"},
      {"frame --time 10 --out X.png --stored X.png", 2, "same file"},
      {"frame --time 10 --out X.png --size 5", 2, "unknown option --size"},
      {"frame --time 10 --out /nonexistent-folder/a.png", 1, "cannot write"},
      {"video", 2, "--out is required"},
      {"video --out X.mp4 --fps 0", 2, "--fps must be between"},
      {"video --out X.mp4 --fps 2.5", 2, "--fps needs a whole number"},
      {"video --out X.mp4 --from 20 --to 10", 2, "later than --from"},
      {"video --out X.mp4 --to 130", 2, "between 0 and 125"},
      {"video --out X.mp4 --fps 1 --from 10.2 --to 10.4", 2, "no frame falls"},
  };
  for (const auto& c : cases) {
    std::string args = c.args;
    for (std::size_t at; (at = args.find("X.")) != std::string::npos;) args.replace(at, 1, dir_ + "/x");
    SCOPED_TRACE(args);
    const Outcome o = run(kRender + " " + args);
    EXPECT_EQ(o.status, c.status) << o.output;
    EXPECT_NE(o.output.find(c.message), std::string::npos) << o.output;
  }
  EXPECT_TRUE(files().empty());
}

TEST_F(Commands, FrameIsDeterministicAndWritesBothImages) {
  const std::string a = dir_ + "/a.png", b = dir_ + "/b.png", stored = dir_ + "/stored.png";
  const std::string common = kRender + " frame --time 47 --warmup 1";
  const Outcome first = run(common + " --out " + a + " --stored " + stored);
  ASSERT_EQ(first.status, 0) << first.output;
  const Outcome second = run(common + " --out " + b);
  ASSERT_EQ(second.status, 0) << second.output;

  int wa = 0, ha = 0, wb = 0, hb = 0;
  const auto pa = intro::read_png_rgba8(a, wa, ha);
  const auto pb = intro::read_png_rgba8(b, wb, hb);
  EXPECT_EQ(wa, 1280);
  EXPECT_EQ(ha, 720);
  EXPECT_TRUE(pa == pb) << "the same time and warm-up give the same bits";
  // Letterbox rows black, the picture not.
  for (int x = 0; x < 1280; x += 37) {
    const std::size_t bar = (static_cast<std::size_t>(10) * 1280 + x) * 4;
    EXPECT_EQ(pa[bar] + pa[bar + 1] + pa[bar + 2], 0);
  }
  const std::size_t middle = (static_cast<std::size_t>(360) * 1280 + 640) * 4;
  EXPECT_GT(pa[middle] + pa[middle + 1] + pa[middle + 2], 0);

  // The stored target: a 16-bit RGBA PNG (IHDR: bit depth 16, colour type 6).
  std::ifstream in(stored, std::ios::binary);
  std::vector<unsigned char> header(26);
  in.read(reinterpret_cast<char*>(header.data()), 26);
  ASSERT_TRUE(in.good());
  EXPECT_EQ(header[24], 16);
  EXPECT_EQ(header[25], 6);
  EXPECT_EQ(files().size(), 3u) << "no partial files left";
}

TEST_F(Commands, TinyVideoHasH264AndAacOfTheRightShape) {
  const std::string out = dir_ + "/tiny.mp4";
  const Outcome o = run(kRender + " video --fps 10 --from 16 --to 16.2 --warmup 0 --out " + out);
  ASSERT_EQ(o.status, 0) << o.output;
  EXPECT_NE(o.output.find("2/2 frames"), std::string::npos) << "progress shows frames done";
  const Outcome video = run("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                            "stream=codec_name,pix_fmt,width,height,nb_read_frames -of default=nw=1 " + out);
  EXPECT_NE(video.output.find("codec_name=h264"), std::string::npos) << video.output;
  EXPECT_NE(video.output.find("pix_fmt=yuv420p"), std::string::npos) << video.output;
  EXPECT_NE(video.output.find("width=1280"), std::string::npos) << video.output;
  EXPECT_NE(video.output.find("height=720"), std::string::npos) << video.output;
  EXPECT_NE(video.output.find("nb_read_frames=2"), std::string::npos) << video.output;
  const Outcome audio = run("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels "
                            "-of default=nw=1 " + out);
  EXPECT_NE(audio.output.find("codec_name=aac"), std::string::npos) << audio.output;
  EXPECT_NE(audio.output.find("sample_rate=44100"), std::string::npos) << audio.output;
  EXPECT_EQ(files().size(), 1u);
}

TEST_F(Commands, MissingOrFailingFfmpegLeavesNoFile) {
  const std::string out = dir_ + "/film.mp4";
  // No ffmpeg on PATH: a clear error before any rendering.
  const Outcome missing = run("PATH=/nonexistent " + kRender + " video --fps 10 --to 0.1 --out " + out);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("ffmpeg was not found"), std::string::npos) << missing.output;
  EXPECT_TRUE(files().empty());

  // An ffmpeg that fails at once: its exit status and messages are shown.
  const std::string fake = dir_ + "/bin";
  ASSERT_EQ(std::system(("mkdir " + fake + " && printf '#!/bin/sh\\necho fake encoder gave up >&2\\nexit 3\\n' > " +
                         fake + "/ffmpeg && chmod +x " + fake + "/ffmpeg").c_str()), 0);
  const Outcome failing = run("PATH=" + fake + ":/usr/bin:/bin " + kRender + " video --fps 10 --to 0.1 --out " + out);
  EXPECT_EQ(failing.status, 1);
  EXPECT_NE(failing.output.find("fake encoder gave up"), std::string::npos) << failing.output;
  EXPECT_NE(failing.output.find("status 3"), std::string::npos) << failing.output;
  EXPECT_FALSE(exists(out));
  EXPECT_EQ(files(), std::vector<std::string>{"bin"}) << "no partial file beside the output";
}

}  // namespace
