#pragma once
#include "platform/frame_source.h"

#include <windows.h>

namespace glimor::win32 {

// The live screen for a recording. Used from the recording's own thread only: it keeps its
// device contexts and a section as large as the recorded area from one grab to the next.
class Win32FrameSource final : public platform::FrameSource {
public:
  ~Win32FrameSource() override;
  bool grab(const screen::Rect& area, bool withPointer, screen::Picture& into) override;
  std::uint64_t nowMs() override;

private:
  void release();

  HDC screen_ = nullptr, memory_ = nullptr;
  HBITMAP section_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  void* bits_ = nullptr;
  int width_ = 0, height_ = 0;
  DWORD thread_ = 0; // each recording grabs on a thread of its own, with device contexts of its own
};

} // namespace glimor::win32
