#include "fakes/fake_files.h"
#include "imaging/crop_files.h"
#include "imaging/png_image.h"
#include "platform/error.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <map>
#include <png.h>
#include <set>

namespace glimor::imaging {
namespace {

using namespace testing;

// What libpng reads from a file, with every warning counted as a failure.
struct Decoded {
  bool ok = false;
  std::string problem;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = -1, paletteSize = 0;
  std::vector<Rgb> pixels; // the top row first
  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

struct Reader {
  const platform::Bytes* file;
  std::size_t at;
  Decoded* result;
};

void readBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (reader->at + count > reader->file->size()) png_error(png, "read past the end");
  std::memcpy(out, reader->file->data() + reader->at, count);
  reader->at += count;
}
void fail(png_structp png, png_const_charp message) {
  static_cast<Reader*>(png_get_error_ptr(png))->result->problem = message;
  png_longjmp(png, 1);
}
void warn(png_structp png, png_const_charp message) {
  fail(png, message);
}

Decoded decode(const platform::Bytes& file) {
  Decoded result;
  Reader reader{&file, 0, &result};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, fail, warn);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
  }
  png_set_read_fn(png, &reader, readBytes);
  png_read_info(png, info);
  png_get_IHDR(png, info, &result.width, &result.height, &result.bitDepth, &result.colourType, nullptr,
               nullptr, nullptr);
  png_colorp palette = nullptr;
  if (png_get_PLTE(png, info, &palette, &result.paletteSize) == 0) result.paletteSize = 0;
  png_set_expand(png); // palette and packed indices to 8-bit RGB
  png_read_update_info(png, info);
  std::vector<png_byte> row(png_get_rowbytes(png, info));
  for (png_uint_32 y = 0; y < result.height; ++y) {
    png_read_row(png, row.data(), nullptr);
    for (png_uint_32 x = 0; x < result.width; ++x)
      result.pixels.push_back(static_cast<Rgb>(row[3 * x]) << 16 | row[3 * x + 1] << 8 | row[3 * x + 2]);
  }
  png_read_end(png, nullptr); // checks the rest: IEND, trailing data in the stream
  png_destroy_read_struct(&png, &info, nullptr);
  result.ok = file.size() == reader.at;
  if (!result.ok) result.problem = "bytes after IEND";
  return result;
}

void expectSamePixels(const Bitmap& bitmap, const Decoded& decoded) {
  ASSERT_TRUE(decoded.ok) << decoded.problem;
  ASSERT_EQ(decoded.width, static_cast<png_uint_32>(bitmap.width));
  ASSERT_EQ(decoded.height, static_cast<png_uint_32>(bitmap.height));
  const Bitmap bgr = toBgr24(bitmap);
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x)
      ASSERT_EQ(decoded.at(x, y), rgbAt(bgr, x, y)) << "at " << x << ", " << y;
}

// A picture of `colours` colours (all of them when it has as many rows) in an
// asymmetric layout; the blue byte alone tells the first 256 apart.
Bitmap withColours(int width, int height, int colours, int bitsPerPixel = 24) {
  return makeImage(
      width, height,
      [=](int x, int y) {
        const unsigned i = static_cast<unsigned>(x * 7 + y + x * y) % static_cast<unsigned>(colours);
        return static_cast<Rgb>((i & 0xFF) | (i * 37 % 256) << 8 | (i >> 8) << 16);
      },
      bitsPerPixel);
}

std::size_t distinctColours(const Bitmap& bitmap) {
  const Bitmap bgr = toBgr24(bitmap);
  std::set<Rgb> colours;
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x) colours.insert(rgbAt(bgr, x, y));
  return colours.size();
}

