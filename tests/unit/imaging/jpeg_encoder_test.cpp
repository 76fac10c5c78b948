#include "fakes/fake_files.h"
#include "imaging/jpeg_encoder.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>

namespace glimor::imaging {
namespace {

using namespace testing;

struct Segment {
  std::uint8_t marker;
  platform::Bytes body; // after the length field
};

// The marker segments up to and including SOS, then EOI when the file ends with it.
std::vector<Segment> segmentsOf(const platform::Bytes& file) {
  std::vector<Segment> segments;
  EXPECT_GE(file.size(), 4u);
  EXPECT_EQ(file[0], 0xFF);
  EXPECT_EQ(file[1], 0xD8);
  segments.push_back({0xD8, {}});
  std::size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF) {
    const std::uint8_t marker = file[at + 1];
    const std::size_t length = file[at + 2] << 8 | file[at + 3];
    segments.push_back(
        {marker, platform::Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                 file.begin() + static_cast<std::ptrdiff_t>(at + 2 + length))});
    at += 2 + length;
    if (marker == 0xDA) break;
  }
  if (file.size() >= 2 && file[file.size() - 2] == 0xFF && file.back() == 0xD9)
    segments.push_back({0xD9, {}});
  return segments;
}

struct Decoded {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb; // top row first
  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return static_cast<Rgb>(rgb[i]) << 16 | rgb[i + 1] << 8 | rgb[i + 2];
  }
};

Decoded decode(const platform::Bytes& file) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  Decoded result{static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), {}};
  result.rgb.resize(static_cast<std::size_t>(result.width) * result.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = result.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * result.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return result;
}

bool near(Rgb a, Rgb b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8)
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
      return false;
  return true;
}

platform::Bytes compressAtQuality100(const Bitmap& bitmap) {
  JpegEncoder jpeg;
  jpeg.setQuality(100);
  jpeg.assign(bitmap);
  jpeg.compress();
  return jpeg.bytes();
}

TEST(JpegEncoder, BaselineJfifMarkersInLibjpegOrderWithAllOnesTables) {
  const platform::Bytes file = compressAtQuality100(redFOnBlue());
  const auto segments = segmentsOf(file);
  std::vector<std::uint8_t> markers;
  for (const Segment& s : segments) markers.push_back(s.marker);
  EXPECT_EQ(markers,
            (std::vector<std::uint8_t>{0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9}));
  ASSERT_EQ(segments.size(), 11u);

  // JFIF 1.01, no units, density 1:1, no thumbnail.
  EXPECT_EQ(segments[1].body, (platform::Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
  // Quality 100: both tables 8-bit and all ones.
  for (int table = 0; table < 2; ++table) {
    const platform::Bytes& dqt = segments[2 + table].body;
    ASSERT_EQ(dqt.size(), 65u);
    EXPECT_EQ(dqt[0], table);
    EXPECT_TRUE(std::all_of(dqt.begin() + 1, dqt.end(), [](std::uint8_t q) { return q == 1; }));
  }
  // SOF0: 8-bit, 9 high, 7 wide, Y 2x2 on table 0, Cb and Cr 1x1 on table 1.
  EXPECT_EQ(segments[4].body, (platform::Bytes{8, 0, 9, 0, 7, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
  // DHT: DC 0, AC 0, DC 1, AC 1 (class in the high nibble).
  EXPECT_EQ(segments[5].body[0], 0x00);
  EXPECT_EQ(segments[6].body[0], 0x10);
  EXPECT_EQ(segments[7].body[0], 0x01);
  EXPECT_EQ(segments[8].body[0], 0x11);
  // One interleaved scan of the three components.
  EXPECT_EQ(segments[9].body, (platform::Bytes{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
}

TEST(JpegEncoder, RedStaysRedAndRowsKeepTheirOrder) {
  const Decoded pureRed = decode(compressAtQuality100(makeImage(16, 16, [](int, int) { return red; })));
  ASSERT_EQ(pureRed.width, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_TRUE(near(pureRed.at(x, y), red, 2)) << std::hex << pureRed.at(x, y);

  // Large flat halves: the top stays green and the bottom blue after the trip.
  const Decoded halves = decode(compressAtQuality100(makeImage(
      32, 32, [](int, int y) { return y < 16 ? 0x00FF00u : blue; }, 32)));
  EXPECT_TRUE(near(halves.at(5, 3), 0x00FF00, 3)) << std::hex << halves.at(5, 3);
  EXPECT_TRUE(near(halves.at(20, 28), blue, 3)) << std::hex << halves.at(20, 28);
}

TEST(JpegEncoder, OnePixelHighOrWideCropsEncode) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 37}, std::pair{53, 1}}) {
    const Decoded d = decode(compressAtQuality100(makeImage(w, h, [](int, int) { return 0x406080u; })));
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    EXPECT_TRUE(near(d.at(w - 1, h - 1), 0x406080, 2));
  }
}

TEST(JpegEncoder, EmptySourceGivesEmptyFileWithoutError) {
  fakes::FakeFiles files;
  JpegEncoder nothingAssigned;
  nothingAssigned.saveToFile("/a.jpg", files);
  JpegEncoder noPixels;
  noPixels.assign(Bitmap{0, 5, 24, {}, {}});
  noPixels.saveToFile("/b.jpg", files);
  EXPECT_EQ(files.contents.at("/a.jpg"), platform::Bytes{});
  EXPECT_EQ(files.contents.at("/b.jpg"), platform::Bytes{});
}

TEST(JpegEncoder, SavingTwiceWritesTheSameBytesWithoutCompressingAgain) {
  fakes::FakeFiles files;
  JpegEncoder jpeg;
  jpeg.setQuality(100);
  jpeg.assign(redFOnBlue());
  EXPECT_FALSE(jpeg.hasCompressedData());
  jpeg.saveToFile("/1.jpg", files); // compresses on demand
  const std::uint8_t* buffer = jpeg.bytes().data();
  jpeg.saveToFile("/2.jpg", files);
  EXPECT_EQ(jpeg.bytes().data(), buffer);
  EXPECT_EQ(files.contents.at("/1.jpg"), files.contents.at("/2.jpg"));
  EXPECT_EQ(files.contents.at("/1.jpg"), compressAtQuality100(redFOnBlue()));

  jpeg.assign(redFOnBlue(32)); // a new image drops the old data
  EXPECT_FALSE(jpeg.hasCompressedData());
  EXPECT_EQ(jpeg.bytes(), files.contents.at("/1.jpg")); // same pixels from 32-bit input
}

TEST(JpegEncoder, LibjpegErrorsRaiseEjpegWithTheMessageCode) {
  JpegEncoder jpeg;
  jpeg.assign(makeImage(JPEG_MAX_DIMENSION + 1, 1, [](int, int) { return 0u; }));
  try {
    jpeg.compress();
    FAIL() << "no error";
  } catch (const EJPEG& error) {
    EXPECT_EQ(error.messageCode(), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(std::string(error.what()), "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG));
  }
  EXPECT_FALSE(jpeg.hasCompressedData());
  // The encoder is usable again afterwards.
  jpeg.assign(redFOnBlue());
  JpegEncoder fresh;
  fresh.assign(redFOnBlue());
  EXPECT_FALSE(jpeg.bytes().empty());
  EXPECT_EQ(jpeg.bytes(), fresh.bytes());
}

} // namespace
} // namespace glimor::imaging
