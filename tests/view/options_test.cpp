// intro-view's command line: good options land in their fields, bad ones are
// refused with a message that names the option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view_options.h"

namespace {

TEST(ViewOptions, ReadsEveryOption) {
  view::ViewOptions o;
  std::string error;
  ASSERT_TRUE(view::parse_view_options({"--time", "47.5", "--paused", "--screenshot", "a.png", "--frames", "3",
                                        "--warmup", "1", "--watch", "shader", "--log-state", "--size", "320x200",
                                        "--no-overlay"},
                                       o, error))
      << error;
  EXPECT_DOUBLE_EQ(o.time, 47.5);
  EXPECT_TRUE(o.paused);
  EXPECT_EQ(o.screenshot, "a.png");
  EXPECT_EQ(o.frames, 3);
  EXPECT_EQ(o.warmup, 1);
  EXPECT_EQ(o.watch, "shader");
  EXPECT_TRUE(o.log_state);
  EXPECT_EQ(o.width, 320);
  EXPECT_EQ(o.height, 200);
  EXPECT_FALSE(o.overlay);
}

TEST(ViewOptions, DefaultsMatchTheIntroAndTheRenderer) {
  view::ViewOptions o;
  std::string error;
  ASSERT_TRUE(view::parse_view_options({}, o, error));
  EXPECT_EQ(o.width, 1280);
  EXPECT_EQ(o.height, 720);
  EXPECT_EQ(o.warmup, 16);
  EXPECT_DOUBLE_EQ(o.time, 0.0);
  EXPECT_FALSE(o.paused);
}

TEST(ViewOptions, RefusesBadInputNamingIt) {
  struct Case {
    std::vector<std::string> args;
    const char* named;
  } cases[] = {
      {{"--bogus"}, "--bogus"},
      {{"--time", "126"}, "--time"},
      {{"--time", "-0.5"}, "--time"},
      {{"--time", "abc"}, "--time"},
      {{"--time", "nan"}, "--time"},
      {{"--time"}, "--time"},
      {{"--frames", "0"}, "--frames"},
      {{"--warmup", "-1"}, "--warmup"},
      {{"--size", "10x10"}, "--size"},
      {{"--size", "640"}, "--size"},
      {{"--watch", ""}, "--watch"},
      {{"--paused", "--paused"}, "--paused"},
      {{"extra"}, "extra"},
      {{"--screenshot", "a.png", "--overlay-screenshot", "a.png"}, "same file"},
  };
  for (const Case& c : cases) {
    view::ViewOptions o;
    std::string error;
    EXPECT_FALSE(view::parse_view_options(c.args, o, error)) << c.args[0];
    EXPECT_NE(error.find(c.named), std::string::npos) << "message: " << error;
  }
}

TEST(ViewOptions, HelpListsTheKeys) {
  const std::string help = view::view_help_text();
  for (const char* key : {"Space", "Left, Right", "Shift", "Page Up", "Page Down", "Home", ", .", "L ", "F ", "H ",
                          "Escape, Q", "timeline"}) {
    EXPECT_NE(help.find(key), std::string::npos) << key;
  }
}

}  // namespace
