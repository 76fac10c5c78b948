#include "win32/url_download.h"

#include "platform/error.h"
#include "win32/dll_proc.h"

namespace glimor::win32 {
namespace {

// The status callback of one download: passes its progress on and never cancels. It lives on the
// caller's stack for the length of the call, so its reference count is only kept for form's sake.
class ProgressCallback final : public IBindStatusCallback {
public:
  explicit ProgressCallback(const platform::UrlDownload::Progress& progress) : progress_(progress) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IBindStatusCallback)) {
      *object = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG done, ULONG total, ULONG, LPCWSTR) override {
    // An exception must not cross into the system's code; the download goes on regardless.
    try {
      if (progress_) progress_(done, total);
    } catch (...) {
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

private:
  const platform::UrlDownload::Progress& progress_;
  ULONG references_ = 1;
};

} // namespace

bool Win32UrlDownload::isOnline() {
  using InetIsOffline = BOOL(WINAPI*)(DWORD);
  FARPROC address = nullptr;
  // Without the probe the system cannot say it is online, and the automatic check stays quiet.
  if (!GetDllProc("URL.DLL", "InetIsOffline", address)) return false;
  return reinterpret_cast<InetIsOffline>(reinterpret_cast<void*>(address))(0) == 0;
}

bool Win32UrlDownload::download(const std::string& url, const std::string& path, const Progress& progress) {
  if (!lookedUp_) {
    lookedUp_ = true;
    FARPROC address = nullptr;
    if (GetDllProc("URLMON.DLL", "URLDownloadToFileA", address))
      downloadToFile_ = reinterpret_cast<DownloadToFile>(reinterpret_cast<void*>(address));
  }
  if (!downloadToFile_) throw Error("Unable to load URLMON.DLL");
  ProgressCallback callback(progress);
  return downloadToFile_(nullptr, url.c_str(), path.c_str(), 0, &callback) == S_OK;
}

} // namespace glimor::win32
