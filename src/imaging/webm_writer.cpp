#include "imaging/webm_writer.h"

#include "imaging/animation_frames.h"

#include "imaging/gif_encoder.h"
#include "imaging/yuv420.h"

#include <mkvmuxer/mkvmuxer.h>
#include <vpx/vp8cx.h>
#include <vpx/vpx_encoder.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace glimor::imaging {
namespace {

constexpr std::uint64_t nanosecondsPerMs = 1000000;

// Screen content at realtime speed: constant quality (text stays sharp however much
// changes), no lag, one keyframe at the start. On recorded browsing (typing, then
// scrolling) level 41 with the sharpest loop filter plays back near 38.5 dB.
constexpr int qualityLevel = 41; // cq-level, 0..63: lower is better
constexpr int sharpness = 7;     // 0..7: the loop filter spares edges such as glyphs
constexpr int keyframeDistance = 100000;

// cpu-used in realtime mode. Speed 5 finds scrolled content far better than the faster ones:
// a page scrolled at 1920x1080 costs a third fewer bytes than at 8, at about 35 ms a frame
// (95th percentile, one core; 27 ms at 1280x720). Where a whole 1920x1080 screen changes
// every frame it takes about 95 ms, and speed 8 about 55: the hurried speed, for while frames
// wait behind the one being encoded.
constexpr int calmSpeed = 5;
constexpr int hurriedSpeed = 8;

// Frames after the keyframe neither refresh the golden nor the alternate reference: the
// keyframe stays a sharp reference for what comes back into view, and the encoder's
// periodic golden refreshes cost a tenth of a recorded browsing session for no quality.
constexpr vpx_enc_frame_flags_t interFrameFlags = VP8_EFLAG_NO_UPD_GF | VP8_EFLAG_NO_UPD_ARF;

Yuv420Planes planesOf(vpx_image_t& image) {
  return {image.planes[VPX_PLANE_Y], image.planes[VPX_PLANE_U], image.planes[VPX_PLANE_V],
          image.stride[VPX_PLANE_Y], image.stride[VPX_PLANE_U], image.stride[VPX_PLANE_V]};
}

// Both images have the same size and strides; the padding at the rows' ends is not compared.
bool samePicture(const vpx_image_t& a, const vpx_image_t& b) {
  for (int plane : {VPX_PLANE_Y, VPX_PLANE_U, VPX_PLANE_V}) {
    const int shift = plane == VPX_PLANE_Y ? 0 : 1;
    const std::size_t width = (a.d_w + shift) >> shift;
    const unsigned rows = (a.d_h + shift) >> shift;
    for (unsigned row = 0; row < rows; ++row) {
      const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(row) * a.stride[plane];
      if (std::memcmp(a.planes[plane] + at, b.planes[plane] + at, width) != 0) return false;
    }
  }
  return true;
}

// The muxer's output: a growing buffer it may seek back into.
class MemoryWriter final : public mkvmuxer::IMkvWriter {
public:
  mkvmuxer::int32 Write(const void* buf, mkvmuxer::uint32 len) override {
    const auto* bytes = static_cast<const std::uint8_t*>(buf);
    const std::size_t end = position + len;
    if (end > data.size()) data.resize(end);
    std::copy(bytes, bytes + len, data.begin() + static_cast<std::ptrdiff_t>(position));
    position = end;
    return 0;
  }
  mkvmuxer::int64 Position() const override { return static_cast<mkvmuxer::int64>(position); }
  mkvmuxer::int32 Position(mkvmuxer::int64 to) override {
    if (to < 0 || static_cast<std::uint64_t>(to) > data.size()) return -1;
    position = static_cast<std::size_t>(to);
    return 0;
  }
  bool Seekable() const override { return true; }
  void ElementStartNotify(mkvmuxer::uint64, mkvmuxer::int64) override {}

  platform::Bytes data;
  std::size_t position = 0;
};

} // namespace

struct WebmWriter::Encoder {
  vpx_codec_ctx_t codec{};
  bool codecOpen = false;
  // The picture still growing by merges, and the one that came after it, in Y'CbCr 4:2:0:
  // two of these take less than one frame of 0x00RRGGBB colours.
  vpx_image_t pending{}, incoming{};
  MemoryWriter output;
  mkvmuxer::Segment segment;
  std::uint64_t track = 0;
  bool keyframeWritten = false;
  int speed = calmSpeed; // cpu-used now

  Encoder(int width, int height) {
    try {
      start(width, height);
    } catch (...) {
      release(); // a constructor that throws runs no destructor
      throw;
    }
  }
  ~Encoder() { release(); }

