#include <gtest/gtest.h>
TEST(WindowSdl, Placeholder) {}