TEST(PngImage, TrueColourPicturesDecodeToTheirPixels) {
  // Odd widths (rows padded in the bitmap), 24 and 32 bits, one pixel, and pictures
  // large enough to be compressed in two parts on two cores.
  // 257 colours are one too many for a palette.
  const Bitmap pictures[] = {
      randomImage(37, 23, 1), withColours(333, 301, 257, 32), randomImage(301, 257, 3, 0xF0F0F0),
      makeImage(
          513, 300, [](int x, int y) { return static_cast<Rgb>((x * 0x10203 + y * 0x30201) ^ (x * y)); },
          32)};
  for (const Bitmap& picture : pictures) {
    SCOPED_TRACE(std::to_string(picture.width) + " x " + std::to_string(picture.height));
    ASSERT_GT(distinctColours(picture), 256u);
    const Decoded decoded = decode(encodePng(picture));
    EXPECT_EQ(decoded.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(decoded.bitDepth, 8);
    expectSamePixels(picture, decoded);
  }
}

TEST(PngImage, PicturesOfAtMost256ColoursGetThePaletteAtTheLeastDepth) {
  const struct {
    int colours, bitDepth;
  } cases[] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 4}, {16, 4}, {17, 8}, {256, 8}};
  // Widths 1 and 13 leave part of the last byte of a row unused at depths below 8;
  // 333 x 301 is compressed in two parts.
  for (const auto& c : cases)
    for (const int width : {1, 13, 333}) {
      SCOPED_TRACE(std::to_string(c.colours) + " colours, width " + std::to_string(width));
      const Bitmap picture = withColours(width, 301, c.colours, width == 13 ? 32 : 24);
      ASSERT_EQ(distinctColours(picture), static_cast<std::size_t>(c.colours));
      // A fixed level always takes the palette; the writer's own choice for a small
      // picture takes it only where the file is smaller.
      const Decoded decoded = decode(encodePng(picture, 5));
      EXPECT_EQ(decoded.colourType, PNG_COLOR_TYPE_PALETTE);
      EXPECT_EQ(decoded.paletteSize, c.colours);
      EXPECT_EQ(decoded.bitDepth, c.bitDepth);
      expectSamePixels(picture, decoded);
      expectSamePixels(picture, decode(encodePng(picture)));
    }
  // One pixel: its palette's chunk would cost more than the indices save.
  const Bitmap onePixel = withColours(1, 1, 1);
  EXPECT_EQ(decode(encodePng(onePixel, 5)).colourType, PNG_COLOR_TYPE_PALETTE);
  const Decoded decoded = decode(encodePng(onePixel));
  EXPECT_EQ(decoded.colourType, PNG_COLOR_TYPE_RGB);
  expectSamePixels(onePixel, decoded);
}

TEST(PngImage, ColoursOfTheTwoBandsAreMerged) {
  // 199 colours in the top third, grey in the middle, `below` reds in the bottom
  // third: wherever between rows 100 and 200 the bands part, each has at most 201
  // colours, and together 256 (a palette) or 257 (true colour).
  for (const int below : {56, 57}) {
    const Bitmap picture = makeImage(400, 300, [below](int x, int y) {
      return static_cast<Rgb>(y < 100   ? (x % 199) * 0x000101
                              : y < 200 ? 0x808080
                                        : 0xFF0000 | ((x + y) % below) * 0x000100);
    });
    const Decoded decoded = decode(encodePng(picture));
    EXPECT_EQ(decoded.colourType, below == 56 ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB);
    expectSamePixels(picture, decoded);
  }
}

TEST(PngImage, OtherDepthsGoThroughTheirTrueColourForm) {
  Bitmap palette4;
  palette4.width = 5, palette4.height = 3, palette4.bitsPerPixel = 4;
  palette4.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  palette4.pixels = {0x01, 0x23, 0x40, 0, 0x43, 0x21, 0x00, 0, 0x11, 0x22, 0x30, 0};
  Bitmap highColour;
  highColour.width = 3, highColour.height = 2, highColour.bitsPerPixel = 16;
  highColour.pixels = {0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0, 0, 0xFF, 0x7F, 0x00, 0x00, 0x10, 0x42, 0, 0};
  for (const Bitmap* picture : {&palette4, &highColour})
    expectSamePixels(*picture, decode(encodePng(*picture)));
}

// libpng's file of the pixels at its defaults (zlib level 6, its filter choice):
// 8-bit RGB, or with `indexed` the colours as a colour map in the order first met,
// which libpng packs at the least depth. Its simplified interface always adds a
// gAMA chunk, which is not counted: the writer makes none.
std::size_t libpngBytes(const Bitmap& bitmap, bool indexed) {
  const Bitmap bgr = toBgr24(bitmap);
  std::vector<png_byte> pixels, colourMap;
  std::map<Rgb, png_byte> indexOf;
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x) {
      const Rgb rgb = rgbAt(bgr, x, y);
      const png_byte red = rgb >> 16 & 0xFF, green = rgb >> 8 & 0xFF, blue = rgb & 0xFF;
      if (indexed && indexOf.emplace(rgb, static_cast<png_byte>(indexOf.size())).second)
        colourMap.insert(colourMap.end(), {red, green, blue});
      if (indexed) pixels.push_back(indexOf[rgb]);
      if (!indexed) pixels.insert(pixels.end(), {red, green, blue});
    }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bitmap.width),
  image.height = static_cast<png_uint_32>(bitmap.height);
  image.format = indexed ? PNG_FORMAT_RGB_COLORMAP : PNG_FORMAT_RGB;
  image.flags = PNG_IMAGE_FLAG_COLORSPACE_NOT_sRGB; // gAMA rather than sRGB
  image.colormap_entries = static_cast<png_uint_32>(indexOf.size());
  png_alloc_size_t size = 0; // without memory, what the file takes
  EXPECT_NE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, colourMap.data()), 0);
  constexpr std::size_t gammaChunk = 12 + 4;
  return size - gammaChunk;
}

