#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace intro {

// ffmpeg as a child process that reads raw frames on its standard input.
// Its standard error goes to a temporary file, whose tail is shown when it
// fails. Destroying an unfinished pipe kills and reaps the child.
class FfmpegPipe {
 public:
  // `args` are the arguments after the program name. Throws when no ffmpeg
  // can be found on PATH or it cannot be started.
  explicit FfmpegPipe(const std::vector<std::string>& args);
  ~FfmpegPipe();
  FfmpegPipe(const FfmpegPipe&) = delete;
  FfmpegPipe& operator=(const FfmpegPipe&) = delete;

  // Throws, with ffmpeg's error output, when ffmpeg has stopped reading.
  void write(const void* data, std::size_t bytes);
  // Closes the input and waits; throws unless ffmpeg exited with status 0.
  void finish();

 private:
  [[noreturn]] void fail(const std::string& what);
  std::string error_tail() const;

  pid_t pid_ = -1;
  int input_ = -1;
  std::string error_path_;
};

// The full path of `program` found on PATH, or "" when there is none.
std::string find_on_path(const std::string& program);

}  // namespace intro