  void start(int width, int height) {
    vpx_codec_iface_t* const iface = vpx_codec_vp9_cx();
    vpx_codec_enc_cfg_t config;
    if (vpx_codec_enc_config_default(iface, &config, 0) != VPX_CODEC_OK) fail();
    config.g_w = static_cast<unsigned>(width);
    config.g_h = static_cast<unsigned>(height);
    config.g_timebase = {1, 1000}; // timestamps in milliseconds
    config.g_threads = 1;
    config.g_lag_in_frames = 0;
    config.g_pass = VPX_RC_ONE_PASS;
    config.g_error_resilient = 0;
    config.rc_end_usage = VPX_Q;
    config.rc_min_quantizer = 0;
    config.rc_max_quantizer = 63;
    config.rc_dropframe_thresh = 0;
    config.kf_mode = VPX_KF_AUTO;
    config.kf_min_dist = 0;
    config.kf_max_dist = keyframeDistance;
    if (vpx_codec_enc_init(&codec, iface, &config, 0) != VPX_CODEC_OK) fail();
    codecOpen = true;
    // One tile column: motion vectors are not predicted across tile columns, and scrolled
    // pages take a tenth fewer bytes when the whole width shares them.
    if (vpx_codec_control(&codec, VP8E_SET_CPUUSED, speed) != VPX_CODEC_OK ||
        vpx_codec_control(&codec, VP8E_SET_CQ_LEVEL, qualityLevel) != VPX_CODEC_OK ||
        vpx_codec_control(&codec, VP8E_SET_SHARPNESS, sharpness) != VPX_CODEC_OK ||
        vpx_codec_control(&codec, VP9E_SET_TILE_COLUMNS, 0) != VPX_CODEC_OK ||
        vpx_codec_control(&codec, VP9E_SET_TUNE_CONTENT, VP9E_CONTENT_SCREEN) != VPX_CODEC_OK ||
        vpx_codec_control(&codec, VP9E_SET_AQ_MODE, 0) != VPX_CODEC_OK ||
        vpx_codec_control(&codec, VP9E_SET_COLOR_SPACE, VPX_CS_BT_709) != VPX_CODEC_OK ||
        vpx_codec_control(&codec, VP9E_SET_COLOR_RANGE, VPX_CR_STUDIO_RANGE) != VPX_CODEC_OK)
      fail();
    for (vpx_image_t* image : {&pending, &incoming})
      if (!vpx_img_alloc(image, VPX_IMG_FMT_I420, static_cast<unsigned>(width), static_cast<unsigned>(height),
                         16))
        fail();

    if (!segment.Init(&output)) fail();
    segment.set_mode(mkvmuxer::Segment::kFile);
    segment.OutputCues(true);
    segment.GetSegmentInfo()->set_writing_app("Glimor");
    track = segment.AddVideoTrack(width, height, 0);
    auto* video = static_cast<mkvmuxer::VideoTrack*>(segment.GetTrackByNumber(track));
    if (!track || !video) fail();
    video->set_codec_id(mkvmuxer::Tracks::kVp9CodecId);
    mkvmuxer::Colour colour;
    colour.set_matrix_coefficients(mkvmuxer::Colour::kBt709);
    colour.set_range(mkvmuxer::Colour::kBroadcastRange);
    colour.set_transfer_characteristics(mkvmuxer::Colour::kIec6196621);
    colour.set_primaries(mkvmuxer::Colour::kIturBt709P);
    colour.set_chroma_subsampling_horz(1);
    colour.set_chroma_subsampling_vert(1);
    colour.set_chroma_siting_horz(mkvmuxer::Colour::kHalfCsh);
    colour.set_chroma_siting_vert(mkvmuxer::Colour::kHalfCsv);
    colour.set_bits_per_channel(8);
    if (!video->SetColour(colour) || !segment.CuesTrack(track)) fail();
  }

  void release() {
    for (vpx_image_t* image : {&pending, &incoming}) {
      vpx_img_free(image); // nothing for an image never allocated
      *image = {};
    }
    if (codecOpen) vpx_codec_destroy(&codec);
    codecOpen = false;
  }

  [[noreturn]] static void fail() { throw EInvalidGraphicOperation("The video encoder could not start"); }

