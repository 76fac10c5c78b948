#include "imaging/gif_animation.h"
#include "imaging/webm_writer.h"
#include "record/frame_encoder.h"

namespace glimor::record {

namespace {
// The compressed bytes stay in memory until the end: a few megabytes where the frames would take
// gigabytes, and the file is replaced in one step.
template <class Writer> class FileEncoder : public FrameEncoder {
public:
  FileEncoder(int width, int height, std::string path, platform::Files& files)
      : writer_(width, height, Writer::appendTo(bytes_)), path_(std::move(path)), files_(files) {}

  void addFrame(const std::uint32_t* pixels, int delayMs) override { writer_.addFrame(pixels, delayMs); }
  void lengthenLast(int ms) override { writer_.lengthenLast(ms); }
  void setHurried(bool framesWait) override {
    if constexpr (requires { writer_.setHurried(framesWait); }) writer_.setHurried(framesWait);
  }
  void finish() override {
    writer_.finish();
    files_.replace(path_, bytes_);
  }

private:
  platform::Bytes bytes_;
  Writer writer_;
  std::string path_;
  platform::Files& files_;
};
} // namespace

std::unique_ptr<FrameEncoder> fileEncoder(platform::RecordingType type, int width, int height,
                                          std::string path, platform::Files& files) {
  if (type == platform::RecordingType::WebM)
    return std::make_unique<FileEncoder<imaging::WebmWriter>>(width, height, std::move(path), files);
  return std::make_unique<FileEncoder<imaging::GifAnimationWriter>>(width, height, std::move(path), files);
}

} // namespace glimor::record
