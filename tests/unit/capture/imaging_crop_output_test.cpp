#include "capture/imaging_crop_output.h"
#include "capture/picture_ops.h"
#include "fakes/fake_files.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

// A 2 x 2 picture: red and green on top, blue and white below.
Picture corners() {
  Picture p(2, 2);
  p.at(0, 0) = 0xFF0000, p.at(1, 0) = 0x00FF00, p.at(0, 1) = 0x0000FF, p.at(1, 1) = 0xFFFFFF;
  return p;
}

TEST(ImagingCropOutput, DisplayBitmapIsBottomUpAtTheDisplayDepth) {
  imaging::Bitmap b32 = displayBitmapOf(corners(), {32, {}});
  EXPECT_EQ(b32.bitsPerPixel, 32);
  // The bottom row (blue, white) comes first.
  EXPECT_EQ(std::vector<std::uint8_t>(b32.pixels.begin(), b32.pixels.begin() + 8),
            (std::vector<std::uint8_t>{0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}));
  imaging::Bitmap b24 = displayBitmapOf(corners(), {24, {}});
  ASSERT_EQ(b24.stride(), 8u);
  EXPECT_EQ(b24.pixels[8 + 2], 0xFF) << "top-left red";
  EXPECT_EQ(b24.pixels[6], 0) << "row padding";
  imaging::Bitmap b16 = displayBitmapOf(corners(), {16, {}});
  EXPECT_EQ(b16.pixels[4] | b16.pixels[5] << 8, 0x7C00) << "top-left red in 5-5-5";
  EXPECT_EQ(displayBitmapOf(corners(), {8, {}}).bitsPerPixel, 32) << "no palette to index";
}

