#pragma once
#include <chrono>
#include <cstddef>
#include <string>

namespace intro {

// A progress bar on standard error: work done, rate and time left. On a
// terminal it redraws one line at most ten times a second; elsewhere (logs,
// pipes) it prints a line at every tenth of the work.
class Progress {
 public:
  Progress(std::string label, std::size_t total, std::string unit);
  void update(std::size_t done);
  // Ends the line with the total time taken.
  void finish();

 private:
  void draw(std::size_t done, bool final_line);

  std::string label_;
  std::size_t total_;
  std::string unit_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  int last_tenth_ = -1;
  std::size_t done_ = 0;
};

}  // namespace intro
