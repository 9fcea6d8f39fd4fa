#pragma once

// Programs that link the plug-in's inner parts stand in for the module's
// attach and detach: the pixel format table's lock exists for the whole run.

#include <gtest/gtest.h>

#include "decode/pixel_format_table.h"

namespace decode_testing {

class PixelFormatTableEnvironment : public testing::Environment {
public:
    void SetUp() override { rorurera::PixelFormatTableAttach(); }
    void TearDown() override { rorurera::PixelFormatTableDetach(); }
};

// Registered before main runs: one definition per test program.
#define DECODE_TESTING_ATTACH_PIXEL_FORMAT_TABLE()                                     \
    [[maybe_unused]] static testing::Environment* const kPixelFormatTableEnvironment = \
        testing::AddGlobalTestEnvironment(new decode_testing::PixelFormatTableEnvironment)

}  // namespace decode_testing
