#include "imaging/jpeg_bands.h"

#include "imaging/jpeg_context.h"

#include <jerror.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Two modules of libjpeg's version 6b interface that jpeglib.h names but leaves to jpegint.h to
// spell out: the entropy encoder, whose encode_mcu takes each MCU's quantised blocks, and the
// coefficient controller, whose compress_data makes them for one row of MCUs.
struct jpeg_entropy_encoder {
  void (*start_pass)(j_compress_ptr cinfo, boolean gather_statistics);
  boolean (*encode_mcu)(j_compress_ptr cinfo, JBLOCKROW* MCU_data);
  void (*finish_pass)(j_compress_ptr cinfo);
};
struct jpeg_c_coef_controller {
  void (*start_pass)(j_compress_ptr cinfo, int pass_mode);
  boolean (*compress_data)(j_compress_ptr cinfo, JSAMPIMAGE input_buf);
};

namespace glimor::imaging {
namespace {

// The file's MCUs as libjpeg lays them out, and their bands.
struct Geometry {
  int height = 0;
  int mcuRowHeight = 0; // rows of pixels in a row of MCUs
  int mcuRows = 0, mcusPerRow = 0, blocksPerMcu = 0;
  int mcuRowsPerBand = 0, bandCount = 0;

  int firstRowOf(int band) const { return band * mcuRowsPerBand * mcuRowHeight; }
  int rowsIn(int band) const { return std::min(mcuRowsPerBand * mcuRowHeight, height - firstRowOf(band)); }
  int mcuRowsIn(int band) const { return std::min(mcuRowsPerBand, mcuRows - band * mcuRowsPerBand); }
  std::size_t blocksPerMcuRow() const { return static_cast<std::size_t>(mcusPerRow) * blocksPerMcu; }
};

Geometry geometryOf(const jpeg_compress_struct& started, int mcuRowsPerBand) {
  Geometry g;
  g.height = static_cast<int>(started.image_height);
  g.mcuRowHeight = started.max_v_samp_factor * DCTSIZE;
  g.mcuRows = static_cast<int>(started.total_iMCU_rows);
  g.mcusPerRow = static_cast<int>(started.MCUs_per_row);
  g.blocksPerMcu = started.blocks_in_MCU;
  g.mcuRowsPerBand = std::max(1, mcuRowsPerBand);
  g.bandCount = (g.mcuRows + g.mcuRowsPerBand - 1) / g.mcuRowsPerBand;
  return g;
}

// The bands between the helpers that make them and the encoder that takes them in order: a ring
// of slots, band b in slot b % slots, filled again only once the encoder is done with it.
class BandRing {
public:
  BandRing(const Geometry& g, int slots)
      : slots_(slots), slotBlocks_(g.blocksPerMcuRow() * static_cast<std::size_t>(g.mcuRowsPerBand)),
        blocks_(std::make_unique<JBLOCK[]>(slotBlocks_ * static_cast<std::size_t>(slots))),
        readyBand_(static_cast<std::size_t>(slots), -1) {}

  // The slot for `band` once it is free; null when the work was abandoned.
  JBLOCKROW claim(int band) noexcept {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return abandoned_ || band - consumed_ < slots_; });
    return abandoned_ ? nullptr : slot(band);
  }
  void publish(int band) noexcept {
    std::lock_guard lock(mutex_);
    readyBand_[static_cast<std::size_t>(band % slots_)] = band;
    changed_.notify_all();
  }
  // The blocks of `band` once made; null, with a helper's message code in `failure`, when one failed.
  JBLOCKROW await(int band, int& failure) noexcept {
    std::unique_lock lock(mutex_);
    changed_.wait(
        lock, [&] { return failure_ != 0 || readyBand_[static_cast<std::size_t>(band % slots_)] == band; });
    failure = failure_;
    return failure_ != 0 ? nullptr : slot(band);
  }
  void consumed(int band) noexcept {
    std::lock_guard lock(mutex_);
    consumed_ = band + 1;
    changed_.notify_all();
  }
  void fail(int code) noexcept {
    std::lock_guard lock(mutex_);
    if (failure_ == 0) failure_ = code;
    changed_.notify_all();
  }
  // Lets every helper go: nothing more will be consumed.
  void abandon() noexcept {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    changed_.notify_all();
  }

private:
  JBLOCKROW slot(int band) { return blocks_.get() + static_cast<std::size_t>(band % slots_) * slotBlocks_; }

