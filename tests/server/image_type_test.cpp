#include "image_check.h"
#include "image_type.h"
#include "imaging/bmp_writer.h"
#include "imaging/gif_animation.h"
#include "imaging/gif_encoder.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/png_image.h"
#include "refusal.h"
#include "temp_folder.h"
#include "webm_for_tests.h"

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

// The reason a check refuses `bytes` for, or "accepted".
std::string verdict(const std::string& bytes, const PixelLimits& limits = 100'000'000) {
  try {
    return isCompleteImage(bytes, *sniffImageType(bytes), limits) ? "accepted" : "incomplete";
  } catch (const Refusal& refusal) {
    return std::to_string(refusal.status()) + " " + refusal.what();
  }
}

TEST(CompleteImage, TakesWebmRecordingsWithTheirDurationAndFirstFrame) {
  for (const char* codec : {"V_VP8", "V_VP9"}) {
    SCOPED_TRACE(codec);
    const auto frames = testing::vpxFrames(codec[4] == '9', 64, 48, 5);
    const std::string file = testing::webmOf(frames, {.tracks = {{codec, 1}}});
    EXPECT_EQ(sniffImageType(file)->mimeType, "video/webm");
    ThumbnailMaker thumbnail;
    Motion motion;
    ASSERT_TRUE(isCompleteImage(file, *sniffImageType(file), 64 * 48, &thumbnail, &motion));
    EXPECT_EQ(motion.frames, 5u);
    EXPECT_EQ(motion.durationMs, 500u); // four gaps of 100 ms, and the last frame's own
    const imaging::Bitmap picture = thumbnail.picture();
    ASSERT_EQ(picture.width * 100 + picture.height, 6448);
    EXPECT_TRUE(picture.pixels[2] > 220 && picture.pixels[1] < 40 && picture.pixels[0] < 40); // red, as BGR
    // A stated duration is the one players show.
    const std::string stated = testing::webmOf(frames, {.tracks = {{codec, 1}}, .durationMs = 1234.4});
    EXPECT_TRUE(isCompleteImage(stated, *sniffImageType(file), 64 * 48, nullptr, &motion));
    EXPECT_EQ(motion.durationMs, 1234u);
  }
}

