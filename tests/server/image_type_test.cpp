#include "image_check.h"
#include "image_type.h"
#include "imaging/bmp_writer.h"
#include "imaging/gif_image.h"
#include "imaging/jpeg_image.h"
#include "imaging/png_image.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <random>
#include <zlib.h>

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

// Every file the program writes, at every depth a display has, and the type each is checked as.
std::vector<std::pair<std::string, ImageType>> programFiles() {
  imaging::Bitmap crop;
  crop.width = 23;
  crop.height = 21;
  crop.pixels.resize(imaging::Bitmap::strideOf(23, 32) * 21);
  std::mt19937 random(7);
  for (auto& byte : crop.pixels) byte = static_cast<std::uint8_t>(random() & 0xC3);
  auto asString = [](const platform::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
  std::vector<std::pair<std::string, ImageType>> files;
  for (int depth : {1, 2, 4, 8, 16, 24, 32}) {
    imaging::Bitmap atDepth = crop;
    atDepth.bitsPerPixel = depth;
    atDepth.palette.assign(depth <= 8 ? 1u << depth : 0, 0x336699);
    files.emplace_back(asString(imaging::encodeBmp(atDepth)), *imageTypeByExtension("bmp"));
  }
  const imaging::Bitmap bgr = imaging::toBgr24(crop);
  files.emplace_back(asString(imaging::compressJpeg(bgr, 100)), *imageTypeByExtension("jpg"));
  imaging::TGIFImage gif;
  gif.assign(bgr);
  files.emplace_back(asString(gif.bytes()), *imageTypeByExtension("gif"));
  files.emplace_back(asString(imaging::encodePng(bgr)), *imageTypeByExtension("png"));
  imaging::Bitmap few = crop; // few colours: a palette PNG at a small bit depth
  for (auto& byte : few.pixels) byte &= 0x80;
  files.emplace_back(asString(imaging::encodePng(few)), *imageTypeByExtension("png"));
  return files;
}

TEST(CompleteImage, AcceptsWhatTheProgramWritesAndNothingCutOrExtended) {
  for (const auto& [file, type] : programFiles()) {
    SCOPED_TRACE(std::string(type.extension) + " of " + std::to_string(file.size()) + " bytes");
    EXPECT_EQ(sniffImageType(file), type);
    EXPECT_TRUE(isCompleteImage(file, type, 23 * 21));
    EXPECT_FALSE(isCompleteImage(file, type, 23 * 21 - 1)); // one pixel over the limit
    for (std::size_t length = 0; length < file.size(); ++length)
      EXPECT_FALSE(isCompleteImage(file.substr(0, length), type, 1000)) << length;
    EXPECT_FALSE(isCompleteImage(file + '\0', type, 1000));
    EXPECT_FALSE(isCompleteImage(file + "<script>alert(1)</script>", type, 1000));
  }
}

// A 4 x 4 greyscale PNG whose stored (uncompressed) zlib stream is split into
// IDAT chunks at `cuts`: with stored blocks, offsets in the stream are offsets
// in the rows, so pieces can be made to meet exactly at a row boundary.
std::string pngInPieces(std::initializer_list<std::size_t> cuts) {
  auto chunk = [](std::string_view kind, std::string_view data) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((data.size() >> shift) & 0xff);
    std::string body = std::string(kind) + std::string(data);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    out += body;
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((crc >> shift) & 0xff);
    return out;
  };
  std::string rows;
  for (int y = 0; y < 4; ++y) rows += std::string("\0", 1) + std::string(4, static_cast<char>(40 * y));
  std::string stream(compressBound(rows.size()), '\0');
  uLongf length = stream.size();
  compress2(reinterpret_cast<Bytef*>(stream.data()), &length, reinterpret_cast<const Bytef*>(rows.data()),
            rows.size(), 0);
  stream.resize(length);
  std::string png = "\x89PNG\r\n\x1a\n" + chunk("IHDR", std::string("\0\0\0\4\0\0\0\4\x08\0\0\0\0", 13));
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    png += chunk("IDAT", stream.substr(from, cut - from));
    from = cut;
  }
  return png + chunk("IDAT", stream.substr(from)) + chunk("IEND", "");
}

TEST(CompleteImage, ReadsImageDataInPiecesWhereverTheyMeet) {
  const auto png = *imageTypeByExtension("png");
  constexpr std::size_t rowsStart = 7, rowBytes = 5; // zlib header and stored block header, then rows
  EXPECT_TRUE(isCompleteImage(pngInPieces({}), png, 16));
  EXPECT_TRUE(isCompleteImage(pngInPieces({rowsStart + 2 * rowBytes}), png, 16)); // at a row boundary
  EXPECT_TRUE(isCompleteImage(pngInPieces({rowsStart + rowBytes, rowsStart + 3 * rowBytes}), png, 16));
  EXPECT_TRUE(isCompleteImage(pngInPieces({rowsStart + 7}), png, 16)); // within a row
  // Without its last piece the image is incomplete, wherever the pieces met.
  std::string cut = pngInPieces({rowsStart + 2 * rowBytes});
  std::size_t lastPiece = cut.rfind("IDAT") - 4;
  EXPECT_FALSE(isCompleteImage(cut.substr(0, lastPiece) + cut.substr(cut.rfind("IEND") - 4), png, 16));
}

TEST(CompleteImage, RefusesForgedAndDamagedImages) {
  const auto gif = *imageTypeByExtension("gif"), png = *imageTypeByExtension("png");
  EXPECT_TRUE(isCompleteImage(testing::gifBytes(), gif, 2));
  EXPECT_FALSE(isCompleteImage("GIF89a<html><script>alert(1)</script></html>", gif, 1000));
  const std::string good = testing::pngBytes();
  EXPECT_TRUE(isCompleteImage(good, png, 2));
  for (std::size_t crcAt : {29, 53, 78, 90}) { // IHDR, tEXt (ancillary), IDAT, IEND
    std::string damaged = good;
    damaged[crcAt] ^= 1;
    EXPECT_FALSE(isCompleteImage(damaged, png, 2)) << crcAt;
  }
  // A header that promises more pixels than allowed is refused before any is decoded.
  std::string bomb = testing::gifBytes();
  bomb[6] = bomb[7] = bomb[8] = bomb[9] = '\xff';
  EXPECT_FALSE(isCompleteImage(bomb, gif, 100'000'000));
}

} // namespace
} // namespace glimor::server
