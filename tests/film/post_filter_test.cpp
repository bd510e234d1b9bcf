// The post pass's filters on a chosen stored picture, against the formulas
// evaluated here in double precision: the zoom blur's 32 bilinear taps on a
// picture with sharp single texels, lines and a gradient (so the direction
// of the taps and both shrink factors show), the whole chain with the
// vignette over every picture pixel, and the grain as a per-pixel factor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "film_gl.h"
#include "intro_engine.h"

namespace {

constexpr int W = intro::kFrameWidth, H = intro::kFrameHeight;

// A stored 1280x720 RGBA16 picture, texel (x, y) at index y * W + x (rows
// bottom first, as GL stores them).
struct Picture {
  std::vector<std::uint16_t> texels = std::vector<std::uint16_t>(static_cast<std::size_t>(W) * H * 4, 0);
  void set(int x, int y, int channel, double value) {
    texels[(static_cast<std::size_t>(y) * W + x) * 4 + channel] =
        static_cast<std::uint16_t>(std::lround(std::min(1.0, std::max(0.0, value)) * 65535));
  }
  double at(int x, int y, int channel) const {
    return texels[(static_cast<std::size_t>(y) * W + x) * 4 + channel] / 65535.0;
  }
};

// Red: a faint gradient with single bright texels on a coarse grid; green: a
// smooth gradient in both directions; blue: bright one-texel lines, vertical
// ones near the left and right edges and horizontal ones near the top and
// bottom of the picture, where the blur's reach is largest.
Picture test_picture() {
  Picture picture;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      picture.set(x, y, 0, 0.05 + 0.1 * x / W);
      picture.set(x, y, 1, 0.1 + 0.3 * x / W + 0.1 * y / H);
      const bool line = x == 20 || x == 61 || x == 1200 || x == 1251 || y == 95 || y == 101 || y == 620 || y == 626;
      picture.set(x, y, 2, line ? 0.9 : 0.02);
    }
  }
  for (int y = 91; y < 630; y += 23) {
    for (int x = 3; x < W; x += 37) picture.set(x, y, 0, 1.0);
  }
  return picture;
}

Picture uniform_picture(double value) {
  Picture picture;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      for (int c = 0; c < 3; ++c) picture.set(x, y, c, value);
    }
  }
  return picture;
}

// GL_LINEAR with GL_REPEAT at texture coordinate (s, t) of level 0.
double bilinear(const Picture& picture, double s, double t, int channel) {
  const double u = s * W - 0.5, v = t * H - 0.5;
  const double iu = std::floor(u), iv = std::floor(v);
  const double a = u - iu, b = v - iv;
  auto wrap = [](long i, long n) { return static_cast<int>(((i % n) + n) % n); };
  const int x0 = wrap(static_cast<long>(iu), W), x1 = wrap(static_cast<long>(iu) + 1, W);
  const int y0 = wrap(static_cast<long>(iv), H), y1 = wrap(static_cast<long>(iv) + 1, H);
  return (1 - a) * (1 - b) * picture.at(x0, y0, channel) + a * (1 - b) * picture.at(x1, y0, channel) +
         (1 - a) * b * picture.at(x0, y1, channel) + a * b * picture.at(x1, y1, channel);
}

// The zoom blur at picture coordinate (px, py) with the two shrink factors.
void zoom_blur(const Picture& picture, double px, double py, double out[3], double fx = 0.9996, double fy = 0.9999) {
  double sum[3] = {0, 0, 0};
  double sx = 1, sy = 1;
  for (int k = 0; k < 32; ++k) {
    const double s = 0.5 - 0.5 * (1 - 2 * px) * sx, t = 0.5 - 0.5 * (1 - 2 * py) * sy;
    for (int c = 0; c < 3; ++c) sum[c] += bilinear(picture, s, t, c);
    sx *= fx;
    sy *= fy;
  }
  for (int c = 0; c < 3; ++c) out[c] = std::min(1.0, std::max(0.0, sum[c] / 32));
}

double smoothstep01(double x) {
  x = std::min(1.0, std::max(0.0, x));
  return x * x * (3 - 2 * x);
}

double vignette(double u, double v) {
  const double q[3] = {std::fabs(u - 0.5) - 0.32, std::fabs(v - 0.5) - 0.18, std::fabs(v - 0.5) - 0.3};
  const double outside = std::sqrt(std::pow(std::max(q[0], 0.0), 2) + std::pow(std::max(q[1], 0.0), 2) +
                                   std::pow(std::max(q[2], 0.0), 2));
  const double d = outside + std::min(std::max(q[0], std::max(q[1], q[2])), 0.0);
  return 0.4 + 0.6 * smoothstep01((d - 0.1 - 0.1) / -0.1);
}

