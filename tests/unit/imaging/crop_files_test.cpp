#include "fakes/fake_files.h"
#include "imaging/bmp_writer.h"
#include "imaging/crop_files.h"
#include "imaging/gif_encoder.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/png_image.h"
#include "test_images.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

using namespace testing;

const CropFileNames names{"/app/Glimor.bmp", "/app/Glimor.jpg", "/app/Glimor.gif", "/app/Glimor.png"};

platform::Bytes jpegOf(const Bitmap& bgr24) {
  JpegEncoder jpeg;
  jpeg.setQuality(100);
  jpeg.assign(bgr24);
  return jpeg.bytes();
}

platform::Bytes gifOf(const Bitmap& bgr24) {
  GifEncoder gif;
  gif.assign(bgr24);
  return gif.bytes();
}

TEST(WriteCropFiles, BmpAtCropDepthThenJpegGifAndPngOfThe24BitForm) {
  fakes::FakeFiles files;
  const Bitmap crop = redFOnBlue(32);
  writeCropFiles(crop, names, files);
  EXPECT_EQ(files.replaced, (std::vector<std::string>{names.bmp, names.jpg, names.gif, names.png}));
  EXPECT_EQ(files.contents[names.bmp], encodeBmp(crop));
  EXPECT_EQ(files.contents[names.bmp][28], 32); // the display's depth
  EXPECT_EQ(files.contents[names.jpg], jpegOf(redFOnBlue(24)));
  EXPECT_EQ(files.contents[names.gif], gifOf(redFOnBlue(24)));
  EXPECT_EQ(files.contents[names.png], encodePng(redFOnBlue(24)));
}

TEST(WriteCropFiles, FailureStopsAtItsStepAndKeepsLaterFilesAsTheyWere) {
  const Bitmap crop = redFOnBlue(32);
  const platform::Bytes old{1, 2, 3};
  {
    fakes::FakeFiles files;
    files.contents = {{names.jpg, old}, {names.gif, old}, {names.png, old}};
    files.failing = {names.bmp};
    try {
      writeCropFiles(crop, names, files);
      FAIL() << "no error";
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), "Cannot create file \"/app/Glimor.bmp\". Access is denied.");
    }
    EXPECT_TRUE(files.replaced.empty());
    EXPECT_EQ(files.contents[names.gif], old);
    EXPECT_EQ(files.contents[names.png], old);
  }
  {
    fakes::FakeFiles files;
    files.contents = {{names.gif, old}, {names.png, old}};
    files.failing = {names.jpg};
    EXPECT_THROW(writeCropFiles(crop, names, files), Error);
    EXPECT_EQ(files.replaced, std::vector<std::string>{names.bmp});
    EXPECT_EQ(files.contents[names.gif], old);
    EXPECT_EQ(files.contents[names.png], old);
    // A second confirm rewrites all four from the start.
    files.failing.clear();
    writeCropFiles(crop, names, files);
    EXPECT_EQ(files.replaced,
              (std::vector<std::string>{names.bmp, names.bmp, names.jpg, names.gif, names.png}));
    EXPECT_NE(files.contents[names.png], old);
  }
}

TEST(SaveCropAs, LowerCasedExtensionChoosesTheOneFormat) {
  fakes::FakeFiles files;
  const Bitmap crop = redFOnBlue(32);
  EXPECT_TRUE(saveCropAs(crop, "/d/a.BMP", files));
  EXPECT_TRUE(saveCropAs(crop, "/d/b.Jpg", files));
  EXPECT_TRUE(saveCropAs(crop, "/d/c.gif", files));
  EXPECT_TRUE(saveCropAs(crop, "/d/d.PNG", files));
  EXPECT_EQ(files.contents["/d/a.BMP"], encodeBmp(crop));
  EXPECT_EQ(files.contents["/d/b.Jpg"], jpegOf(redFOnBlue(24)));
  EXPECT_EQ(files.contents["/d/c.gif"], gifOf(redFOnBlue(24)));
  EXPECT_EQ(files.contents["/d/d.PNG"], encodePng(crop));

  for (const char* other : {"/d/x.jpeg", "/d/x.tif", "/d/x", "/d/x.bmp.txt", "/d.gif/x"})
    EXPECT_FALSE(saveCropAs(crop, other, files)) << other;
  EXPECT_EQ(files.replaced.size(), 4u);
}

TEST(SaveCropAs, OnePixelCropAndWriteFailures) {
  fakes::FakeFiles files;
  const Bitmap dot = makeImage(
      1, 1, [](int, int) { return 0xABCDEFu; }, 32);
  for (const char* name : {"/d/1.bmp", "/d/1.jpg", "/d/1.gif"}) EXPECT_TRUE(saveCropAs(dot, name, files));
  EXPECT_EQ(files.contents["/d/1.bmp"].size(), 58u);
  files.failing = {"/ro/x.jpg"};
  EXPECT_THROW(saveCropAs(dot, "/ro/x.jpg", files), Error);
}

} // namespace
} // namespace glimor::imaging
