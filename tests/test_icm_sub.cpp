#include "system/icm_sub.h"
#include <gtest/gtest.h>
TEST(TextToInt, Placeholder) { EXPECT_EQ(narvo::TextToInt(" 500", 0), 500); }
