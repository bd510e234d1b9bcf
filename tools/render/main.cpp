// intro-render: renders the intro headlessly into frames, audio and video.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"

namespace {

const intro::Command kCommands[] = {
    {"info", "", "show the headless GL context that renders would use", intro::run_info},
    {"audio", "--out FILE.wav [--from SECONDS] [--to SECONDS]",
     "the soundtrack as a 32-bit float stereo 44,100 Hz WAV, computed on the GPU", intro::run_audio},
    {"frame", "--time SECONDS --out FILE.png [--stored FILE.png] [--warmup N]",
     "the window image at one moment (and the stored 16-bit scene target)", intro::run_frame},
    {"video", "--out FILE.mp4 [--fps 60] [--from SECONDS] [--to SECONDS] [--warmup N]",
     "the film with its soundtrack as H.264/AAC through ffmpeg", intro::run_video},
};

void print_help(std::FILE* out) {
  std::fprintf(out, "usage: intro-render COMMAND [OPTIONS]\n\ncommands:\n");
  for (const auto& c : kCommands) std::fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.summary);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    print_help(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    if (intro::help_requested(args)) {
      std::printf("usage: intro-render %s %s\n  %s\n", c.name, c.usage, c.summary);
      return 0;
    }
    try {
      return c.run(args);
    } catch (const intro::UsageError& e) {
      std::fprintf(stderr, "intro-render %s: %s\nusage: intro-render %s %s\n", c.name, e.what(), c.name, c.usage);
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "intro-render %s: %s\n", c.name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "intro-render: unknown command '%s'\n\n", argv[1]);
  print_help(stderr);
  return 2;
}
