#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::WildcardMatch;

TEST(Wildcard, MatchesAsWindowsReadsASpec) {
  EXPECT_TRUE(WildcardMatch("*.z??", "KETOAN.Z01"));
  EXPECT_TRUE(WildcardMatch("ketoan.*", "KeToan.zip"));
  EXPECT_TRUE(WildcardMatch("bin/*.exe", "BIN\\fbserver.exe"));
  EXPECT_TRUE(WildcardMatch("*", ""));
  EXPECT_TRUE(WildcardMatch("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(WildcardMatch("*.z??", "ketoan.z1"));
  EXPECT_FALSE(WildcardMatch("a?", "a"));
  EXPECT_FALSE(WildcardMatch("", "a"));
  EXPECT_FALSE(WildcardMatch("a*b*c", "aXbYbZ"));
}

TEST(Wildcard, BacktracksWithoutBlowingUp) {
  // Many stars against a long name that just fails: one back-tracking point, no recursion.
  const std::string name(20000, 'a');
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(WildcardMatch("*a*a*a*a*a*a*a*a*", name));
}

}  // namespace
