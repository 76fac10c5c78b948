#include "image_check.h"
#include "refusal.h"
#include "video_frames.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include <webm/callback.h>
#include <webm/reader.h>
#include <webm/webm_parser.h>

// A WebM recording: one silent VP8 or VP9 video track, every frame decoded
// (video_frames.cpp), within the bounds of a recording. Whatever is wrong is
// refused with its own reason.
namespace glimor::server {
namespace {

Refusal refused(const std::string& why) {
  return Refusal(415, why);
}

Refusal incomplete() {
  return refused("Not a complete WebM video");
}

Refusal tooLong() {
  return refused("WebM video longer than " + std::to_string(maxRecordingTime.count()) + " s");
}

// Hands the parser the upload's bytes where they lie.
class BytesReader : public webm::Reader {
public:
  explicit BytesReader(std::string_view bytes) : bytes_(bytes) {}

  webm::Status Read(std::size_t count, std::uint8_t* buffer, std::uint64_t* read) override {
    const std::size_t length = std::min(count, left());
    std::memcpy(buffer, bytes_.data() + at_, length);
    at_ += length;
    *read = length;
    return status(length, count);
  }

  webm::Status Skip(std::uint64_t count, std::uint64_t* skipped) override {
    const std::uint64_t length = std::min<std::uint64_t>(count, left());
    at_ += length;
    *skipped = length;
    return status(length, count);
  }

  std::uint64_t Position() const override { return at_; }
  std::size_t left() const { return bytes_.size() - at_; }

private:
  static webm::Status status(std::uint64_t done, std::uint64_t asked) {
    if (done == asked) return webm::Status(webm::Status::kOkCompleted);
    return webm::Status(done > 0 ? webm::Status::kOkPartial : webm::Status::kEndOfFile);
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
};

class WebmCheck : public webm::Callback {
public:
  WebmCheck(const PixelLimits& limits, ThumbnailMaker* thumbnail, const BytesReader& reader)
      : limits_(limits), thumbnail_(thumbnail), reader_(reader) {}

  webm::Status OnEbml(const webm::ElementMetadata&, const webm::Ebml& ebml) override {
    if (++headers_ > 1) throw incomplete(); // a second document after the first
    if (ebml.doc_type.value() != "webm") throw refused("Not a WebM video: another kind of Matroska file");
    return ok();
  }

  webm::Status OnSegmentBegin(const webm::ElementMetadata&, webm::Action* action) override {
    if (++segments_ > 1) throw incomplete();
    *action = webm::Action::kRead;
    return ok();
  }

  webm::Status OnInfo(const webm::ElementMetadata&, const webm::Info& info) override {
    tickNs_ = double(info.timecode_scale.value());
    if (tickNs_ <= 0) throw incomplete(); // every time would be zero
    if (info.duration.is_present()) {
      declaredMs_ = info.duration.value() * tickNs_ / 1e6;
      if (!(declaredMs_ >= 0) || declaredMs_ > maxMs()) throw tooLong();
    }
    return ok();
  }

  webm::Status OnTrackEntry(const webm::ElementMetadata&, const webm::TrackEntry& track) override {
    if (++tracks_ > 1) throw refused("WebM of more than one track: a recording is one silent video");
    if (track.track_type.value() == webm::TrackType::kAudio)
      throw refused("WebM with a sound track: recordings are kept without sound");
    if (track.track_type.value() != webm::TrackType::kVideo) throw refused("WebM without a video track");
    const std::string& codec = track.codec_id.value();
    if (codec != "V_VP8" && codec != "V_VP9") throw refused("WebM video that is neither VP8 nor VP9");
    if (track.content_encodings.is_present()) throw refused("WebM video of compressed or encrypted frames");
    const webm::Video& video = track.video.value();
    const std::uint64_t most = maxFramePixels(limits_), width = video.pixel_width.value(),
                        height = video.pixel_height.value();
    if (width > most || height > most || width * height > most) // each side first: no product wraps
      throw refused("Frame of more than " + std::to_string(most) + " pixels: too large");
    trackNumber_ = track.track_number.value();
    if (track.default_duration.is_present()) frameMs_ = double(track.default_duration.value()) / 1e6;
    frames_.emplace(codec == "V_VP9" ? VideoCodec::vp9 : VideoCodec::vp8, limits_, thumbnail_);
    return ok();
  }

