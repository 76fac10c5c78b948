#pragma once
#include "imaging/jpeg_encoder.h"

namespace glimor::imaging {

// How compressJpegInBands shares out its work.
struct JpegBands {
  int mcuRowsPerBand = 2; // rows of MCUs (16 rows of pixels each) in a band
  int helpers = 1;        // HelperThreads that transform bands beside the calling thread

  // About 128K pixels a band, and every helper of the program.
  static JpegBands forThisComputer(int width);
};

// The file compressJpegInOnePass makes, byte for byte, made on several cores: helper threads
// turn bands of rows into quantised DCT blocks (colour conversion, downsampling, DCT), while the
// calling thread entropy-codes the blocks in order in the one pass of the file's single scan,
// making itself each band that no helper has taken yet. At most 2 x helpers + 2 bands are held
// at once. Where no helper is free, the caller makes every band.
platform::Bytes compressJpegInBands(const PixelRows& image, int quality, JpegBands bands);

// The plain libjpeg call sequence, all on the calling thread.
platform::Bytes compressJpegInOnePass(const PixelRows& image, int quality);

} // namespace glimor::imaging
