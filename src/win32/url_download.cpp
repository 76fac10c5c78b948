#include "win32/url_download.h"

#include "os/win32/wide_text.h"
#include "platform/error.h"
#include "win32/dll_proc.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace glimor::win32 {
namespace {

// What a download's thread and the waiting thread share; it lives as long as either needs it.
struct DownloadJob {
  std::atomic<std::uint32_t> done{0}, total{0};
  std::atomic<unsigned> notifications{0};
  std::atomic<bool> abandoned{false};
  HRESULT result = E_FAIL;
  HANDLE finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~DownloadJob() { ::CloseHandle(finished); }
};

// The status callback of one download: notes its progress and cancels once the download is
// abandoned. It lives on the download thread's stack for the length of the call, so its
// reference count is only kept for form's sake.
class ProgressCallback final : public IBindStatusCallback {
public:
  explicit ProgressCallback(DownloadJob& job) : job_(job) {}

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
    job_.done = done;
    job_.total = total;
    ++job_.notifications;
    return job_.abandoned ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

private:
  DownloadJob& job_;
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

platform::DownloadOutcome Win32UrlDownload::download(const std::string& url, const std::string& path,
                                                     const Progress& progress,
                                                     const platform::DownloadLimits& limits) {
  using Clock = std::chrono::steady_clock;
  using platform::DownloadOutcome;
  if (!lookedUp_) {
    lookedUp_ = true;
    FARPROC address = nullptr;
    if (GetDllProc("URLMON.DLL", "URLDownloadToFileW", address))
      downloadToFile_ = reinterpret_cast<DownloadToFile>(reinterpret_cast<void*>(address));
  }
  if (!downloadToFile_) throw Error("Unable to load URLMON.DLL");

  // The file takes its name only when it is whole; an abandoned download may still be writing
  // its own part file long after, so every download has a part file of its own.
  const std::wstring part = widen(path + "." + std::to_string(++downloads_) + ".part");
  const std::wstring address = widen(url);
  auto job = std::make_shared<DownloadJob>();
  std::thread([job, address, part, downloadToFile = downloadToFile_] {
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ProgressCallback callback(*job);
    job->result = downloadToFile(nullptr, address.c_str(), part.c_str(), 0, &callback);
    if (job->abandoned) ::DeleteFileW(part.c_str());
    if (SUCCEEDED(com)) ::CoUninitialize();
    ::SetEvent(job->finished);
  }).detach();

  auto abandon = [&](DownloadOutcome outcome) {
    job->abandoned = true;
    ::DeleteFileW(part.c_str()); // in case the thread is done with it already
    return outcome;
  };
  const Clock::time_point start = Clock::now();
  Clock::time_point lastNews = start;
  unsigned notifications = 0;
  std::uint32_t done = 0, total = 0;
  for (bool finished = false; !finished;) {
    finished = ::MsgWaitForMultipleObjectsEx(1, &job->finished, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
               WAIT_OBJECT_0;
    if (!finished && !pumpMessages()) return abandon(DownloadOutcome::Failed);
    if (notifications != job->notifications) {
      notifications = job->notifications;
      lastNews = Clock::now();
    }
    if (done != job->done || total != job->total) {
      done = job->done;
      total = job->total;
      if (progress) progress(done, total);
    }
    const Clock::time_point now = Clock::now();
    if (!finished && (now - lastNews > limits.pause || now - start > limits.wholeFor(total)))
      return abandon(DownloadOutcome::Expired);
  }
  if (job->result != S_OK || !::MoveFileExW(part.c_str(), widen(path).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ::DeleteFileW(part.c_str());
    return DownloadOutcome::Failed;
  }
  return DownloadOutcome::Done;
}

bool Win32UrlDownload::pumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The loop that ends the program is the outer one; it must still see the request.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (dialogWindow_ && ::IsDialogMessageW(dialogWindow_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return true;
}

} // namespace glimor::win32
