#include "image_check.h"
#include "metadata.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

namespace glimor::server {
namespace {

std::string segment(std::uint8_t marker, std::string_view body) {
  const std::size_t length = body.size() + 2;
  return std::string{char(0xFF), char(marker), char(length >> 8), char(length & 0xFF)} + std::string(body);
}

// A little-endian Exif body as cameras write it: IFD0 with Make, Orientation
// and a pointer to a GPS directory holding a latitude.
std::string cameraExif(std::uint16_t orientation) {
  std::string tiff("II\x2A\0\x08\0\0\0", 8);
  auto le16 = [&](unsigned v) { tiff += char(v & 0xFF), tiff += char(v >> 8); };
  auto le32 = [&](unsigned v) { le16(v & 0xFFFF), le16(v >> 16); };
  le16(3);
  le16(0x010F), le16(2), le32(4), tiff += std::string("Cam\0", 4); // Make
  le16(0x0112), le16(3), le32(1), le16(orientation), le16(0);      // Orientation
  le16(0x8825), le16(4), le32(1), le32(50);                        // the GPS directory, at 50
  le32(0);
  le16(1);
  le16(0x0002), le16(5), le32(3), le32(68); // GPSLatitude, three rationals at 68
  le32(0);
  for (unsigned v : {48u, 1u, 8u, 1u, 30u, 1u}) le32(v); // 48 deg 8 min 30 s
  return std::string("Exif\0\0", 6) + tiff;
}

// The JPEG a phone would upload: Exif (with GPS), XMP and IPTC before the tables.
std::string phoneJpeg(std::uint16_t orientation) {
  const std::string plain = testing::jpegBytes();
  return plain.substr(0, 2) + segment(0xE1, cameraExif(orientation)) +
         segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta>Home</x:xmpmeta>", 57)) +
         segment(0xED, std::string("Photoshop 3.0\08BIM\x04\x04\0\0\0\0\0\x05\x1c\x02\x5a\0\x01X", 33)) +
         plain.substr(2);
}

std::string fromScan(const std::string& jpeg) {
  return jpeg.substr(jpeg.find("\xFF\xDA"));
}

TEST(JpegMetadata, GoesWithItsScansUntouchedAndTheOrientationKept) {
  const std::string phone = phoneJpeg(6);
  const std::string stripped = withoutJpegMetadata(phone);
  EXPECT_EQ(stripped.find("Cam"), std::string::npos);
  EXPECT_EQ(stripped.find(std::string("\x30\0\0\0\x01\0\0\0\x08", 9)), std::string::npos)
      << "the GPS latitude";
  EXPECT_EQ(stripped.find("xmpmeta"), std::string::npos);
  EXPECT_EQ(stripped.find("Photoshop"), std::string::npos);
  EXPECT_EQ(fromScan(stripped), fromScan(phone)) << "the picture's own bytes, byte for byte";
  EXPECT_NE(stripped.find("--data"), std::string::npos) << "a comment is no metadata of the maker's";
  EXPECT_TRUE(isCompleteJpeg(stripped, 100));
  // The orientation alone, where the Exif was: first after the start of the image.
  ASSERT_EQ(stripped.substr(0, 4), "\xFF\xD8\xFF\xE1");
  const std::size_t length = std::uint8_t(stripped[4]) << 8 | std::uint8_t(stripped[5]);
  EXPECT_EQ(exifOrientation(stripped.substr(6, length - 2)), 6);
  EXPECT_EQ(length, 34u);
  EXPECT_EQ(exifOrientation(cameraExif(8)), 8) << "read in either byte order";

  // Upright already: no Exif at all, so the file is the plain one again.
  EXPECT_EQ(withoutJpegMetadata(phoneJpeg(1)), testing::jpegBytes());
  EXPECT_EQ(withoutJpegMetadata(testing::jpegBytes()), testing::jpegBytes());
  // A segment longer than the file: given back as it came.
  const std::string cut = phone.substr(0, 40);
  EXPECT_EQ(withoutJpegMetadata(cut), cut);
  EXPECT_FALSE(exifOrientation(std::string("Exif\0\0II\x2A\0\xFF\xFF\0\0", 14)));
}

// The pixels as libpng decodes them, RGB rows one after the other.
std::string pngPixels(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return "unreadable";
  image.format = PNG_FORMAT_RGB;
  std::string pixels(PNG_IMAGE_SIZE(image), '\0');
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return "undecodable";
  return pixels;
}

TEST(PngMetadata, TextTimeAndExifChunksGoThePixelsStay) {
  auto chunk = [](std::string_view type, std::string_view data) {
    std::string bytes{char(0), char(0), char(data.size() >> 8), char(data.size() & 0xFF)};
    bytes += std::string(type) + std::string(data);
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 4), uInt(bytes.size() - 4));
    for (int shift : {24, 16, 8, 0}) bytes += char(crc >> shift & 0xFF);
    return bytes;
  };
  const std::string plain = testing::pngBytes();
  const std::size_t afterHeader = 8 + 25, idat = plain.find("IDAT") - 4;
  const std::string tagged =
      plain.substr(0, afterHeader) + chunk("tIME", std::string("\x07\xea\x0c\x0a\x0c\0\0", 7)) +
      chunk("eXIf", cameraExif(1).substr(6)) + plain.substr(afterHeader, idat - afterHeader) +
      chunk("iTXt", std::string("Author\0\0\0\0\0Ann", 14)) + plain.substr(idat);
  ASSERT_EQ(pngPixels(tagged), pngPixels(plain));
  const std::string stripped = withoutPngMetadata(tagged);
  EXPECT_EQ(stripped, plain.substr(0, afterHeader) + plain.substr(plain.find("IDAT") - 4))
      << "every other chunk as it was";
  EXPECT_EQ(pngPixels(stripped), pngPixels(plain));
  EXPECT_TRUE(isCompletePng(stripped, 100));
  EXPECT_EQ(withoutPngMetadata(tagged.substr(0, 50)), tagged.substr(0, 50)) << "a cut chunk: as it came";
}

} // namespace
} // namespace glimor::server
