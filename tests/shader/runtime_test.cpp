// The runtime's own promises: the joined source, and a precise message with a
// non-zero exit where no suitable GL context can be had.
#include <gtest/gtest.h>

#include <string>

#include "run_command.h"
#include "shader_source.h"

namespace {

TEST(ShaderSource, StartsWithTheVersionLineAndEndsWithNul) {
  const std::string text = shader_source;
  EXPECT_EQ(text.rfind("#version 430\n", 0), 0u);
  EXPECT_NE(text.find("void main()"), std::string::npos);
}

struct MissingFeature {
  const char* name;
  const char* environment;
  const char* expected;  // part of the message
};

void PrintTo(const MissingFeature& feature, std::ostream* out) { *out << feature.environment; }

class RuntimeRefuses : public ::testing::TestWithParam<MissingFeature> {};

TEST_P(RuntimeRefuses, NamesWhatIsMissingAndExitsNonZero) {
  const auto r = intro::test::run_command(std::string("env ") + GetParam().environment + " " INTRO_RENDER_PATH " info");
  EXPECT_NE(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find(GetParam().expected), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuntimeRefuses,
    ::testing::Values(MissingFeature{"GlOlderThan44", "MESA_GL_VERSION_OVERRIDE=4.3COMPAT", "OpenGL 4.4"},
                      MissingFeature{"UnknownPlatform", "INTRO_EGL_PLATFORM=wayland", "INTRO_EGL_PLATFORM must be"}),
    [](const ::testing::TestParamInfo<MissingFeature>& info) { return std::string(info.param.name); });

}  // namespace
