// The carrier-threshold check: the search's guard against a frequency whose threshold no count can pass.
#include <gtest/gtest.h>

#include "scan/run_setup.hpp"

namespace corvane {
namespace {

// The command line refuses frequencies of 1 and more (see the bad-input case table); this check guards
// the search against any frequency whose threshold would still reach H.
TEST(ThresholdCheck, ThresholdThatNoCountCanPassIsRefused) {
    scan_settings settings;
    settings.frequency = 1.0f;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(check_threshold(settings, 10), run_status::threshold_too_high);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("use a lower frequency"), std::string::npos);
    settings.frequency = 0.99999994f;  // the largest float below 1
    EXPECT_EQ(check_threshold(settings, 33554432), run_status::run_ok);
}

}  // namespace
}  // namespace corvane
