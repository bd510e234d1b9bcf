#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace intro {

Progress::Progress(std::string label, std::size_t total, std::string unit)
    : label_(std::move(label)),
      total_(total == 0 ? 1 : total),
      unit_(std::move(unit)),
      terminal_(isatty(STDERR_FILENO) != 0),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

void Progress::update(std::size_t done) {
  done_ = done;
  const auto now = std::chrono::steady_clock::now();
  if (terminal_) {
    if (now - last_draw_ < std::chrono::milliseconds(100) && done < total_) return;
    last_draw_ = now;
    draw(done, false);
  } else {
    const int tenth = static_cast<int>(done * 10 / total_);
    if (tenth == last_tenth_) return;
    last_tenth_ = tenth;
    draw(done, false);
  }
}

void Progress::finish() { draw(done_, true); }

void Progress::draw(std::size_t done, bool final_line) {
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
  const double left = rate > 0 ? static_cast<double>(total_ - (done < total_ ? done : total_)) / rate : 0.0;
  const int width = 30;
  const int filled = static_cast<int>(static_cast<double>(done) / static_cast<double>(total_) * width);
  char bar[width + 1];
  for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '-';
  bar[width] = '\0';
  const int percent = static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total_));
  if (final_line) {
    std::fprintf(stderr, "%s%s [%s] %3d%% %zu/%zu %s in %.1f s (%.1f %s/s)\n", terminal_ ? "\r" : "", label_.c_str(),
                 bar, percent, done, total_, unit_.c_str(), elapsed, rate, unit_.c_str());
  } else {
    std::fprintf(stderr, "%s%s [%s] %3d%% %zu/%zu %s, %.1f %s/s, %d:%02d left%s", terminal_ ? "\r" : "",
                 label_.c_str(), bar, percent, done, total_, unit_.c_str(), rate, unit_.c_str(),
                 static_cast<int>(left) / 60, static_cast<int>(left) % 60, terminal_ ? "  " : "\n");
  }
  std::fflush(stderr);
}

}  // namespace intro