// Tone curve and exposure of one channel before 121 s.
double exposed(double blurred, int channel) {
  const double power[3] = {1.0, 0.8, 0.7};
  return smoothstep01((1.3 * std::pow(blurred, power[channel]) + 0.05) / 0.85);
}

// mode 0: radial_blur at the pixel's uv; mode 1: the whole post pass at the
// pixel's uv; mode 2: the post pass at the picture centre's uv (vignette 1,
// taps on one spot), so that only the grain varies from pixel to pixel.
// `origin` shifts the kernel's fragments onto a region of the 1280x720
// frame, keeping one texel per pixel for the texture's filter selection.
const char* kPostKernel =
    "layout(location = 2) uniform vec2 origin;\n"
    "layout(location = 3) uniform float case_time;\n"
    "layout(location = 4) uniform int mode;\n"
    "void main()\n{\n"
    "    scene_time = case_time;\n"
    "    vec2 pixel = gl_FragCoord.xy + origin;\n"
    "    vec3 uv = vec3(pixel, pixel.y) / resolution.xyy;\n"
    "    if (mode == 0) f = vec4(radial_blur(uv), 0.0);\n"
    "    else if (mode == 1) f = vec4(post_pass(uv), 0.0);\n"
    "    else f = vec4(post_pass(vec3(0.5)), 0.0);\n"
    "}\n";

// Runs the kernel over width x height fragments starting at (x0, y0) of the
// frame with `picture` as the stored target.
std::vector<float> run_post(const Picture& picture, int mode, int x0, int y0, int width, int height, float seconds) {
  static intro::Kernel kernel(intro::kernel_source(kPostKernel));
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA16, W, H);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, W, H, GL_RGBA, GL_UNSIGNED_SHORT, picture.texels.data());
  const auto out = kernel.run(width, height, [&] {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform2f(2, static_cast<float>(x0), static_cast<float>(y0));
    glUniform1f(3, seconds);
    glUniform1i(4, mode);
  });
  glDeleteTextures(1, &texture);
  return out;
}

TEST(PostFilter, ZoomBlurOnAPictureWithSharpDetail) {
  const Picture picture = test_picture();
  const int y0 = 90, rows = 540;
  const auto blurred = run_post(picture, 0, 0, y0, W, rows, 0.0f);

  // The tolerance allows for the GPU's single-precision tap positions and
  // filter weights; a changed factor, direction or tap count moves the
  // sharp texels and lines by whole texels near the edges.
  constexpr double kTolerance = 5e-4;
  double largest = 0;
  int failures = 0;
  for (int y = y0; y < y0 + rows && failures < 10; ++y) {
    for (int x = 0; x < W && failures < 10; ++x) {
      double expected[3];
      zoom_blur(picture, (x + 0.5) / W, (y + 0.5) / H, expected);
      for (int c = 0; c < 3; ++c) {
        const double got = blurred[(static_cast<std::size_t>(y - y0) * W + x) * 4 + c];
        largest = std::max(largest, std::fabs(got - expected[c]));
        if (std::fabs(got - expected[c]) > kTolerance) {
          ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": got " << got << ", expected "
                        << expected[c];
          ++failures;
        }
      }
    }
  }
  std::printf("zoom blur: largest difference %.3g\n", largest);

  // The picture shows what the factors do: the pixel right of the vertical
  // line at column 1200 still sees it (taps reach back 7.3 texels there),
  // while the pixel left of it, nearer the centre, does not; with the
  // vertical factor the line at row 620 reaches the row above it by less
  // than a texel. These are checked on the reference itself, so that the
  // comparison above is known to tell such changes apart.
  auto reference = [&](int x, int y, int c, double fx, double fy) {
    double out[3];
    zoom_blur(picture, (x + 0.5) / W, (y + 0.5) / H, out, fx, fy);
    return out[c];
  };
  EXPECT_GT(reference(1203, 300, 2, 0.9996, 0.9999), 0.1);
  EXPECT_LT(reference(1199, 300, 2, 0.9996, 0.9999), 0.03);
  EXPECT_GT(std::fabs(reference(1203, 300, 2, 0.9996, 0.9999) - reference(1203, 300, 2, 0.9995, 0.9999)), 20 * kTolerance);
  EXPECT_GT(std::fabs(reference(640, 621, 2, 0.9996, 0.9999) - reference(640, 621, 2, 0.9996, 0.9998)), 20 * kTolerance);
  EXPECT_GT(std::fabs(reference(1203, 300, 2, 0.9996, 0.9999) - reference(1197, 300, 2, 0.9996, 0.9999)), 20 * kTolerance)
      << "taps towards the centre, not away from it";
}

