// film-contact-sheet: one frame per cut (the opening and the 20 cuts),
// scaled down and laid out in a grid in cut order, as one PNG.
//   film-contact-sheet --out SHEET.png [--warmup N] [--columns 3]
#include <cstdio>
#include <string>

#include "arguments.h"
#include "film_frames.h"
#include "gl_context.h"
#include "output_file.h"
#include "png_image.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (intro::help_requested(args)) {
    std::printf("usage: film-contact-sheet --out SHEET.png [--warmup N] [--columns 3]\n"
                "  one frame per cut after N warm-up frames (default 4), laid out in a grid\n");
    return 0;
  }
  try {
    const intro::Arguments arguments(args, {"--out", "--warmup", "--columns"});
    const std::string out_path = arguments.text("--out");
    const int warmup = static_cast<int>(arguments.whole("--warmup", 4, 0, 600));
    const int columns = static_cast<int>(arguments.whole("--columns", 3, 1, 21));
    intro::OutputFile out(out_path);

    // Each tile is the picture area (rows 90 to 629) at half size, with a
    // 4-pixel gap.
    constexpr int kScale = 2, kGap = 4;
    constexpr int tile_w = intro::kFrameWidth / kScale, tile_h = 540 / kScale;
    const auto& cuts = intro::film_cuts();
    const int rows = (static_cast<int>(cuts.size()) + columns - 1) / columns;
    const int sheet_w = columns * (tile_w + kGap) + kGap, sheet_h = rows * (tile_h + kGap) + kGap;
    std::vector<std::uint8_t> sheet(static_cast<std::size_t>(sheet_w) * sheet_h * 4, 255);

    auto gl = intro::GlContext::create();
    for (std::size_t i = 0; i < cuts.size(); ++i) {
      std::fprintf(stderr, "cut %zu (shot %d) at %.1f s\n", i, cuts[i].shot, cuts[i].moment);
      intro::IntroEngine engine;
      intro::render_frame(engine, cuts[i].moment, warmup);
      const auto window = engine.read_window();
      const int col = static_cast<int>(i) % columns;
      const int row = static_cast<int>(i) / columns;
      // Sheet rows are bottom first like the window; the first row of tiles
      // goes at the top.
      const int x0 = kGap + col * (tile_w + kGap);
      const int y0 = sheet_h - (row + 1) * (tile_h + kGap);
      for (int y = 0; y < tile_h; ++y) {
        for (int x = 0; x < tile_w; ++x) {
          for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int dy = 0; dy < kScale; ++dy) {
              for (int dx = 0; dx < kScale; ++dx) {
                sum += window[((static_cast<std::size_t>(90 + y * kScale + dy)) * intro::kFrameWidth + x * kScale + dx) * 4 + c];
              }
            }
            sheet[(static_cast<std::size_t>(y0 + y) * sheet_w + x0 + x) * 4 + c] = static_cast<std::uint8_t>(sum / (kScale * kScale));
          }
        }
      }
    }
    intro::write_png_rgba8(out.temp_path(), sheet_w, sheet_h, sheet);
    out.commit();
    std::printf("%s: %zu cuts, %d columns\n", out_path.c_str(), cuts.size(), columns);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "film-contact-sheet: %s\n", e.what());
    return 1;
  }
}
