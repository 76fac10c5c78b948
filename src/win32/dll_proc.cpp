#include "win32/dll_proc.h"

#include "os/win32/wide_text.h"

namespace glimor::win32 {

bool GetDllProc(const char* library, const char* procedure, FARPROC& address) {
  address = nullptr;
  const std::wstring name = widen(library);
  if (!::LoadLibraryW(name.c_str())) return false;
  HMODULE module = ::GetModuleHandleW(name.c_str());
  if (!module) return false;
  address = ::GetProcAddress(module, procedure);
  return address != nullptr;
}

} // namespace glimor::win32
