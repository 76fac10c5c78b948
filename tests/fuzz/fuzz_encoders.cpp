// Small arbitrary images through every encoder: the colour reduction must equal
// the plain reference, the GIF must decode to the reduction's indices, and the
// BMP and JPEG encoders must not fail on any valid crop.
#include "../unit/imaging/gif_test_decoder.h"
#include "../unit/imaging/reference_reduction.h"
#include "imaging/bmp_writer.h"
#include "imaging/colour_reduction.h"
#include "imaging/gif_encoder.h"
#include "imaging/jpeg_encoder.h"

#include <cstdlib>

using namespace glimor::imaging;

namespace {

// Width, height, depth and a colour mask from the first bytes; the pixels repeat the rest.
bool imageFrom(const std::uint8_t* data, std::size_t size, Bitmap& crop) {
  if (size < 5) return false;
  // Up to 2304 pixels: enough for more than 2049 colours, where precision is lowered.
  crop.width = 1 + data[0] % 48;
  crop.height = 1 + data[1] % 48;
  crop.bitsPerPixel = data[2] % 3 == 0 ? 32 : data[2] % 3 == 1 ? 24 : 16;
  const std::uint8_t mask = data[3] | 0x80; // fewer low bits: fewer colours
  crop.pixels.resize(crop.stride() * static_cast<std::size_t>(crop.height));
  for (std::size_t i = 0; i < crop.pixels.size(); ++i) crop.pixels[i] = data[4 + i % (size - 4)] & mask;
  return true;
}

std::vector<std::uint8_t> topDownIndices(const Bitmap& indexed) {
  std::vector<std::uint8_t> indices;
  for (int y = indexed.height - 1; y >= 0; --y)
    for (int x = 0; x < indexed.width; ++x)
      indices.push_back(
          indexed.pixels[indexed.stride() * static_cast<std::size_t>(y) + static_cast<std::size_t>(x)]);
  return indices;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bitmap crop;
  if (!imageFrom(data, size, crop)) return 0;
  if (encodeBmp(crop).size() != 54 + crop.pixels.size()) std::abort();

  // 32-bit crops go to the encoders as they are, like the confirm action passes them.
  const Bitmap bgr24 = toBgr24(crop);
  const Bitmap& input = crop.bitsPerPixel == 32 ? crop : bgr24;
  const Bitmap reduced = reduceColours(input);
  const testing::ReferenceReduction reference = testing::referenceReduce(bgr24);
  if (reduced.palette != reference.indexed.palette || reduced.pixels != reference.indexed.pixels)
    std::abort();

  GifEncoder gif;
  gif.assign(input);
  const testing::DecodedGif decoded = testing::decodeGif(gif.bytes());
  if (decoded.indices != topDownIndices(reduced)) std::abort();

  if (crop.width * crop.height > 1024) return 0; // the JPEG check is the slow one; small crops suffice
  JpegEncoder jpeg;
  jpeg.setQuality(100);
  jpeg.assign(input);
  if (jpeg.bytes() != compressJpeg(bgr24, 100)) std::abort();
  return 0;
}
