#pragma once
// One headless GL context for the whole test binary, made current before the
// first test and kept to the end of the process.
#include <gtest/gtest.h>

#include "gl_test_context.h"

namespace music_test {

// The binary's shared context, made before the first test rather than by it.
class GlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { intro::test::gl_context(); }
};

}  // namespace music_test

// Registers the environment at static initialisation, so that every test
// binary of this folder gets its context just by including this header in
// one of its sources.
#define MUSIC_TEST_GL_ENVIRONMENT                                                       \
  static ::testing::Environment* const music_gl_environment [[maybe_unused]] =          \
      ::testing::AddGlobalTestEnvironment(new ::music_test::GlEnvironment())
