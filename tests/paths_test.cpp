#include <gtest/gtest.h>

#include "fs/paths.h"

TEST(Paths, Placeholder) { EXPECT_EQ(fileNameOf("a/b.c"), "b.c"); }