  const int slots_;
  const std::size_t slotBlocks_;
  std::unique_ptr<JBLOCK[]> blocks_;
  std::vector<int> readyBand_; // per slot, the band it holds once made
  std::mutex mutex_;
  std::condition_variable changed_;
  int consumed_ = 0, failure_ = 0;
  bool abandoned_ = false;
};

// A helper's entropy encoder: each MCU's blocks are kept, in order, for the encoder's pass.
struct Recorder {
  JBLOCKROW next, end;
};

boolean recordMcu(j_compress_ptr cinfo, JBLOCKROW* mcu) {
  Recorder& recorder = *static_cast<Recorder*>(cinfo->client_data);
  if (recorder.end - recorder.next < cinfo->blocks_in_MCU) jpeg::fail(cinfo, JERR_BUFFER_SIZE);
  for (int b = 0; b < cinfo->blocks_in_MCU; ++b) std::memcpy(*recorder.next++, *mcu[b], sizeof(JBLOCK));
  return TRUE;
}

// One helper's work: bands first, first + step, ... through a compression of its own whose image
// is those bands one below the other. Each band but the last fills whole rows of MCUs, so its
// blocks are those of the whole image, and the last band ends both images alike. Returns 0 or
// libjpeg's message code. Only trivially destructible objects live here: longjmp skips destructors.
int transformBands(BandRing& ring, const PixelRows& image, int quality, const Geometry& g, int first,
                   int step) {
  jpeg_compress_struct cinfo{};
  jpeg::ErrorManager errors{};
  jpeg::Destination nowhere{}; // the headers this compression writes are not needed
  Recorder recorder{};
  jpeg::installErrorManager(cinfo, errors);
  if (setjmp(errors.escape)) {
    jpeg_destroy_compress(&cinfo);
    return jpeg::messageCodeOf(errors);
  }
  jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
  jpeg::installDestination(cinfo, nowhere, nullptr);
  int rows = 0;
  for (int band = first; band < g.bandCount; band += step) rows += g.rowsIn(band);
  jpeg::setParameters(cinfo, image.width, rows, image.bitsPerPixel, quality);
  jpeg_start_compress(&cinfo, TRUE);
  cinfo.client_data = &recorder;
  cinfo.entropy->encode_mcu = recordMcu;

  for (int band = first; band < g.bandCount; band += step) {
    const JBLOCKROW slot = ring.claim(band);
    if (!slot) break;
    recorder = {slot, slot + g.blocksPerMcuRow() * static_cast<std::size_t>(g.mcuRowsIn(band))};
    // A row of MCUs is transformed as soon as its last row of pixels is in.
    for (int y = g.firstRowOf(band), end = y + g.rowsIn(band); y < end; ++y) {
      JSAMPROW row = const_cast<JSAMPROW>(image.top + static_cast<std::ptrdiff_t>(y) * image.stride);
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    if (recorder.next != recorder.end) jpeg::fail(&cinfo, JERR_BUFFER_SIZE);
    ring.publish(band);
  }
  jpeg_destroy_compress(&cinfo);
  return 0;
}

// The encoder's side: its coefficient controller hands the helpers' blocks of each row of MCUs to
// libjpeg's entropy encoder, which writes them as it would its own.
struct Encoding {
  BandRing* ring;
  const Geometry* g;
  int mcuRow;
};

boolean encodeMcuRow(j_compress_ptr cinfo, JSAMPIMAGE) {
  Encoding& encoding = *static_cast<Encoding*>(cinfo->client_data);
  const Geometry& g = *encoding.g;
  const int band = encoding.mcuRow / g.mcuRowsPerBand, rowInBand = encoding.mcuRow % g.mcuRowsPerBand;
  int failure = 0;
  JBLOCKROW next = encoding.ring->await(band, failure);
  if (!next) jpeg::fail(cinfo, failure);
  next += static_cast<std::size_t>(rowInBand) * g.blocksPerMcuRow();
  JBLOCKROW mcu[C_MAX_BLOCKS_IN_MCU];
  for (int m = 0; m < g.mcusPerRow; ++m) {
    for (int b = 0; b < g.blocksPerMcu; ++b) mcu[b] = next++;
    // The destination never suspends, so neither does the encoder.
    if (!(*cinfo->entropy->encode_mcu)(cinfo, mcu)) jpeg::fail(cinfo, JERR_CANT_SUSPEND);
  }
  if (rowInBand == g.mcuRowsIn(band) - 1) encoding.ring->consumed(band);
  ++encoding.mcuRow;
  return TRUE;
}

// The encoder's compression up to its first row: headers written, geometry known. Returns 0 or
// libjpeg's message code; the caller destroys the context either way.
int startEncoder(jpeg_compress_struct& cinfo, jpeg::ErrorManager& errors, jpeg::Destination& destination,
                 platform::Bytes& file, const PixelRows& image, int quality) {
  if (setjmp(errors.escape)) return jpeg::messageCodeOf(errors);
  jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
  jpeg::installDestination(cinfo, destination, &file);
  jpeg::setParameters(cinfo, image.width, image.height, image.bitsPerPixel, quality);
  // Rows of MCUs go in through jpeg_write_raw_data, whose data the controller below never reads:
  // no colour conversion or downsampling happens here.
  cinfo.raw_data_in = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  return 0;
}

// The rest of it, every row of MCUs from the helpers. Returns 0 or libjpeg's message code.
int runEncoder(jpeg_compress_struct& cinfo, jpeg::ErrorManager& errors, Encoding& encoding) {
  if (setjmp(errors.escape)) return jpeg::messageCodeOf(errors);
  cinfo.client_data = &encoding;
  cinfo.coef->compress_data = encodeMcuRow;
  JSAMPARRAY unread[MAX_COMPONENTS] = {};
  while (cinfo.next_scanline < cinfo.image_height)
    jpeg_write_raw_data(&cinfo, unread, static_cast<JDIMENSION>(encoding.g->mcuRowHeight));
  jpeg_finish_compress(&cinfo);
  return 0;
}

struct DestroyedAtEnd {
  jpeg_compress_struct& cinfo;
  ~DestroyedAtEnd() { jpeg_destroy_compress(&cinfo); }
};

} // namespace