TEST(PostFilter, WholeChainAndVignetteOverThePicture) {
  // The gradient picture through the whole pass at 0 s, where the grain is
  // exactly 0.95: blur, tone, exposure, vignette and gamma at every pixel.
  const Picture picture = test_picture();
  const int y0 = 90, rows = 540;
  const auto shown = run_post(picture, 1, 0, y0, W, rows, 0.0f);
  int failures = 0;
  double largest = 0;
  for (int y = y0; y < y0 + rows && failures < 10; ++y) {
    for (int x = 0; x < W && failures < 10; ++x) {
      const double u = (x + 0.5) / W, v = (y + 0.5) / H;
      double blurred[3];
      zoom_blur(picture, u, v, blurred);
      for (int c = 0; c < 3; ++c) {
        const double expected = std::pow(exposed(blurred[c], c) * vignette(u, v) * 0.95, 0.4545);
        const double got = shown[(static_cast<std::size_t>(y - y0) * W + x) * 4 + c];
        largest = std::max(largest, std::fabs(got - expected));
        // The gamma steepens the blur's tolerance in the darks.
        if (std::fabs(got - expected) > 1.5e-3) {
          ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": got " << got << ", expected " << expected;
          ++failures;
        }
      }
    }
  }
  std::printf("whole post pass: largest difference %.3g\n", largest);

  // A uniform picture isolates the vignette: the shown value over the
  // centre's is vignette^0.4545 everywhere, also in the rounded corners and
  // the falling band between d = 0.1 and 0.2.
  const Picture flat = uniform_picture(0.3);
  const auto flat_shown = run_post(flat, 1, 0, y0, W, rows, 0.0f);
  const double centre = flat_shown[(static_cast<std::size_t>(360 - y0) * W + 640) * 4 + 1];
  int in_band = 0;
  failures = 0;
  for (int y = y0; y < y0 + rows && failures < 10; ++y) {
    for (int x = 0; x < W && failures < 10; ++x) {
      const double factor = vignette((x + 0.5) / W, (y + 0.5) / H);
      if (factor > 0.41 && factor < 0.99) ++in_band;
      const double got = flat_shown[(static_cast<std::size_t>(y - y0) * W + x) * 4 + 1];
      if (std::fabs(got - centre * std::pow(factor, 0.4545)) > 2e-5) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": got " << got << ", expected "
                      << centre * std::pow(factor, 0.4545) << " (vignette " << factor << ")";
        ++failures;
      }
    }
  }
  EXPECT_GT(in_band, 50000) << "the picture covers the vignette's falling band";
}

TEST(PostFilter, GrainIsOneFactorPerPixelBetween095And105) {
  // Over a uniform picture at the centre's uv, a pixel's three channels
  // show exposed * grain through the gamma: the grain is what is left.
  const double s = std::lround(0.3 * 65535) / 65535.0;
  const Picture flat = uniform_picture(0.3);
  const int width = W, rows = 64;
  auto grain_field = [&](float seconds) {
    const auto shown = run_post(flat, 2, 0, 0, width, rows, seconds);
    std::vector<double> grain;
    int unequal = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * rows; ++i) {
      double g[3];
      for (int c = 0; c < 3; ++c) g[c] = std::pow(shown[i * 4 + c], 1 / 0.4545) / exposed(s, c);
      if (std::fabs(g[1] - g[0]) > 2e-5 || std::fabs(g[2] - g[0]) > 2e-5) ++unequal;
      grain.push_back(g[0]);
    }
    EXPECT_EQ(unequal, 0) << "pixels whose channels show different factors at " << seconds << " s";
    return grain;
  };

  // At 0 s the hash chain is sin_hash(0) = 0 throughout: exactly 0.95.
  for (double g : grain_field(0.0f)) ASSERT_NEAR(g, 0.95, 2e-5);

  const auto first = grain_field(37.25f);
  const auto next = grain_field(37.25f + 1.0f / 60);
  double sum = 0, squares = 0;
  int bins[10] = {0};
  for (double g : first) {
    ASSERT_GE(g, 0.95 - 2e-5);
    ASSERT_LE(g, 1.05 + 2e-5);
    sum += g;
    squares += g * g;
    bins[std::min(9, std::max(0, static_cast<int>((g - 0.95) / 0.01)))] += 1;
  }
  const double n = static_cast<double>(first.size());
  const double mean = sum / n, deviation = std::sqrt(squares / n - mean * mean);
  // A factor spread evenly over [0.95, 1.05]: mean 1, deviation 0.1/sqrt(12).
  EXPECT_NEAR(mean, 1.0, 0.003);
  EXPECT_NEAR(deviation, 0.1 / std::sqrt(12.0), 0.003);
  for (int b = 0; b < 10; ++b) EXPECT_NEAR(bins[b] / n, 0.1, 0.03) << "bin " << b;

  // It changes from frame to frame.
  int changed = 0;
  for (std::size_t i = 0; i < first.size(); ++i) changed += std::fabs(first[i] - next[i]) > 1e-3;
  EXPECT_GT(changed, static_cast<int>(0.9 * n));
}

}  // namespace
