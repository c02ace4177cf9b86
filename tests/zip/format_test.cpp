// Formatting of message texts with typed arguments.
#include <gtest/gtest.h>

#include "zip/zip_format.h"

namespace zip {
namespace {

TEST(ZipFormat, Conventions) {
  EXPECT_EQ(ZipFormat("Skipped %s %d", {"a.txt", 3}), "Skipped a.txt 3");
  EXPECT_EQ(ZipFormat("%.1d of %.1d", {7, 12}), "7 of 12");
  EXPECT_EQ(ZipFormat(" %d.%2.2d.%2.2d.%2.2d ", {1, 79, 8, 1}), " 1.79.08.01 ");
  EXPECT_EQ(ZipFormat("  <%X : %s>", {5, "Access denied"}), "  <5 : Access denied>");
  EXPECT_EQ(ZipFormat("%X", {-1}), "FFFFFFFF");
  EXPECT_EQ(ZipFormat("%d", {-42}), "-42");
  EXPECT_EQ(ZipFormat("   creating: %-22s|", {"bin/"}), "   creating: bin/                  |");
  EXPECT_EQ(ZipFormat("100%% %lu", {4096u}), "100% 4096");
}

TEST(ZipFormat, NeverReadsMoreThanItIsGiven) {
  EXPECT_EQ(ZipFormat("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(ZipFormat("%d", {"text"}), "text");
  EXPECT_EQ(ZipFormat("%s", {12}), "12");
  EXPECT_EQ(ZipFormat("50% done %", {}), "50% done %");
  EXPECT_EQ(ZipFormat("%99999999999d", {1}).size(), 1000u);
}

}  // namespace
}  // namespace zip
