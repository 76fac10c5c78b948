#include "win32/dll_proc.h"

namespace glimor::win32 {

bool GetDllProc(const char* library, const char* procedure, FARPROC& address) {
  address = nullptr;
  if (!::LoadLibraryA(library)) return false;
  HMODULE module = ::GetModuleHandleA(library);
  if (!module) return false;
  address = ::GetProcAddress(module, procedure);
  return address != nullptr;
}

} // namespace glimor::win32