JpegBands JpegBands::forThisComputer(int width) {
  constexpr long long pixelsPerBand = 128 * 1024;
  JpegBands bands;
  bands.mcuRowsPerBand = static_cast<int>(std::max(1LL, pixelsPerBand / (std::max(width, 1) * 16LL)));
  bands.helpers = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
  return bands;
}

platform::Bytes compressJpegInBands(const PixelRows& image, int quality, JpegBands bands) {
  if (image.bitsPerPixel != 24 && image.bitsPerPixel != 32) throw Error("Bitmap image is not valid");
  platform::Bytes file;
  if (image.width <= 0 || image.height <= 0) return file;
  file.reserve(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3 / 4 + 4096);

  jpeg_compress_struct cinfo{};
  jpeg::ErrorManager errors{};
  jpeg::Destination destination{};
  jpeg::installErrorManager(cinfo, errors);
  const DestroyedAtEnd destroyed{cinfo};
  if (const int code = startEncoder(cinfo, errors, destination, file, image, quality)) throw EJPEG(code);

  const Geometry g = geometryOf(cinfo, bands.mcuRowsPerBand);
  const int helperCount = std::clamp(bands.helpers, 1, g.bandCount);
  BandRing ring(g, 2 * helperCount);
  std::vector<std::thread> helpers;
  auto joinHelpers = [&] {
    ring.abandon(); // a helper may wait for a slot that nobody will free
    for (std::thread& helper : helpers) helper.join();
  };
  try {
    for (int first = 0; first < helperCount; ++first)
      helpers.emplace_back([&ring, &image, &g, quality, first, helperCount] {
        if (const int code = transformBands(ring, image, quality, g, first, helperCount)) ring.fail(code);
      });
  } catch (const std::system_error&) {
    joinHelpers();
    return compressJpegInOnePass(image, quality);
  }
  Encoding encoding{&ring, &g, 0};
  const int code = runEncoder(cinfo, errors, encoding);
  joinHelpers();
  if (code != 0) throw EJPEG(code);
  return file;
}

} // namespace glimor::imaging
