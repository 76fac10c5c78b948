#pragma once
#include "platform/url_download.h"

#include <windows.h>

#include <urlmon.h>

namespace glimor::win32 {

// URL.DLL's InetIsOffline and URLMON.DLL's URLDownloadToFileA, both found at run time, so the
// program starts on systems without them.
class Win32UrlDownload final : public platform::UrlDownload {
public:
  bool isOnline() override;
  bool download(const std::string& url, const std::string& path, const Progress& progress) override;

private:
  using DownloadToFile = HRESULT(WINAPI*)(LPUNKNOWN, LPCSTR, LPCSTR, DWORD, LPBINDSTATUSCALLBACK);
  bool lookedUp_ = false; // one lookup per run, whatever its outcome
  DownloadToFile downloadToFile_ = nullptr;
};

} // namespace glimor::win32
