#pragma once
// Makes the binary's shared GL context before its first test, so that no
// test pays for (or fails in) the context's creation. Use
// INTRO_TEST_GL_ENVIRONMENT once in one source file of a test binary.
#include <gtest/gtest.h>

#include "gl_test_context.h"

namespace intro::test {

class GlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { gl_context(); }
};

}  // namespace intro::test

#define INTRO_TEST_GL_ENVIRONMENT                                                    \
  static ::testing::Environment* const intro_gl_environment [[maybe_unused]] =       \
      ::testing::AddGlobalTestEnvironment(new ::intro::test::GlEnvironment())
