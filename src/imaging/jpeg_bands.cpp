#include "imaging/jpeg_bands.h"

#include "imaging/helper_threads.h"
#include "imaging/jpeg_context.h"

#include <jerror.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
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

// The bands between those who make them and the encoder that takes them in order: a ring of
// slots, band b in slot b % slots, filled again only once the encoder is done with it and nobody
// writes it. Bands are claimed in order by whoever comes first. The encoder never waits for a
// helper, which may get no core for a while on a busy computer: it makes the band it needs
// itself when nobody has claimed it, else the next unclaimed band while the helper finishes, and
// when none is left to claim it makes the helper's band over again aside. Atomics alone keep the
// ring: under Wine a lock that is contended, or a thread that is woken, costs a round trip to the
// Wine server, which on a busy computer takes longer than a band.
class BandRing {
public:
  BandRing(const Geometry& g, int slots)
      : slots_(slots), bandCount_(g.bandCount),
        slotBlocks_(g.blocksPerMcuRow() * static_cast<std::size_t>(g.mcuRowsPerBand)),
        blocks_(new JBLOCK[slotBlocks_ * static_cast<std::size_t>(slots + 1)]),
        readyBand_(std::make_unique<std::atomic<int>[]>(static_cast<std::size_t>(slots))),
        writtenBand_(std::make_unique<std::atomic<int>[]>(static_cast<std::size_t>(slots))) {
    for (int i = 0; i < slots; ++i) readyBand_[i] = writtenBand_[i] = -1;
  }

  JBLOCKROW slotOf(int band) const { return blocks_.get() + slotIndex(band) * slotBlocks_; }
  // Where the encoder makes a band that a helper holds.
  JBLOCKROW aside() const { return blocks_.get() + static_cast<std::size_t>(slots_) * slotBlocks_; }

  // A helper's next band, once its slot is free; -1 when none is left or the work was abandoned.
  // A helper has nothing else to do meanwhile, so it gives its core away and asks again.
  int claimNext() noexcept {
    for (;;) {
      if (abandoned_ || failure_ != 0 || next_ >= bandCount_) return -1;
      if (const int band = tryClaim(); band >= 0) return band;
      std::this_thread::yield();
    }
  }

  struct Step {
    enum { Ready, Make, MakeAside, Failed } what;
    int band; // for Make: the band to make in its slot, the one needed or one after it
    int failure;
  };
  // What the encoder does next towards the band it needs.
  Step next(int needed) noexcept {
    if (const int failure = failure_; failure != 0) return {Step::Failed, needed, failure};
    if (readyBand_[slotIndex(needed)] == needed) return {Step::Ready, needed, 0};
    if (const int band = tryClaim(); band >= 0) return {Step::Make, band, 0};
    return {Step::MakeAside, needed, 0}; // a helper holds it, and nothing else can be made
  }

  void publish(int band) noexcept {
    writtenBand_[slotIndex(band)] = -1;
    readyBand_[slotIndex(band)] = band;
  }
  void consumed(int band) noexcept {
    consumed_ = band + 1;
    // A band made aside is nobody's to claim any more.
    for (int next = next_; next < consumed_ && !next_.compare_exchange_weak(next, consumed_);) {
    }
  }
  void fail(int code) noexcept {
    int none = 0;
    failure_.compare_exchange_strong(none, code);
  }
  // Lets every helper go: nothing more will be consumed.
  void abandon() noexcept { abandoned_ = true; }

private:
  std::size_t slotIndex(int band) const { return static_cast<std::size_t>(band % slots_); }
  // The next band when its slot is free; only the claim of that same band can come between the
  // look and the claim, and it makes this one fail.
  int tryClaim() noexcept {
    int band = next_;
    if (band >= bandCount_ || band - consumed_ >= slots_ || writtenBand_[slotIndex(band)] >= 0) return -1;
    if (!next_.compare_exchange_strong(band, band + 1)) return -1;
    writtenBand_[slotIndex(band)] = band;
    return band;
  }

