#pragma once
// WebM files made in the test: frames from libvpx's encoder in a document written
// element by element, so that each field can be made wrong on purpose.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <vpx/vp8cx.h>
#include <vpx/vpx_encoder.h>

namespace glimor::server::testing {

// `count` red frames, as the encoder writes them.
inline std::vector<std::string> vpxFrames(bool vp9, int width, int height, int count) {
  vpx_codec_iface_t* encoder = vp9 ? vpx_codec_vp9_cx() : vpx_codec_vp8_cx();
  vpx_codec_enc_cfg_t settings;
  vpx_codec_enc_config_default(encoder, &settings, 0);
  settings.g_w = unsigned(width), settings.g_h = unsigned(height), settings.g_lag_in_frames = 0;
  vpx_codec_ctx_t codec;
  vpx_codec_enc_init(&codec, encoder, &settings, 0);
  vpx_image_t* image = vpx_img_alloc(nullptr, VPX_IMG_FMT_I420, unsigned(width), unsigned(height), 1);
  std::vector<std::string> frames;
  for (int i = 0; i <= count; ++i) { // the last round flushes
    for (int plane = 0; plane < 3; ++plane)
      for (int y = 0; y < (plane ? (height + 1) / 2 : height); ++y)
        std::memset(image->planes[plane] + y * image->stride[plane],
                    plane ? (plane == 1 ? 90 : 240) : 81 + i % 2, plane ? (width + 1) / 2 : width);
    vpx_codec_encode(&codec, i < count ? image : nullptr, i, 1, 0, VPX_DL_REALTIME);
    vpx_codec_iter_t at = nullptr;
    while (const vpx_codec_cx_pkt_t* packet = vpx_codec_get_cx_data(&codec, &at))
      if (packet->kind == VPX_CODEC_CX_FRAME_PKT)
        frames.emplace_back(static_cast<const char*>(packet->data.frame.buf), packet->data.frame.sz);
  }
  vpx_img_free(image);
  vpx_codec_destroy(&codec);
  return frames;
}

// An EBML element: its id, its size in eight bytes, its data.
inline std::string element(std::string_view id, std::string_view data) {
  std::string out = std::string(id) + "\x01";
  for (int shift = 48; shift >= 0; shift -= 8) out += char(data.size() >> shift);
  return out + std::string(data);
}

inline std::string number(std::string_view id, std::uint64_t value) {
  std::string data;
  for (int shift = 56; shift >= 0; shift -= 8) data += char(value >> shift);
  return element(id, data);
}

struct WebmShape {
  std::string docType = "webm";
  std::vector<std::pair<std::string, int>> tracks{{"V_VP8", 1}}; // codec, type (1 video, 2 sound)
  double durationMs = -1;                                        // the Info's Duration; none when negative
  int frameMs = 100;                                             // between the frames
  std::uint64_t laterMs = 0; // when set, the frames after the first in a cluster of that time
};

// One segment of 64 x 48 frames, of track 1, in one cluster (or two).
inline std::string webmOf(const std::vector<std::string>& frames, const WebmShape& shape = {}) {
  std::string tracks, info = number("\x2a\xd7\xb1", 1'000'000), clusters, cluster = number("\xe7", 0);
  for (std::size_t i = 0; i < shape.tracks.size(); ++i)
    tracks += element("\xae", number("\xd7", i + 1) + number("\x83", shape.tracks[i].second) +
                                  element("\x86", shape.tracks[i].first) +
                                  element("\xe0", number("\xb0", 64) + number("\xba", 48)));
  if (shape.durationMs >= 0) info += number("\x44\x89", std::bit_cast<std::uint64_t>(shape.durationMs));
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (i == 1 && shape.laterMs > 0)
      clusters += element("\x1f\x43\xb6\x75", cluster), cluster = number("\xe7", shape.laterMs);
    const int at = int(i) * shape.frameMs;
    cluster +=
        element("\xa3", std::string("\x81") + char(at >> 8) + char(at) + char(i ? 0 : 0x80) + frames[i]);
  }
  return element("\x1a\x45\xdf\xa3", element("\x42\x82", shape.docType)) +
         element("\x18\x53\x80\x67", element("\x15\x49\xa9\x66", info) + element("\x16\x54\xae\x6b", tracks) +
                                         clusters + element("\x1f\x43\xb6\x75", cluster));
}

} // namespace glimor::server::testing
