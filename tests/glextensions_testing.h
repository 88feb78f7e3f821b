// Helper for the GL tests that need the real extension entry points: loads them through
// libGL's own lookup and expects the loading to print nothing.
#pragma once

#include "glplatform.h"
#include "shadering.h"

#include <cstdio>
#include <gtest/gtest.h>

// Call through ASSERT_NO_FATAL_FAILURE so a failure ends the caller too.
inline void LoadExtensionsQuietly() {
    SetGLEntryPointLookup(nullptr);
    SetGLExtensionsSource(nullptr);
    testing::internal::CaptureStdout();
    setupExtensions();
    fflush(stdout);
    ASSERT_EQ(testing::internal::GetCapturedStdout(), "");
}
