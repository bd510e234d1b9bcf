#pragma once
// One headless GL context for the whole test binary, made current before the
// first test and destroyed after the last.
#include <gtest/gtest.h>

#include <memory>

#include "gl_context.h"

namespace music_test {

class GlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { context_ = intro::GlContext::create(); }
  void TearDown() override { context_.reset(); }

 private:
  std::unique_ptr<intro::GlContext> context_;
};

}  // namespace music_test

// Registers the environment at static initialisation, so that every test
// binary of this folder gets its context just by including this header in
// one of its sources.
#define MUSIC_TEST_GL_ENVIRONMENT                                                       \
  static ::testing::Environment* const music_gl_environment [[maybe_unused]] =          \
      ::testing::AddGlobalTestEnvironment(new ::music_test::GlEnvironment())