  webm::Status OnClusterBegin(const webm::ElementMetadata&, const webm::Cluster& cluster,
                              webm::Action* action) override {
    clusterTicks_ = cluster.timecode.value();
    *action = webm::Action::kRead;
    return ok();
  }

  webm::Status OnSimpleBlockBegin(const webm::ElementMetadata&, const webm::SimpleBlock& block,
                                  webm::Action* action) override {
    return blockBegins(block, action);
  }

  webm::Status OnBlockBegin(const webm::ElementMetadata&, const webm::Block& block,
                            webm::Action* action) override {
    return blockBegins(block, action);
  }

  webm::Status OnFrame(const webm::FrameMetadata&, webm::Reader* reader, std::uint64_t* remaining) override {
    if (*remaining > reader_.left()) throw incomplete(); // claims more bytes than there are
    frame_.resize(*remaining);
    std::size_t at = 0;
    while (*remaining > 0) {
      std::uint64_t read = 0;
      webm::Status status = reader->Read(*remaining, frame_.data() + at, &read);
      at += read, *remaining -= read;
      if (!status.completed_ok() && status.code != webm::Status::kOkPartial) return status;
    }
    frames_->decode(frame_.data(), frame_.size());
    return ok();
  }

  Motion motion() const {
    if (!frames_ || frames_->count().frames == 0) throw incomplete();
    double ms = declaredMs_;
    if (ms < 0) { // no duration given: the span of the frames, and one frame's time
      const double frames = double(frames_->count().frames);
      const double spanMs = (lastTicks_ - firstTicks_) * tickNs_ / 1e6;
      ms = spanMs + (frameMs_ > 0 ? frameMs_ : frames > 1 ? spanMs / (frames - 1) : 0);
    }
    return {frames_->count().frames, std::uint64_t(ms + 0.5)};
  }

private:
  static webm::Status ok() { return webm::Status(webm::Status::kOkCompleted); }
  static double maxMs() { return double(maxRecordingTime.count()) * 1000; }

  webm::Status blockBegins(const webm::Block& block, webm::Action* action) {
    if (!frames_) throw refused("WebM without a video track");
    if (block.track_number != trackNumber_) throw incomplete();  // a frame of no declared track
    const double ticks = double(clusterTicks_) + block.timecode; // far beyond any bound, never wrapping
    if (!anyBlock_) firstTicks_ = lastTicks_ = ticks, anyBlock_ = true;
    firstTicks_ = std::min(firstTicks_, ticks), lastTicks_ = std::max(lastTicks_, ticks);
    if ((lastTicks_ - firstTicks_) * tickNs_ / 1e6 > maxMs()) throw tooLong();
    *action = webm::Action::kRead;
    return ok();
  }

  const PixelLimits& limits_;
  ThumbnailMaker* thumbnail_;
  const BytesReader& reader_;
  int headers_ = 0, segments_ = 0, tracks_ = 0;
  std::uint64_t trackNumber_ = 0, clusterTicks_ = 0;
  double tickNs_ = 1e6, declaredMs_ = -1, frameMs_ = 0;
  bool anyBlock_ = false;
  double firstTicks_ = 0, lastTicks_ = 0;
  std::optional<VideoFrames> frames_;
  std::vector<std::uint8_t> frame_;
};

} // namespace

// The whole document must parse, to its last byte, as one EBML header and one
// segment; a cut anywhere, even at a cluster's end, leaves the segment short of
// its stated size.
bool isCompleteWebm(std::string_view bytes, const PixelLimits& limits, ThumbnailMaker* thumbnail,
                    Motion* motion) {
  BytesReader reader(bytes);
  WebmCheck check(limits, thumbnail, reader);
  webm::WebmParser parser;
  if (!parser.Feed(&check, &reader).completed_ok() || reader.left() > 0) throw incomplete();
  const Motion found = check.motion();
  if (found.durationMs > std::uint64_t(maxRecordingTime.count()) * 1000) throw tooLong();
  if (motion) *motion = found;
  return true;
}

} // namespace glimor::server