// At 8 bits or fewer the file holds the display's colour table and each pixel's index in it.
TEST(ImagingCropOutput, APaletteDisplayGetsIndicesIntoItsColours) {
  DisplayFormat four{2, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}};
  imaging::Bitmap b2 = displayBitmapOf(corners(), four);
  ASSERT_EQ(b2.bitsPerPixel, 2);
  EXPECT_EQ(b2.palette, four.palette);
  ASSERT_EQ(b2.pixels.size(), 8u);
  // Bottom row first: blue (1), white (nearest: blue, the first of the equally near ones); top: red (3),
  // green (2).
  EXPECT_EQ(b2.pixels[0], 0b0101'0000);
  EXPECT_EQ(b2.pixels[4], 0b1110'0000);
  imaging::Bitmap back = imaging::toBgr24(b2);
  EXPECT_EQ(back.pixels[back.stride() + 2], 0xFF) << "top-left reads back red";

  fakes::FakeFiles files;
  ImagingCropOutput output(files);
  DisplayFormat grey{8, std::vector<std::uint32_t>(256)};
  for (std::uint32_t i = 0; i < 256; ++i) grey.palette[i] = i * 0x010101;
  ASSERT_TRUE(output.saveCropAs(Picture(3, 1, 0x808080), grey, "D:\\g.bmp"));
  const auto& bmp = files.contents["D:\\g.bmp"];
  ASSERT_EQ(bmp.size(), 54u + 1024 + 4);
  EXPECT_EQ(bmp[28], 8) << "bits per pixel";
  EXPECT_EQ(bmp[10] | bmp[11] << 8, 54 + 1024) << "rows after the colour table";
  EXPECT_EQ(bmp[46] | bmp[47] << 8, 256) << "colours used";
  EXPECT_EQ(std::vector<std::uint8_t>(bmp.end() - 4, bmp.end()),
            (std::vector<std::uint8_t>{0x80, 0x80, 0x80, 0}));
}

// The files of a copy of `picture`, which the output takes.
void writeFilesOf(ImagingCropOutput& output, Picture picture, const CropFileNames& names,
                  const std::string& first) {
  output.writeCropFiles(picture, {0, 0, picture.width, picture.height}, {32, {}}, names, first);
  EXPECT_TRUE(picture.pixels.empty()) << "taken";
}

TEST(ImagingCropOutput, WritesTheThreeFilesAndSavesByExtension) {
  fakes::FakeFiles files;
  ImagingCropOutput output(files);
  Picture crop(20, 20, 0x336699);
  writeFilesOf(output, crop, cropFileNamesFor("C:\\Apps\\Glimor.exe"), "");
  ASSERT_TRUE(files.exists("C:\\Apps\\Glimor.bmp"));
  EXPECT_EQ(files.contents["C:\\Apps\\Glimor.bmp"].size(), 54u + 4 * 20 * 20);
  EXPECT_EQ(files.contents["C:\\Apps\\Glimor.jpg"][0], 0xFF);
  EXPECT_EQ(files.contents["C:\\Apps\\Glimor.gif"][0], 'G');
  EXPECT_TRUE(output.saveCropAs(crop, {32, {}}, "D:\\a.GIF"));
  EXPECT_FALSE(output.saveCropAs(crop, {32, {}}, "D:\\a.tif"));
  EXPECT_FALSE(files.exists("D:\\a.tif"));
}

// The upload's file comes first and alone; the other three follow with the bytes an all-at-once
// write gives, and a failure among them is reported once, later.
TEST(ImagingCropOutput, WritesTheUploadsFileFirstAndTheOthersAfter) {
  const CropFileNames names = cropFileNamesFor("C:\\Apps\\Glimor.exe");
  Picture crop(23, 17, 0x336699);
  crop.at(3, 4) = 0xFF0000;
  fakes::FakeFiles together, apart;
  ImagingCropOutput all(together);
  writeFilesOf(all, crop, names, "");
  apart.failing = {names.gif};
  {
    ImagingCropOutput output(apart);
    writeFilesOf(output, crop, names, names.png);
    EXPECT_EQ(apart.replaced, std::vector<std::string>{names.png}) << "the others wait to be started";
    output.writeRemainingFiles();
  } // waits for the others
  EXPECT_EQ(apart.replaced, (std::vector<std::string>{names.png, names.bmp, names.jpg}));
  for (const std::string& name : {names.png, names.bmp, names.jpg})
    EXPECT_EQ(apart.contents[name], together.contents[name]) << name;

  ImagingCropOutput output(apart);
  writeFilesOf(output, crop, names, names.jpg);
  // Written at once, after the earlier files were finished: the failure is this call's, and the
  // picture stays with the caller.
  Picture kept = crop;
  EXPECT_THROW(output.writeCropFiles(kept, {0, 0, kept.width, kept.height}, {32, {}}, names, ""), Error);
  EXPECT_EQ(kept.pixels, crop.pixels);
  EXPECT_NE(output.takeLateFailure(), "") << "the earlier files' failure";
  EXPECT_EQ(output.takeLateFailure(), "") << "reported once";
}

// The upload's JPEG is read from the picture in place: the same file as the bitmap's, whatever
// surrounds the part and at either depth that holds its colours.
TEST(ImagingCropOutput, TheUploadsJpegOfAPartIsTheCropsJpeg) {
  const CropFileNames names = cropFileNamesFor("C:\\Apps\\Glimor.exe");
  Picture screen(40, 30, 0x102030);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      screen.at(x, y) = static_cast<std::uint32_t>(x * 6 << 16 | y * 8 << 8 | (x ^ y));
  const Rect part{7, 5, 30, 22};
  fakes::FakeFiles files;
  ImagingCropOutput output(files);
  ASSERT_TRUE(output.saveCropAs(cropOf(screen, part), {32, {}}, "D:\\crop.jpg"));
  for (int bits : {32, 24}) {
    Picture picture = screen;
    output.writeCropFiles(picture, part, {bits, {}}, names, names.jpg);
    EXPECT_TRUE(picture.pixels.empty());
    EXPECT_EQ(files.contents[names.jpg], files.contents["D:\\crop.jpg"]) << bits;
  }
}

} // namespace
} // namespace glimor::capture
