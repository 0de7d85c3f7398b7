#include "registry/key_path.h"

#include <gtest/gtest.h>

namespace {

using registry::SplitKeyPath;

void ExpectSplit(std::string_view path, std::string_view parent, std::string_view child) {
  const registry::KeyPathParts parts = SplitKeyPath(path);
  EXPECT_EQ(parts.parent, parent) << "path " << path;
  EXPECT_EQ(parts.child, child) << "path " << path;
}

TEST(SplitKeyPath, CutsAtTheLastBackslash) {
  ExpectSplit("SOFTWARE\\VELTRANE\\Old", "SOFTWARE\\VELTRANE", "Old");
  ExpectSplit("A\\B", "A", "B");
  ExpectSplit("A\\", "A", "");
}

TEST(SplitKeyPath, PathWithoutBackslashIsAllChildWithEmptyParent) {
  ExpectSplit("VELTRANE", "", "VELTRANE");
  ExpectSplit("", "", "");
}

TEST(SplitKeyPath, LeadingBackslashLeavesAnEmptyParent) { ExpectSplit("\\Key", "", "Key"); }

TEST(SplitKeyPath, GbkTrailByte5CIsNoSeparator) {
  // D5 5C is one GBK character whose second byte equals the backslash.
  ExpectSplit("A\\\xd5\x5c", "A", "\xd5\x5c");
  ExpectSplit("\xd5\x5c\xd5\x5c", "", "\xd5\x5c\xd5\x5c");
  ExpectSplit("\xd5\x5c\\\xb0\xb2", "\xd5\x5c", "\xb0\xb2");
}

}  // namespace
