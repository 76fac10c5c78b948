#pragma once
// Plays a WebM file back through libwebm's parser and libvpx's VP9 decoder (native
// builds only): each frame's start, and its pixels as 0x00RRGGBB after the inverse of
// limited-range BT.709.
#include "platform/files.h"

#include <mkvparser/mkvparser.h>
#include <vpx/vp8dx.h>
#include <vpx/vpx_decoder.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace glimor::testing {

struct WebmPlayback {
  int width = 0, height = 0;
  std::string codec;
  double durationMs = 0;
  std::uint64_t matrix = 0, range = 0; // the track's Colour element
  int cues = 0;
  std::vector<std::int64_t> startsMs;
  std::vector<bool> keyframes;
  std::int64_t lastFrameDurationMs = -1; // from its block group, -1 without one
};

// Calls `onFrame(index, pixels)` for each decoded frame; throws std::runtime_error on any
// parse or decode failure.
inline WebmPlayback
playWebm(const platform::Bytes& file,
         const std::function<void(int, const std::vector<std::uint32_t>&)>& onFrame = {}) {
  struct Reader : mkvparser::IMkvReader {
    const platform::Bytes& bytes;
    explicit Reader(const platform::Bytes& b) : bytes(b) {}
    int Read(long long pos, long len, unsigned char* buf) override {
      if (pos < 0 || len < 0 || static_cast<std::size_t>(pos + len) > bytes.size()) return -1;
      std::memcpy(buf, bytes.data() + pos, static_cast<std::size_t>(len));
      return 0;
    }
    int Length(long long* total, long long* available) override {
      if (total) *total = static_cast<long long>(bytes.size());
      if (available) *available = static_cast<long long>(bytes.size());
      return 0;
    }
  } reader(file);
  auto check = [](bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
  };
  long long pos = 0;
  mkvparser::EBMLHeader header;
  check(header.Parse(&reader, pos) >= 0 && std::string(header.m_docType) == "webm", "not a WebM header");
  mkvparser::Segment* raw = nullptr;
  check(mkvparser::Segment::CreateInstance(&reader, pos, raw) == 0, "no segment");
  std::unique_ptr<mkvparser::Segment> segment(raw);
  check(segment->Load() >= 0, "segment does not load");
  WebmPlayback result;
  result.durationMs = static_cast<double>(segment->GetInfo()->GetDuration()) / 1e6;
  const mkvparser::Tracks* tracks = segment->GetTracks();
  check(tracks && tracks->GetTracksCount() == 1, "not one track");
  const auto* video = static_cast<const mkvparser::VideoTrack*>(tracks->GetTrackByIndex(0));
  check(video && video->GetType() == mkvparser::Track::kVideo, "not a video track");
  result.width = static_cast<int>(video->GetWidth());
  result.height = static_cast<int>(video->GetHeight());
  result.codec = video->GetCodecId();
  if (const mkvparser::Colour* colour = video->GetColour()) {
    result.matrix = static_cast<std::uint64_t>(colour->matrix_coefficients);
    result.range = static_cast<std::uint64_t>(colour->range);
  }
  if (const mkvparser::Cues* cues = segment->GetCues()) {
    while (!cues->DoneParsing()) cues->LoadCuePoint();
    result.cues = static_cast<int>(cues->GetCount());
  }

  vpx_codec_ctx_t decoder;
  check(vpx_codec_dec_init(&decoder, result.codec == "V_VP8" ? vpx_codec_vp8_dx() : vpx_codec_vp9_dx(),
                           nullptr, 0) == VPX_CODEC_OK,
        "decoder does not start");
  std::unique_ptr<vpx_codec_ctx_t, void (*)(vpx_codec_ctx_t*)> closer(
      &decoder, [](vpx_codec_ctx_t* d) { vpx_codec_destroy(d); });
  std::vector<unsigned char> data;
  std::vector<std::uint32_t> pixels;
  for (const mkvparser::Cluster* cluster = segment->GetFirst(); cluster && !cluster->EOS();
       cluster = segment->GetNext(cluster)) {
    const mkvparser::BlockEntry* entry = nullptr;
    check(cluster->GetFirst(entry) >= 0, "cluster does not load");
    for (; entry && !entry->EOS(); cluster->GetNext(entry, entry)) {
      const mkvparser::Block* block = entry->GetBlock();
      check(block->GetFrameCount() == 1, "laced block");
      const mkvparser::Block::Frame& frame = block->GetFrame(0);
      data.resize(static_cast<std::size_t>(frame.len));
      check(frame.Read(&reader, data.data()) == 0, "frame does not read");
      result.startsMs.push_back(block->GetTime(cluster) / 1000000);
      result.keyframes.push_back(block->IsKey());
      if (entry->GetKind() == mkvparser::BlockEntry::kBlockGroup)
        result.lastFrameDurationMs = static_cast<const mkvparser::BlockGroup*>(entry)->GetDurationTimeCode() *
                                     static_cast<std::int64_t>(segment->GetInfo()->GetTimeCodeScale()) /
                                     1000000;
      else
        result.lastFrameDurationMs = -1;
      check(vpx_codec_decode(&decoder, data.data(), static_cast<unsigned>(data.size()), nullptr, 0) ==
                VPX_CODEC_OK,
            "frame does not decode");
      vpx_codec_iter_t iter = nullptr;
      const vpx_image_t* image = vpx_codec_get_frame(&decoder, &iter);
      check(image && image->fmt == VPX_IMG_FMT_I420 && static_cast<int>(image->d_w) == result.width &&
                static_cast<int>(image->d_h) == result.height,
            "no I420 picture of the track's size");
      if (!onFrame) continue;
      pixels.resize(static_cast<std::size_t>(result.width) * result.height);
      for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x) {
          const double luma = (image->planes[0][y * image->stride[0] + x] - 16) / 219.0;
          const double cb = (image->planes[1][y / 2 * image->stride[1] + x / 2] - 128) / 224.0;
          const double cr = (image->planes[2][y / 2 * image->stride[2] + x / 2] - 128) / 224.0;
          const double r = luma + 1.5748 * cr, b = luma + 1.8556 * cb;
          const double g = (luma - 0.2126 * r - 0.0722 * b) / 0.7152;
          auto byte = [](double v) {
            return static_cast<std::uint32_t>(std::clamp(std::lround(v * 255), 0l, 255l));
          };
          pixels[static_cast<std::size_t>(y) * result.width + x] = byte(r) << 16 | byte(g) << 8 | byte(b);
        }
      onFrame(static_cast<int>(result.startsMs.size()) - 1, pixels);
    }
  }
  return result;
}

// Sum of squared errors over the red, green and blue channels, and the PSNR of a total.
inline double squaredError(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    for (int shift = 0; shift <= 16; shift += 8) {
      const int d = static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
      sum += d * d;
    }
  return sum;
}
inline double psnr(double squaredErrors, double samples) {
  return squaredErrors == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * samples / squaredErrors);
}

} // namespace glimor::testing