  const int slots_, bandCount_;
  const std::size_t slotBlocks_;
  const std::unique_ptr<JBLOCK[]> blocks_;                // the slots, then the encoder's aside
  const std::unique_ptr<std::atomic<int>[]> readyBand_;   // per slot, the band it holds once made
  const std::unique_ptr<std::atomic<int>[]> writtenBand_; // per slot, the band being made in it
  std::atomic<int> next_{0}, consumed_{0}, failure_{0};
  std::atomic<bool> abandoned_{false};
};

// What the helpers and the encoder share.
struct Work {
  const PixelRows& image;
  int quality;
  const Geometry& g;
  BandRing& ring;
};

// A transforming compression's entropy encoder: each MCU's blocks are kept, in order.
struct Recorder {
  JBLOCKROW next, end;
};

boolean recordMcu(j_compress_ptr cinfo, JBLOCKROW* mcu) {
  Recorder& recorder = *static_cast<Recorder*>(cinfo->client_data);
  if (recorder.end - recorder.next < cinfo->blocks_in_MCU) jpeg::fail(cinfo, JERR_BUFFER_SIZE);
  for (int b = 0; b < cinfo->blocks_in_MCU; ++b) std::memcpy(*recorder.next++, *mcu[b], sizeof(JBLOCK));
  return TRUE;
}

// A compression that only transforms bands, one below the other in an image of its own. Each band
// but the last fills whole rows of MCUs, so one Transformer takes any of those, in an image as high
// as all of them, and its blocks are those of the whole image; the last band has a Transformer of
// its own, whose image ends as the whole image does. Trivially destructible: it lives across
// longjmp; jpeg_destroy_compress ends it, made or not.
struct Transformer {
  jpeg_compress_struct cinfo;
  jpeg::ErrorManager errors;
  jpeg::Destination nowhere; // the headers it writes are not needed
  Recorder recorder;
  bool started;
};

// Transforms `band` into `blocks`. Returns 0 or libjpeg's message code.
int transformBand(Transformer& t, const Work& work, int band, JBLOCKROW blocks) {
  const Geometry& g = work.g;
  if (setjmp(t.errors.escape)) return jpeg::messageCodeOf(t.errors);
  if (!t.started) {
    t.started = true;
    jpeg::installErrorManager(t.cinfo, t.errors);
    jpeg_CreateCompress(&t.cinfo, JPEG_LIB_VERSION, sizeof t.cinfo);
    jpeg::installDestination(t.cinfo, t.nowhere, nullptr);
    const bool last = band == g.bandCount - 1;
    const int height = last ? g.rowsIn(band) : g.firstRowOf(g.bandCount - 1);
    jpeg::setParameters(t.cinfo, work.image.width, height, work.image.bitsPerPixel, work.quality);
    jpeg_start_compress(&t.cinfo, TRUE);
    t.cinfo.client_data = &t.recorder;
    t.cinfo.entropy->encode_mcu = recordMcu;
  }
  t.recorder = {blocks, blocks + g.blocksPerMcuRow() * static_cast<std::size_t>(g.mcuRowsIn(band))};
  // A row of MCUs is transformed as soon as its last row of pixels is in.
  for (int y = g.firstRowOf(band), end = y + g.rowsIn(band); y < end; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(work.image.top + static_cast<std::ptrdiff_t>(y) * work.image.stride);
    jpeg_write_scanlines(&t.cinfo, &row, 1);
  }
  if (t.recorder.next != t.recorder.end) jpeg::fail(&t.cinfo, JERR_BUFFER_SIZE);
  return 0;
}

// Transformers for the bands before the last and for the last.
struct Transformers {
  Transformer before[1], last[1];
  Transformer& forBand(int band, const Geometry& g) { return band == g.bandCount - 1 ? last[0] : before[0]; }
  void destroy() {
    jpeg_destroy_compress(&before[0].cinfo);
    jpeg_destroy_compress(&last[0].cinfo);
  }
};

void help(const Work& work) {
  Transformers own{};
  for (int band; (band = work.ring.claimNext()) >= 0;) {
    if (const int code = transformBand(own.forBand(band, work.g), work, band, work.ring.slotOf(band))) {
      work.ring.fail(code);
      break;
    }
    work.ring.publish(band);
  }
  own.destroy();
}

