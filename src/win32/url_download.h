#pragma once
#include "platform/url_download.h"

#include <windows.h>

#include <urlmon.h>

namespace glimor::win32 {

// URL.DLL's InetIsOffline and URLMON.DLL's URLDownloadToFileW, both found at run time, so the
// program starts on systems without them. The download runs on a thread of its own while the
// caller's thread goes on handling the window's messages, so a silent service freezes nothing;
// a download that overruns its limits is left behind and cleans up after itself.
class Win32UrlDownload final : public platform::UrlDownload {
public:
  // Keys for this window pass through IsDialogMessage while a download is waited for, as in
  // the program's own message loop.
  void setDialogWindow(HWND window) { dialogWindow_ = window; }

  bool isOnline() override;
  platform::DownloadOutcome download(const std::string& url, const std::string& path,
                                     const Progress& progress,
                                     const platform::DownloadLimits& limits) override;

private:
  using DownloadToFile = HRESULT(WINAPI*)(LPUNKNOWN, LPCWSTR, LPCWSTR, DWORD, LPBINDSTATUSCALLBACK);
  bool pumpMessages();    // false once the program is asked to end
  bool lookedUp_ = false; // one lookup per run, whatever its outcome
  DownloadToFile downloadToFile_ = nullptr;
  HWND dialogWindow_ = nullptr;
  unsigned downloads_ = 0; // names each download's part file
};

} // namespace glimor::win32