TEST(CompleteImage, RefusesWebmThatIsNotOneSilentVp8OrVp9RecordingWithinBounds) {
  const auto frames = testing::vpxFrames(false, 64, 48, 3);
  const std::string good = testing::webmOf(frames);
  ASSERT_EQ(verdict(good), "accepted");
  for (std::size_t length = 4; length < good.size(); length += 13)
    EXPECT_EQ(verdict(good.substr(0, length)), "415 Not a complete WebM video") << length;
  EXPECT_EQ(verdict(good + '\0'), "415 Not a complete WebM video");
  std::string huge = frames[0]; // a key frame that claims 16383 x 16383: refused before it is decoded
  huge[6] = huge[8] = '\xff', huge[7] = huge[9] = '\x3f';
  const std::vector<std::string> keys(maxRecordingFrames + 1, testing::vpxFrames(false, 2, 2, 1)[0]);
  const std::vector<std::tuple<testing::WebmShape, std::vector<std::string>, std::string>> cases = {
      {{.docType = "matroska"}, frames, "Not a WebM video: another kind of Matroska file"},
      {{.tracks = {{"V_AV1", 1}}}, frames, "WebM video that is neither VP8 nor VP9"},
      {{.tracks = {{"V_VP9", 1}}}, frames, "WebM video with a frame that does not decode"},
      {{}, {frames[0], "\x9d\x01\x2a"}, "WebM video with a frame that does not decode"},
      {{.tracks = {{"A_OPUS", 2}}}, frames, "WebM with a sound track: recordings are kept without sound"},
      {{.tracks = {{"V_VP8", 1}, {"A_OPUS", 2}}},
       frames,
       "WebM of more than one track: a recording is one silent video"},
      {{.tracks = {}}, frames, "WebM without a video track"},
      {{.laterMs = 305'000}, frames, "WebM video longer than 305 s"},
      {{.durationMs = 305'001}, frames, "WebM video longer than 305 s"},
      {{}, {huge}, "Frame of more than 33177600 pixels: too large"},
      {{.frameMs = 1}, keys, "More than 9150 frames: too costly to decode"}};
  for (const auto& [shape, of, reason] : cases)
    EXPECT_EQ(verdict(testing::webmOf(of, shape)), "415 " + reason);
  EXPECT_EQ(verdict(good, 64 * 48 - 1), "415 Frame of more than 3071 pixels: too large");
  EXPECT_EQ(verdict(good, {64 * 48, 64 * 48 * 3}), "accepted");
  EXPECT_EQ(verdict(good, {64 * 48, 64 * 48 * 3 - 1}),
            "415 More than 9215 pixels in all frames together: too costly to decode");
}

// An animated GIF as Glimor records it: each frame within --max-pixels, all of them
// together within the total, the delays its duration.
TEST(CompleteImage, TakesAnimatedGifsByTheFrameWithinTheirTotal) {
  platform::Bytes bytes;
  imaging::GifAnimationWriter writer(23, 21, imaging::GifAnimationWriter::appendTo(bytes));
  std::vector<std::uint32_t> pixels(23 * 21, 0x336699);
  for (int i = 0; i < 3; ++i) {
    pixels[i] = 0xff0000; // each frame differs
    writer.addFrame(pixels.data(), 250);
  }
  writer.finish();
  const std::string gif(bytes.begin(), bytes.end());
  Motion motion;
  EXPECT_TRUE(isCompleteImage(gif, *sniffImageType(gif), 23 * 21, nullptr, &motion));
  EXPECT_EQ(motion.frames, 3u);
  EXPECT_EQ(motion.durationMs, 750u);
  EXPECT_EQ(verdict(gif, {23 * 21, 23 * 21 + 2}), "accepted"); // later frames hold only what changed
  EXPECT_EQ(verdict(gif, {23 * 21, 23 * 21}),
            "415 More than 483 pixels in all frames together: too costly to decode");
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

// A 23 x 21 crop of coarse noise, the same every time.
imaging::Bitmap noiseCrop() {
  imaging::Bitmap crop;
  crop.width = 23;
  crop.height = 21;
  crop.pixels.resize(imaging::Bitmap::strideOf(23, 32) * 21);
  std::mt19937 random(7);
  for (auto& byte : crop.pixels) byte = static_cast<std::uint8_t>(random() & 0xC3);
  return crop;
}

// Every file the program writes, at every depth a display has, and the type each is checked as.
std::vector<std::pair<std::string, ImageType>> programFiles() {
  const imaging::Bitmap crop = noiseCrop();
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
  imaging::GifEncoder gif;
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

std::string bigEndian(std::uint32_t value) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
  return out;
}

std::string chunk(std::string_view kind, std::string_view data) {
  std::string body = std::string(kind) + std::string(data);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  return bigEndian(static_cast<std::uint32_t>(data.size())) + body +
         bigEndian(static_cast<std::uint32_t>(crc));
}

std::string deflated(std::string_view bytes, int level) {
  std::string stream(compressBound(bytes.size()), '\0');
  uLongf length = stream.size();
  compress2(reinterpret_cast<Bytef*>(stream.data()), &length, reinterpret_cast<const Bytef*>(bytes.data()),
            bytes.size(), level);
  stream.resize(length);
  return stream;
}

// A 4 x 4 greyscale PNG whose stored (uncompressed) zlib stream is split into
// IDAT chunks at `cuts`: with stored blocks, offsets in the stream are offsets
// in the rows, so pieces can be made to meet exactly at a row boundary.
std::string pngInPieces(std::initializer_list<std::size_t> cuts) {
  std::string rows;
  for (int y = 0; y < 4; ++y) rows += std::string("\0", 1) + std::string(4, static_cast<char>(40 * y));
  const std::string stream = deflated(rows, 0);
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

// Few rows, each very wide: 60 rows of 50,000 RGBA pixels at 16 bits, 24 MB once
// inflated from about 24 KB. Between two rows a decoder does megabytes of work.
std::string wideRowsPng() {
  constexpr std::uint32_t width = 50'000, height = 60;
  std::string rows;
  for (std::uint32_t y = 0; y < height; ++y) rows += std::string(1 + 8 * std::size_t(width), '\0');
  std::string header = bigEndian(width) + bigEndian(height) + std::string("\x10\x06\0\0\0", 5);
  return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", deflated(rows, 9)) + chunk("IEND", "");
}

int clockReadings = 0;

// The check reads its clock by the bytes it decodes, not by rows, and stops at the
// first reading past the time allowed.
TEST(CompleteImage, WatchesTheClockByWorkDone) {
  using namespace std::chrono_literals;
  const auto png = *imageTypeByExtension("png");
  const std::string image = wideRowsPng();
  standInProcessorClock([] {
    ++clockReadings;
    return std::chrono::nanoseconds(0);
  });
  EXPECT_TRUE(isCompleteImage(image, png, 100'000'000));
  EXPECT_GE(clockReadings, 60 * 400'000 / int(DecodeClock::workPerReading));

  clockReadings = 0;
  standInProcessorClock(
      [] { return ++clockReadings == 1 ? 0ns : std::chrono::nanoseconds(maxDecodeTime) + 1ms; });
  try {
    isCompleteImage(image, png, 100'000'000);
    ADD_FAILURE() << "decoded past the time allowed";
  } catch (const Refusal& refusal) {
    EXPECT_EQ(refusal.status(), 415);
  }
  EXPECT_EQ(clockReadings, 2); // the start, then the first reading
  standInProcessorClock(nullptr);
}

// The thumbnail each check makes of the program's files, against the crop they
// were made of: every format and depth in its own colours, rows the right way up,
// red and blue in their places. JPEG is lossy: only its size is compared.
TEST(Thumbnail, EachFormatGivesThePictureItDecodes) {
  const imaging::Bitmap crop = noiseCrop();
  const auto files = programFiles();
  constexpr int bmpDepths[] = {1, 2, 4, 8, 16, 24, 32}; // the first files, as programFiles() makes them
  for (std::size_t i = 0; i + 1 < files.size(); ++i) {  // the last one has other colours
    const auto& [file, type] = files[i];
    SCOPED_TRACE(std::string(type.extension) + " #" + std::to_string(i));
    ThumbnailMaker thumbnail;
    ASSERT_TRUE(isCompleteImage(file, type, 23 * 21, &thumbnail));
    if (type.extension == "jpg") { // no larger than a thumbnail: its own, decoded no further
      EXPECT_TRUE(thumbnail.ownJpeg());
      EXPECT_EQ(thumbnail.pictureSize().width, 23);
      continue;
    }
    imaging::Bitmap picture = thumbnail.picture();
    ASSERT_EQ(picture.width, 23);
    ASSERT_EQ(picture.height, 21);
    if (type.extension == "jpg" || type.extension == "gif") continue; // lossy here; a GIF of its own below
    imaging::Bitmap source = crop;
    if (i < std::size(bmpDepths)) {
      source.bitsPerPixel = bmpDepths[i];
      source.palette.assign(bmpDepths[i] <= 8 ? 1u << bmpDepths[i] : 0, 0x336699);
      source.pixels.resize(source.stride() * 21);
    }
    const imaging::Bitmap expected = imaging::toBgr24(source);
    int worst = 0;
    for (std::size_t at = 0; at < picture.pixels.size(); ++at)
      worst = std::max(worst, std::abs(int(picture.pixels[at]) - int(expected.pixels[at])));
    EXPECT_LE(worst, source.bitsPerPixel == 16 ? 7 : 0);
  }

  // A GIF's indices through its own colour table.
  imaging::Bitmap indexed = crop;
  indexed.bitsPerPixel = 8;
  indexed.pixels.resize(indexed.stride() * 21);
  indexed.palette.resize(256);
  for (std::uint32_t i = 0; i < 256; ++i) indexed.palette[i] = i * 0x010307u;
  const platform::Bytes gifFile = imaging::encodeGif(indexed);
  ThumbnailMaker gif;
  ASSERT_TRUE(isCompleteImage(std::string(gifFile.begin(), gifFile.end()), *imageTypeByExtension("gif"),
                              23 * 21, &gif));
  EXPECT_EQ(gif.picture().pixels, imaging::toBgr24(indexed).pixels);
}

// A box filter exact to the pixel: three columns of 0, 255, 0 ... become two,
// each the mean of the area it covers, not every other column picked.
TEST(Thumbnail, AveragesTheAreaEachPixelCovers) {
  EXPECT_EQ(thumbnailSize(480, 10).width, 320);
  EXPECT_EQ(thumbnailSize(480, 10).height, 7);
  EXPECT_EQ(thumbnailSize(100000, 1).height, 1);
  EXPECT_EQ(thumbnailSize(40, 30).width, 40); // never enlarged
  ThumbnailMaker maker;
  maker.start({480, 3}, {480, 3});
  std::vector<std::uint8_t> row(480 * 3);
  for (int x = 0; x < 480; ++x) row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = x % 2 ? 255 : 0;
  for (int y = 2; y >= 0; --y) maker.add(y, 0, 1, 480, row.data()); // any order of rows
  imaging::Bitmap picture = maker.picture();
  ASSERT_EQ(picture.width, 320);
  ASSERT_EQ(picture.height, 2);
  const std::uint8_t expected[] = {85, 85, 170, 170};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 320; ++x)
      ASSERT_EQ(picture.pixels[y * picture.stride() + x * 3], expected[x % 4]) << x << "," << y;

  // Pixels handed out sparsely (the passes of an interlaced image) land where they belong.
  ThumbnailMaker sparse;
  sparse.start({4, 1}, {4, 1});
  const std::uint8_t red[] = {255, 0, 0, 255, 0, 0}, blue[] = {0, 0, 255, 0, 0, 255};
  sparse.add(0, 0, 2, 2, red);
  sparse.add(0, 1, 2, 2, blue);
  imaging::Bitmap mixed = sparse.picture();
  EXPECT_EQ(std::vector<std::uint8_t>(mixed.pixels.begin(), mixed.pixels.begin() + 12),
            (std::vector<std::uint8_t>{0, 0, 255, 255, 0, 0, 0, 0, 255, 255, 0, 0})); // blue, green, red
  // ... also where they are spread over the cells of a smaller thumbnail: a row given in
  // passes of every eighth, fourth and second pixel, as Adam7 does, ends as the whole row.
  std::vector<std::uint8_t> noise(1001 * 3);
  std::mt19937 random(3);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  ThumbnailMaker whole, passes;
  whole.start({1001, 1}, {1001, 1});
  passes.start({1001, 1}, {1001, 1});
  whole.add(0, 0, 1, 1001, noise.data());
  for (auto [x0, dx] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
    std::vector<std::uint8_t> picked;
    for (int x = x0; x < 1001; x += dx) picked.insert(picked.end(), &noise[x * 3], &noise[x * 3 + 3]);
    passes.add(0, x0, dx, 1001, picked.data()); // a count past the row's end is cut to it
  }
  EXPECT_EQ(passes.picture().pixels, whole.picture().pixels);

  // A picture of far more rows than the thumbnail gives it only some of them, each
  // thumbnail row still the mean of what it was given: a gradient stays a gradient.
  ThumbnailMaker tall;
  tall.start({2, 6400}, {2, 6400});
  int given = 0;
  for (int y = 0; y < 6400; ++y) {
    const std::uint8_t level = static_cast<std::uint8_t>(y * 256 / 6400), pair[] = {level, 7, 9, level, 7, 9};
    given += tall.wantsRow(y);
    tall.add(y, 0, 1, 2, pair);
  }
  EXPECT_EQ(given, 3200); // every second row
  imaging::Bitmap gradient = tall.picture();
  ASSERT_EQ(gradient.height, 320);
  for (int y = 0; y < 320; ++y) {
    const std::uint8_t* pixel = &gradient.pixels[std::size_t(319 - y) * gradient.stride()];
    double mean = 0; // of all its twenty rows' levels
    for (int k = 0; k < 20; ++k) mean += (20 * y + k) * 256 / 6400 / 20.0;
    EXPECT_NEAR(pixel[2], mean, 1) << y;
    EXPECT_EQ(pixel[1], 7);
    EXPECT_EQ(pixel[0], 9);
  }
}

} // namespace
} // namespace glimor::server
