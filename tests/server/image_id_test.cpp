#include "image_id.h"

#include <gtest/gtest.h>
#include <set>

namespace glimor::server {
namespace {

TEST(ImageId, NewIdsAreWellFormedAndDistinct) {
  std::set<std::string> seen;
  std::set<char> characters;
  for (int i = 0; i < 2000; ++i) {
    std::string id = newImageId();
    EXPECT_TRUE(isImageId(id)) << id;
    seen.insert(id);
    characters.insert(id.begin(), id.end());
  }
  EXPECT_EQ(seen.size(), 2000u);
  // 2000 ids of 16 characters cover the 64-character alphabet; a broken
  // generator (constant bytes, one bit per character) would not.
  EXPECT_EQ(characters.size(), 64u);
}

TEST(ImageId, OnlyGeneratedShapesAreIds) {
  EXPECT_TRUE(isImageId("AAAAAAAAAAAAAAA_"));
  EXPECT_FALSE(isImageId(""));
  EXPECT_FALSE(isImageId("AAAAAAAAAAAAAAA"));
  EXPECT_FALSE(isImageId("AAAAAAAAAAAAAAAAA"));
  EXPECT_FALSE(isImageId("../../glimor.db.x"));
  EXPECT_FALSE(isImageId("AAAAAAA/AAAAAAAA"));
  EXPECT_FALSE(isImageId("AAAAAAA.AAAAAAAA"));
  EXPECT_FALSE(isImageId("AAAAAAA%AAAAAAAA"));
}

} // namespace
} // namespace glimor::server
