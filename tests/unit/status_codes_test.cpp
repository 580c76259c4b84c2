#include <gtest/gtest.h>

#include "device/status_codes.h"

TEST(StatusCodes, PlaceholderCompiles) {
    EXPECT_STREQ(status::Name(242), "ERR_PBPROFF");
}
