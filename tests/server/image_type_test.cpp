#include "image_type.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace glimor::server {
namespace {

TEST(ImageType, RecognisesEachFormatByItsFirstBytes) {
  EXPECT_EQ(sniffImageType(testing::pngBytes())->mimeType, "image/png");
  EXPECT_EQ(sniffImageType(testing::jpegBytes())->mimeType, "image/jpeg");
  EXPECT_EQ(sniffImageType(testing::gifBytes())->mimeType, "image/gif");
  EXPECT_EQ(sniffImageType("GIF89a....")->extension, "gif");
  EXPECT_EQ(sniffImageType(testing::bmpBytes())->mimeType, "image/bmp");
  EXPECT_EQ(sniffImageType(testing::jpegBytes())->extension, "jpg");
}

TEST(ImageType, RefusesWhatOnlyLooksLikeAnImage) {
  EXPECT_FALSE(sniffImageType(""));
  EXPECT_FALSE(sniffImageType("<html><script>alert(1)</script>"));
  EXPECT_FALSE(sniffImageType("\x89PNG")); // signature cut short
  EXPECT_FALSE(sniffImageType("GIF88a"));  // no such version
  EXPECT_FALSE(sniffImageType("BM this is plain text, not a bitmap header"));
  std::string bmp = testing::bmpBytes();
  EXPECT_FALSE(sniffImageType(bmp.substr(0, 20))); // header cut short
  std::string badOffset = bmp;
  badOffset[10] = '\x7f'; // pixels would start past the end
  EXPECT_FALSE(sniffImageType(badOffset));
}

TEST(ImageType, ByExtensionKnowsOnlyTheStoredNames) {
  EXPECT_EQ(imageTypeByExtension("png")->mimeType, "image/png");
  EXPECT_EQ(imageTypeByExtension("jpg")->mimeType, "image/jpeg");
  EXPECT_FALSE(imageTypeByExtension("jpeg"));
  EXPECT_FALSE(imageTypeByExtension("PNG"));
  EXPECT_FALSE(imageTypeByExtension("png/../x"));
}

} // namespace
} // namespace glimor::server
