#include "video_frames.h"
#include "refusal.h"

#include <algorithm>
#include <list>

#include <vpx/vp8dx.h>

namespace glimor::server {
namespace {

vpx_codec_iface_t* interfaceOf(VideoCodec codec) {
  return codec == VideoCodec::vp9 ? vpx_codec_vp9_dx() : vpx_codec_vp8_dx();
}

Refusal undecodable() {
  return Refusal(415, "WebM video with a frame that does not decode");
}

Refusal tooLarge(std::uint64_t pixels) {
  return Refusal(415, "Frame of more than " + std::to_string(pixels) + " pixels: too large");
}

std::uint8_t clamped(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// One row of a decoded frame, any of its 8-bit or deeper planar layouts, as
// red, green, blue: BT.709 where the stream says so, else BT.601, in studio
// or full range.
void rowToRgb(const vpx_image_t& image, unsigned y, std::vector<std::uint8_t>& rgb) {
  const bool deep = image.fmt & VPX_IMG_FMT_HIGHBITDEPTH;
  const int shift = deep ? int(image.bit_depth) - 8 : 0;
  auto sample = [&](int plane, unsigned x, unsigned row) {
    const unsigned char* line = image.planes[plane] + std::size_t(row) * image.stride[plane];
    return deep ? reinterpret_cast<const std::uint16_t*>(line)[x] >> shift : line[x];
  };
  const bool full = image.range == VPX_CR_FULL_RANGE, hd = image.cs == VPX_CS_BT_709;
  // 8.8 fixed point: luma scale, red from V, green from U and V, blue from U.
  const int ky = full ? 256 : 298, rv = full ? (hd ? 403 : 359) : (hd ? 459 : 409),
            gu = full ? (hd ? 48 : 88) : (hd ? 55 : 100), gv = full ? (hd ? 120 : 183) : (hd ? 136 : 208),
            bu = full ? (hd ? 475 : 454) : (hd ? 541 : 516), black = full ? 0 : 16;
  const unsigned cy = y >> image.y_chroma_shift;
  for (unsigned x = 0; x < image.d_w; ++x) {
    const int luma = ky * (int(sample(VPX_PLANE_Y, x, y)) - black) + 128;
    const unsigned cx = x >> image.x_chroma_shift;
    const int u = int(sample(VPX_PLANE_U, cx, cy)) - 128, v = int(sample(VPX_PLANE_V, cx, cy)) - 128;
    rgb[x * 3] = clamped((luma + rv * v) >> 8);
    rgb[x * 3 + 1] = clamped((luma - gu * u - gv * v) >> 8);
    rgb[x * 3 + 2] = clamped((luma + bu * u) >> 8);
  }
}

} // namespace

std::uint64_t maxFramePixels(const PixelLimits& limits) {
  return std::min(limits.maxPixels, maxVideoFramePixels);
}

// A frame buffer of at most 4:4:4 at 16 bits, with the decoder's borders
// around a frame of up to 65536 pixels a side, for a frame within the bound:
// a stream that asks for more is refused before anything is held for it.
struct VideoFrames::Buffers {
  explicit Buffers(std::uint64_t maxPixels) : maxBytes(6 * (maxPixels + 320 * 65536 + 65536)) {}

  static int get(void* self, std::size_t size, vpx_codec_frame_buffer_t* buffer) {
    Buffers& buffers = *static_cast<Buffers*>(self);
    if (size > buffers.maxBytes) {
      buffers.refused = true;
      return -1;
    }
    // A free one large enough, as the decoder's own pool does; new ones are zeroed,
    // and free ones too small are let go, so a stream of growing frames holds no more
    // buffers than the decoder uses at once.
    for (Held& held : buffers.held)
      if (!held.inUse && held.size >= size) return hand(held, buffer);
    buffers.held.remove_if([size](const Held& held) { return !held.inUse && held.size < size; });
    buffers.held.push_back({std::make_unique<std::uint8_t[]>(size), size, false});
    return hand(buffers.held.back(), buffer);
  }

  static int release(void*, vpx_codec_frame_buffer_t* buffer) {
    if (buffer->priv) static_cast<Held*>(buffer->priv)->inUse = false;
    return 0;
  }

  struct Held {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size;
    bool inUse;
  };
  static int hand(Held& held, vpx_codec_frame_buffer_t* buffer) {
    held.inUse = true;
    buffer->data = held.bytes.get(), buffer->size = held.size, buffer->priv = &held;
    return 0;
  }

  const std::uint64_t maxBytes;
  bool refused = false;
  std::list<Held> held; // a list: the decoder keeps pointers to its elements
};

VideoFrames::VideoFrames(VideoCodec codec, const PixelLimits& limits, ThumbnailMaker* thumbnail)
    : codec_(codec), limits_(limits), thumbnail_(thumbnail) {
  vpx_codec_dec_cfg_t settings{};
  settings.threads = 1; // on this thread, whose clock counts the decode
  if (vpx_codec_dec_init(&decoder_, interfaceOf(codec), &settings, 0) != VPX_CODEC_OK)
    throw Refusal(415, "WebM video that this service cannot decode");
  if (codec == VideoCodec::vp9) {
    buffers_ = std::make_unique<Buffers>(maxFramePixels(limits));
    vpx_codec_set_frame_buffer_functions(&decoder_, &Buffers::get, &Buffers::release, buffers_.get());
  }
}

VideoFrames::~VideoFrames() {
  vpx_codec_destroy(&decoder_);
}

void VideoFrames::checkSize(std::uint64_t width, std::uint64_t height) const {
  if (width * height > maxFramePixels(limits_)) throw tooLarge(maxFramePixels(limits_));
}

void VideoFrames::decode(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 0xffffffffu) throw undecodable();
  // A key frame states its size: a huge one is refused before it is decoded.
  vpx_codec_stream_info_t info{};
  info.sz = sizeof info;
  if (vpx_codec_peek_stream_info(interfaceOf(codec_), data, unsigned(size), &info) == VPX_CODEC_OK &&
      info.is_kf && info.w > 0 && info.h > 0) {
    checkSize(info.w, info.h);
    width_ = info.w, height_ = info.h;
  }
  if (vpx_codec_decode(&decoder_, data, unsigned(size), nullptr, 0) != VPX_CODEC_OK) {
    if (buffers_ && buffers_->refused) throw tooLarge(maxFramePixels(limits_));
    throw undecodable();
  }
  int corrupted = 0;
  if (vpx_codec_control(&decoder_, VP8D_GET_FRAME_CORRUPTED, &corrupted) == VPX_CODEC_OK && corrupted)
    throw undecodable();
  vpx_codec_iter_t at = nullptr;
  while (const vpx_image_t* image = vpx_codec_get_frame(&decoder_, &at)) {
    checkSize(image->d_w, image->d_h);
    width_ = image->d_w, height_ = image->d_h;
    if (thumbnail_ && !thumbnail_->started()) makeThumbnail(*image);
  }
  countFrame(count_, totalPixels_, width_ * height_, limits_);
  clock_.check();
}

void VideoFrames::makeThumbnail(const vpx_image_t& image) {
  const PictureSize size{int(image.d_w), int(image.d_h)};
  thumbnail_->start(size, size);
  std::vector<std::uint8_t> rgb(std::size_t(image.d_w) * 3);
  for (unsigned y = 0; y < image.d_h; ++y) {
    if (!thumbnail_->wantsRow(int(y))) continue;
    rowToRgb(image, y, rgb);
    thumbnail_->add(int(y), 0, 1, int(image.d_w), rgb.data());
  }
}

} // namespace glimor::server
