#pragma once
#include "image_check.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <vpx/vpx_decoder.h>

namespace glimor::server {

enum class VideoCodec { vp8, vp9 };

// A recording's decoder holds about ten whole frames (the references and the
// frames in work), where a picture's check holds a row: its frames are bounded
// by an 8K screen besides --max-pixels.
inline constexpr std::uint64_t maxVideoFramePixels = 7680 * 4320;
std::uint64_t maxFramePixels(const PixelLimits& limits);

// Decodes a VP8 or VP9 stream frame by frame on the calling thread, so the
// decode clock sees its cost: each frame's size is checked from its header
// where it has one, and the decoder's frame buffers are capped, so a frame too
// large is refused before its pixels are held. The first frame shown makes
// the thumbnail. Throws Refusal (415) with the reason for whatever is wrong.
class VideoFrames {
public:
  VideoFrames(VideoCodec codec, const PixelLimits& limits, ThumbnailMaker* thumbnail);
  ~VideoFrames();
  VideoFrames(const VideoFrames&) = delete;
  VideoFrames& operator=(const VideoFrames&) = delete;

  void decode(const std::uint8_t* data, std::size_t size);
  const Motion& count() const { return count_; }

private:
  struct Buffers; // the frame buffers a VP9 decoder gets from us, by size

  void checkSize(std::uint64_t width, std::uint64_t height) const;
  void makeThumbnail(const vpx_image_t& image);

  VideoCodec codec_;
  const PixelLimits& limits_;
  ThumbnailMaker* thumbnail_;
  vpx_codec_ctx_t decoder_{};
  std::unique_ptr<Buffers> buffers_;
  DecodeClock clock_;
  Motion count_;
  std::uint64_t totalPixels_ = 0, width_ = 0, height_ = 0;
};

} // namespace glimor::server
