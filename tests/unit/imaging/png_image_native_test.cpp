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
      // A fixed level always writes the palette; the writer's own choice takes it
      // where it makes the smaller file, and then at the least depth too.
      for (const int level : {5, 0}) {
        const Decoded decoded = decode(encodePng(picture, level));
        if (level != 0 || decoded.colourType != PNG_COLOR_TYPE_RGB) {
          EXPECT_EQ(decoded.colourType, PNG_COLOR_TYPE_PALETTE);
          EXPECT_EQ(decoded.paletteSize, c.colours);
          EXPECT_EQ(decoded.bitDepth, c.bitDepth);
        }
        expectSamePixels(picture, decoded);
      }
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

void appendBytes(png_structp png, png_bytep bytes, png_size_t count) {
  auto* out = static_cast<platform::Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), bytes, bytes + count);
}

// libpng's file of the pixels at its defaults (zlib level 6, its filter choice):
// 8-bit RGB, or with `indexed` the picture's colours as a palette in the order
// first met at the least depth, as the caller of libpng could have asked.
platform::Bytes libpngFile(const Bitmap& bitmap, bool indexed) {
  const Bitmap bgr = toBgr24(bitmap);
  std::vector<png_color> palette;
  std::map<Rgb, png_byte> indexOf;
  std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(bitmap.height));
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x) {
      const Rgb rgb = rgbAt(bgr, x, y);
      if (!indexed) {
        rows[y].insert(rows[y].end(), {png_byte(rgb >> 16), png_byte(rgb >> 8), png_byte(rgb)});
        continue;
      }
      if (indexOf.emplace(rgb, static_cast<png_byte>(palette.size())).second)
        palette.push_back({png_byte(rgb >> 16), png_byte(rgb >> 8), png_byte(rgb)});
      rows[y].push_back(indexOf[rgb]);
    }
  const int depth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
  platform::Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, appendBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width), static_cast<png_uint_32>(bitmap.height),
               indexed ? depth : 8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (indexed) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_write_info(png, info);
  png_set_packing(png); // one index a byte in, packed to the depth
  for (auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Crops as a screen gives them, top row first. Text is drawn on a grid of
// subpixels, a third of a pixel wide, as ClearType draws it: the edges of the
// strokes take coloured fringes, and a line of text some dozens of colours.
struct Glyphs {
  Rgb ink, paper;
  // Whether subpixel column sx (three a pixel) of row y inside a text line of
  // `height` rows is ink: glyphs of 6 pixels, strokes of 4 subpixels.
  // Of 4, how much of subpixel column sx of row y, in a text line of `height`
  // rows, glyph number `line` * 1000 + its place, is ink. A glyph advances 20
  // subpixels, so glyphs start at every third of a pixel; its strokes are 4
  // subpixels wide, its bars 2 rows high with their edges at half a row.
  static int cover(int sx, int y, int height, int line) {
    const int place = sx / 20, inCell = sx % 20;
    const int top = 3, bottom = height - 3, middle = (top + bottom) / 2;
    if (inCell >= 16 || place % 7 == 6 || y < top || y >= bottom) return 0; // gaps, spaces
    const unsigned shape = static_cast<unsigned>(line * 1000 + place) * 2654435761u >> 20;
    const int part = (y - top) * 3 / (bottom - top); // top, middle or bottom third
    const bool left = inCell >= 2 && inCell < 6, right = inCell >= 11 && inCell < 15;
    if ((left && (shape >> part & 1)) || (right && (shape >> (3 + part) & 1))) return 4;
    for (const int row : {top, middle, bottom - 2})
      if ((shape >> (6 + (row - top) * 3 / (bottom - top)) & 1) && inCell >= 2 && inCell < 15) {
        if (y == row) return 4;
        if (y == row + 1 || y == row - 1) return 2;
      }
    return 0;
  }
  Rgb at(int x, int y, int height, int line = 0) const {
    Rgb out = 0;
    for (int channel = 0; channel < 3; ++channel) { // red is the left subpixel
      const int shift = 16 - 8 * channel, sx = 3 * x + channel;
      // This subpixel and its neighbours, as ClearType's filter smears them.
      const int weight =
          cover(sx - 1, y, height, line) + 2 * cover(sx, y, height, line) + cover(sx + 1, y, height, line);
      const int from = paper >> shift & 0xFF, to = ink >> shift & 0xFF;
      out |= static_cast<Rgb>(from + (to - from) * weight / 16) << shift;
    }
    return out;
  }
};

// Lines of dark text on a dialog's grey.
Bitmap textCrop(int width, int height) {
  const Glyphs text{0x000000, 0xF0F0F0};
  return makeImage(
      width, height, [&](int x, int y) { return text.at(x + 3, y % 16, 16, y / 16); }, 32);
}

// A window: a title bar fading from blue to light blue with white text, a text
// box, a button with a gradient and a rounded border, blue link text: some
// hundreds of colours.
Bitmap dialogCrop(int width, int height) {
  const Glyphs title{0xFFFFFF, 0}, body{0x000000, 0xF0F0F0}, field{0x1E1E1E, 0xFFFFFF},
      link{0x0066CC, 0xF0F0F0};
  return makeImage(
      width, height,
      [&](int x, int y) -> Rgb {
        if (y < 22) {
          Glyphs bar = title;
          const int t = x * 255 / std::max(1, width - 1);
          bar.paper = static_cast<Rgb>(0x0A + (0xA6 - 0x0A) * t / 255) << 16 |
                      static_cast<Rgb>(0x24 + (0xCA - 0x24) * t / 255) << 8 |
                      (0x6A + (0xF0 - 0x6A) * t / 255);
          return y >= 4 && y < 18 && x < width / 2 ? bar.at(x, y - 4, 14) : bar.paper;
        }
        const int inside = y - 22, buttonTop = height - 30;
        if (y >= buttonTop && y < height - 6 && x >= width - 90 && x < width - 10) { // the button
          const bool corner = (y == buttonTop || y == height - 7) && (x == width - 90 || x == width - 11);
          if (corner) return 0xB4B4B4;
          if (y == buttonTop || y == height - 7 || x == width - 90 || x == width - 11) return 0x707070;
          Glyphs face = body;
          face.paper = 0xF6F6F6 - static_cast<Rgb>((y - buttonTop) * 25 / 24) * 0x010101;
          return y >= buttonTop + 5 && y < buttonTop + 19 && x >= width - 70 && x < width - 30
                     ? face.at(x, y - buttonTop - 5, 14)
                     : face.paper;
        }
        if (inside >= 8 && inside < 30 && x >= 8 && x < width - 8) { // the text box
          if (inside == 8 || inside == 29 || x == 8 || x == width - 9) return 0x7A7A7A;
          return field.at(x, inside - 11, 16, 1);
        }
        if (inside >= 36 && inside < 52) return body.at(x, inside - 36, 16, 2);
        if (inside >= 56 && inside < 72 && x < width * 2 / 3) return link.at(x + 5, inside - 56, 16, 3);
        return 0xF0F0F0;
      },
      32);
}

// A smooth wash of colour, as a wallpaper or a web page's banner.
Bitmap gradientCrop(int width, int height) {
  return makeImage(
      width, height,
      [&](int x, int y) {
        return static_cast<Rgb>(40 + 180 * x / std::max(1, width)) << 16 |
               static_cast<Rgb>(60 + 150 * y / std::max(1, height)) << 8 |
               static_cast<Rgb>(200 - 100 * (x + y) / std::max(1, width + height));
      },
      32);
}

TEST(PngImage, SmallCropsAreWithinAFifthMoreThanLibpngsBytes) {
  // libpng is given the crop as RGB and, when it has at most 256 colours, also as
  // the palette the writer would use; the smaller file counts.
  const struct { int width, height; } sizes[] = {{1, 1}, {16, 16}, {211, 97}, {300, 200}, {640, 480}};
  const std::pair<const char*, Bitmap (*)(int, int)> kinds[] = {
      {"text", textCrop}, {"dialog", dialogCrop}, {"gradient", gradientCrop}};
  for (const auto& size : sizes)
    for (const auto& [kind, draw] : kinds) {
      const Bitmap crop = draw(size.width, size.height);
      const std::size_t colours = distinctColours(crop);
      SCOPED_TRACE(std::string(kind) + " " + std::to_string(size.width) + " x " +
                   std::to_string(size.height) + ", " + std::to_string(colours) + " colours");
      std::size_t libpng = libpngFile(crop, false).size();
      if (colours <= 256) libpng = std::min(libpng, libpngFile(crop, true).size());
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