// The encoder's side: its coefficient controller hands each row of MCUs' blocks to libjpeg's
// entropy encoder, which writes them as it would its own.
struct Encoding {
  const Work& work;
  Transformers own; // for the bands the encoder makes itself
  int mcuRow;
  JBLOCKROW blocks; // of the band of mcuRow
};

// The blocks of `band` for the encoder, made by a helper or by itself.
JBLOCKROW blocksFor(j_compress_ptr cinfo, Encoding& encoding, int band) {
  const Work& work = encoding.work;
  for (;;) {
    const BandRing::Step step = work.ring.next(band);
    switch (step.what) {
    case BandRing::Step::Ready:
      return work.ring.slotOf(band);
    case BandRing::Step::Make:
      if (const int code = transformBand(encoding.own.forBand(step.band, work.g), work, step.band,
                                         work.ring.slotOf(step.band)))
        jpeg::fail(cinfo, code);
      work.ring.publish(step.band);
      break;
    case BandRing::Step::MakeAside:
      if (const int code = transformBand(encoding.own.forBand(band, work.g), work, band, work.ring.aside()))
        jpeg::fail(cinfo, code);
      return work.ring.aside();
    case BandRing::Step::Failed:
      jpeg::fail(cinfo, step.failure);
    }
  }
}

boolean encodeMcuRow(j_compress_ptr cinfo, JSAMPIMAGE) {
  Encoding& encoding = *static_cast<Encoding*>(cinfo->client_data);
  const Geometry& g = encoding.work.g;
  const int band = encoding.mcuRow / g.mcuRowsPerBand, rowInBand = encoding.mcuRow % g.mcuRowsPerBand;
  if (rowInBand == 0) encoding.blocks = blocksFor(cinfo, encoding, band);
  JBLOCKROW next = encoding.blocks + static_cast<std::size_t>(rowInBand) * g.blocksPerMcuRow();
  JBLOCKROW mcu[C_MAX_BLOCKS_IN_MCU];
  for (int m = 0; m < g.mcusPerRow; ++m) {
    for (int b = 0; b < g.blocksPerMcu; ++b) mcu[b] = next++;
    // The destination never suspends, so neither does the encoder.
    if (!(*cinfo->entropy->encode_mcu)(cinfo, mcu)) jpeg::fail(cinfo, JERR_CANT_SUSPEND);
  }
  if (rowInBand == g.mcuRowsIn(band) - 1) encoding.work.ring.consumed(band);
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
    jpeg_write_raw_data(&cinfo, unread, static_cast<JDIMENSION>(encoding.work.g.mcuRowHeight));
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
  bands.helpers = HelperThreads::shared().count();
  return bands;
}

platform::Bytes compressJpegInBands(const PixelRows& image, int quality, JpegBands bands) {
  if (image.bitsPerPixel != 24 && image.bitsPerPixel != 32) throw Error("Bitmap image is not valid");
  platform::Bytes file;
  if (image.width <= 0 || image.height <= 0) return file;
  file.reserve(jpeg::expectedFileSize(image));

  jpeg_compress_struct cinfo{};
  jpeg::ErrorManager errors{};
  jpeg::Destination destination{};
  jpeg::installErrorManager(cinfo, errors);
  const DestroyedAtEnd destroyed{cinfo};
  if (const int code = startEncoder(cinfo, errors, destination, file, image, quality)) throw EJPEG(code);

  const Geometry g = geometryOf(cinfo, bands.mcuRowsPerBand);
  const int wanted = std::clamp(bands.helpers, 0, g.bandCount - 1);
  BandRing ring(g, 2 * wanted + 1);
  const Work work{image, quality, g, ring};
  // Helpers that are busy elsewhere, or come late, leave their bands to the encoder.
  HelperThreads& helpers = HelperThreads::shared();
  const bool lent = wanted > 0 && helpers.lend(wanted, [&work] { help(work); });
  Encoding encoding{work, {}, 0, nullptr};
  const int code = runEncoder(cinfo, errors, encoding);
  ring.abandon(); // a helper may wait for a slot that nobody will free
  if (lent) helpers.takeBack();
  encoding.own.destroy();
  if (code != 0) throw EJPEG(code);
  return file;
}

} // namespace glimor::imaging