// How much of pixel (x, y) of a line of text 16 rows high is ink, of 16, for the
// subpixel `channel` (0 red, the leftmost): glyphs that advance 6 2/3 pixels, with
// strokes 4 subpixels wide and bars with half-covered edges, as ClearType draws
// them, so that a line of text has some dozens of colours.
int inkOf(int x, int y, int channel, int line) {
  const auto cover = [&](int sx) {
    const int place = sx / 20, inGlyph = sx % 20;
    if (inGlyph < 2 || inGlyph >= 15 || place % 7 == 6 || y < 3 || y >= 13) return 0; // gaps, spaces
    const unsigned shape = static_cast<unsigned>(line * 1000 + place) * 2654435761u >> 20;
    const int third = (y - 3) * 3 / 10;
    if ((inGlyph < 6 && (shape >> third & 1)) || (inGlyph >= 11 && (shape >> (3 + third) & 1))) return 4;
    for (const int bar : {3, 8, 11})
      if (shape >> (6 + (bar - 3) * 3 / 10) & 1 && std::abs(y - bar) <= 1) return y == bar ? 4 : 2;
    return 0;
  };
  const int sx = 3 * x + channel;
  return cover(sx - 1) + 2 * cover(sx) + cover(sx + 1); // ClearType's filter
}

Rgb blend(Rgb paper, Rgb ink, int x, int y, int line) {
  Rgb out = 0;
  for (int channel = 0, shift = 16; channel < 3; ++channel, shift -= 8) {
    const int from = paper >> shift & 0xFF, to = ink >> shift & 0xFF;
    out |= static_cast<Rgb>(from + (to - from) * inkOf(x, y, channel, line) / 16) << shift;
  }
  return out;
}

// Crops as a screen gives them: lines of text on a dialog's grey; a window with a
// title bar fading from blue to light blue, white title and blue link text above
// its text (some hundreds of colours); a smooth wash.
Bitmap textCrop(int width, int height) {
  return makeImage(
      width, height, [](int x, int y) { return blend(0xF0F0F0, 0, x, y % 16, y / 16); }, 32);
}
Bitmap dialogCrop(int width, int height) {
  return makeImage(
      width, height,
      [&](int x, int y) {
        if (y < 16) return blend(0x0A246A + static_cast<Rgb>(x * 156 / width) * 0x010101, 0xFFFFFF, x, y, 1);
        if (y < 32) return blend(0xF0F0F0, 0x0066CC, x, y - 16, 2);
        return blend(0xF0F0F0, 0, x, y % 16, y / 16);
      },
      32);
}
Bitmap gradientCrop(int width, int height) {
  return makeImage(
      width, height,
      [&](int x, int y) {
        return static_cast<Rgb>(40 + 180 * x / width) << 16 | static_cast<Rgb>(60 + 150 * y / height) << 8 |
               static_cast<Rgb>(200 - 100 * (x + y) / (width + height));
      },
      32);
}

// libpng is given the crop as RGB and, when it has at most 256 colours, also as
// a palette; the smaller of its files counts. Small crops are made as small as
// the writer can, larger ones on the quick road (a level for each piece, filters
// chosen on a sample of each row), which made a smooth wash 3.4 times libpng's.
TEST(PngImage, CropsOfEverySizeAreWithinAFifthMoreThanLibpngsBytes) {
  const std::pair<int, int> sizes[] = {{1, 1},     {16, 16},    {211, 97},   {300, 200},
                                       {640, 480}, {1000, 700}, {1920, 1080}};
  for (const auto& [width, height] : sizes)
    for (const auto draw : {textCrop, dialogCrop, gradientCrop}) {
      const Bitmap crop = draw(width, height);
      const std::size_t colours = distinctColours(crop);
      SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) + ", " + std::to_string(colours) +
                   " colours");
      const std::size_t libpng =
          std::min(libpngBytes(crop, false), colours <= 256 ? libpngBytes(crop, true) : SIZE_MAX);
      const platform::Bytes ours = encodePng(crop);
      EXPECT_LE(static_cast<double>(ours.size()), 1.2 * static_cast<double>(libpng));
      expectSamePixels(crop, decode(ours));
    }
}

TEST(PngImage, TheConfirmWritesGlimorPngOfTheCropsPixels) {
  const Bitmap crop = withColours(641, 403, 1000, 32); // large enough for both cores
  fakes::FakeFiles files;
  writeCropFiles(crop, {"/a/Glimor.bmp", "/a/Glimor.jpg", "/a/Glimor.gif", "/a/Glimor.png"}, files);
  expectSamePixels(crop, decode(files.contents["/a/Glimor.png"]));
}

TEST(PngImage, NothingToEncodeIsAnError) {
  Bitmap empty;
  EXPECT_THROW(encodePng(empty), Error);
  Bitmap truncated = randomImage(10, 10, 4);
  truncated.pixels.resize(50);
  EXPECT_THROW(encodePng(truncated), Error);
}

} // namespace
} // namespace glimor::imaging
