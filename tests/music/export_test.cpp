// intro-render audio as a user runs it: argument checks with their messages
// and exit codes, clean failures that leave no file, and a short export read
// back with libsndfile.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "run_command.h"

namespace {

using Result = intro::test::CommandResult;

Result run_audio(const std::string& arguments) {
  return intro::test::run_command(std::string(INTRO_RENDER) + " audio " + arguments);
}

class AudioExport : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/music-export-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }
  // Names in the folder, hidden ones (temporary files) included.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder_.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(d);
    }
    return names;
  }
  std::string folder_;
};

TEST_F(AudioExport, RejectsBadArguments) {
  struct Row { std::string arguments; std::string message; };
  const std::string out = "--out " + folder_ + "/song.wav";
  const std::vector<Row> rows = {
      {"", "--out is required"},
      {"--out", "--out needs a value"},
      {out + " --from 1 --to 1", "--from must be before --to"},
      {out + " --from 2 --to 1", "--from must be before --to"},
      {out + " --from -0.5", "--from must lie within 0 to 125 seconds"},
      {out + " --to 125.5", "--to must lie within 0 to 125 seconds"},
      {out + " --from 125 --to 125", "--from must be before --to"},
      {out + " --from nan", "--from needs a number"},
      {out + " --to inf", "--to needs a number"},
      {out + " --to 1s", "--to needs a number"},
      {out + " --from 0.00001 --to 0.00001001", "round to the same sample frame"},
      {out + " --rate 48000", "unknown option --rate"},
      {out + " " + out, "--out given twice"},
  };
  for (const Row& r : rows) {
    const Result result = run_audio(r.arguments);
    EXPECT_EQ(result.exit_code, 2) << r.arguments << "\n" << result.output;
    EXPECT_NE(result.output.find(r.message), std::string::npos) << r.arguments << "\n" << result.output;
    EXPECT_NE(result.output.find("usage: intro-render audio"), std::string::npos) << r.arguments;
  }
  EXPECT_TRUE(entries().empty());
}

TEST_F(AudioExport, MissingFolderFailsCleanly) {
  const Result result = run_audio("--out " + folder_ + "/missing/song.wav --to 0.1");
  EXPECT_EQ(result.exit_code, 1) << result.output;
  EXPECT_NE(result.output.find("cannot write"), std::string::npos) << result.output;
  EXPECT_TRUE(entries().empty());
}

// The final name is a folder: the render runs, moving the file into place
// fails, and the temporary file beside it is gone afterwards.
TEST_F(AudioExport, UnwritableFinalNameLeavesNoFile) {
  const std::string target = folder_ + "/taken";
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  const Result result = run_audio("--out " + target + " --to 0.05");
  EXPECT_EQ(result.exit_code, 1) << result.output;
  EXPECT_NE(result.output.find("cannot move the finished file"), std::string::npos) << result.output;
  EXPECT_EQ(entries(), std::vector<std::string>{"taken"});
}

// --from 0.5 --to 0.7 is frames round(0.5 * 44100) = 22,050 up to 30,870:
// 8,820 frames, of which the first 2,450 lie before the lead's first note at
// frame 24,500 and are silent.
TEST_F(AudioExport, ShortExportReadsBackAsFloatStereo) {
  const std::string path = folder_ + "/short.wav";
  const Result result = run_audio("--out " + path + " --from 0.5 --to 0.7");
  ASSERT_EQ(result.exit_code, 0) << result.output;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 44100);
  ASSERT_EQ(info.frames, 8820);
  std::vector<float> frames(static_cast<std::size_t>(info.frames) * 2);
  ASSERT_EQ(sf_readf_float(file, frames.data(), info.frames), info.frames);
  sf_close(file);
  float loudest = 0;
  for (std::size_t i = 0; i < 8820; ++i) {
    ASSERT_EQ(frames[2 * i], frames[2 * i + 1]) << "frame " << i;
    if (i < 2450) ASSERT_EQ(frames[2 * i], 0.0f) << "frame " << 22050 + i;
    loudest = std::max(loudest, std::fabs(frames[2 * i]));
  }
  EXPECT_GT(loudest, 0.2f) << "the lead sounds from 0.556 s";
  EXPECT_EQ(entries(), std::vector<std::string>{"short.wav"});
}

}  // namespace