  // Encodes `img` (null: flush) shown from `startMs` for `durationMs`, after the keyframe at the
  // hurried speed if asked; the last frame carries its duration so that players show it for as long.
  void encode(const vpx_image_t* img, std::int64_t startMs, std::int64_t durationMs, bool last,
              bool hurried) {
    const int wanted = keyframeWritten && hurried ? hurriedSpeed : calmSpeed;
    if (wanted != speed) {
      if (vpx_codec_control(&codec, VP8E_SET_CPUUSED, wanted) != VPX_CODEC_OK)
        throw EInvalidGraphicOperation("The video encoder could not be set up");
      speed = wanted;
    }
    if (vpx_codec_encode(&codec, img, startMs,
                         static_cast<unsigned long>(std::max<std::int64_t>(durationMs, 1)),
                         keyframeWritten ? interFrameFlags : 0, VPX_DL_REALTIME) != VPX_CODEC_OK)
      throw EInvalidGraphicOperation("The video frame could not be encoded");
    vpx_codec_iter_t iter = nullptr;
    while (const vpx_codec_cx_pkt_t* packet = vpx_codec_get_cx_data(&codec, &iter)) {
      if (packet->kind != VPX_CODEC_CX_FRAME_PKT) continue;
      mkvmuxer::Frame frame;
      if (!frame.Init(static_cast<const std::uint8_t*>(packet->data.frame.buf), packet->data.frame.sz))
        throw EInvalidGraphicOperation("The video frame could not be written");
      frame.set_track_number(track);
      frame.set_timestamp(static_cast<std::uint64_t>(packet->data.frame.pts) * nanosecondsPerMs);
      frame.set_is_key((packet->data.frame.flags & VPX_FRAME_IS_KEY) != 0);
      keyframeWritten = true;
      if (last) frame.set_duration(static_cast<std::uint64_t>(durationMs) * nanosecondsPerMs);
      if (!segment.AddGenericFrame(&frame))
        throw EInvalidGraphicOperation("The video frame could not be written");
    }
  }
};

WebmWriter::Sink WebmWriter::appendTo(platform::Bytes& out) {
  return [&out](std::span<const std::uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); };
}

WebmWriter::WebmWriter(int width, int height, Sink sink)
    : width_(width), height_(height), sink(std::move(sink)) {
  checkAnimationSize(width, height, largestSide, largestArea, static_cast<bool>(this->sink));
  encoder = std::make_unique<Encoder>(width, height);
}

WebmWriter::~WebmWriter() = default;

void WebmWriter::checkUsable() const {
  if (finished) throw EInvalidGraphicOperation("The animation is finished");
  if (failed) throw EInvalidGraphicOperation("The animation could not be written");
}

void WebmWriter::addFrame(const std::uint32_t* pixels, int delayMs) {
  checkUsable();
  if (!pixels) throw EInvalidGraphic("No frame pixels to write");
  if (delayMs < 0) throw EInvalidGraphic("Frame delay is not valid");
  vpx_image_t& incoming = encoder->incoming;
  rgbToYuv420Bt709(pixels, width_, height_, planesOf(incoming));
  if (hasPending) {
    if (samePicture(incoming, encoder->pending)) {
      pendingMs += delayMs;
      return;
    }
    // A frame never shown is left out rather than given a zero duration.
    if (pendingMs > 0) encodePending(false);
  }
  std::swap(encoder->pending, incoming);
  pendingMs = delayMs;
  hasPending = true;
}

void WebmWriter::setHurried(bool framesWait) {
  hurried = framesWait;
}

void WebmWriter::lengthenLast(int ms) {
  checkUsable();
  if (ms < 0) throw EInvalidGraphic("Frame delay is not valid");
  if (!hasPending) throw EInvalidGraphicOperation("No frame to lengthen");
  pendingMs += ms;
}

void WebmWriter::finish() {
  checkUsable();
  if (!hasPending) throw EInvalidGraphicOperation("No video data to write");
  encodePending(true);
  try {
    // Flushes the encoder (nothing is held back without lag, but an encoder may).
    encoder->encode(nullptr, encodedMs, 0, true, hurried);
    encoder->segment.set_duration(static_cast<double>(encodedMs));
    if (!encoder->segment.Finalize()) throw EInvalidGraphicOperation("The video could not be written");
  } catch (...) {
    failed = true;
    throw;
  }
  finished = true;
  const platform::Bytes file = std::move(encoder->output.data);
  encoder.reset();
  try {
    sink(file);
  } catch (...) {
    failed = true;
    throw;
  }
}

void WebmWriter::encodePending(bool last) {
  try {
    encoder->encode(&encoder->pending, encodedMs, pendingMs, last, hurried);
  } catch (...) {
    failed = true;
    throw;
  }
  encodedMs += pendingMs;
}

} // namespace glimor::imaging
