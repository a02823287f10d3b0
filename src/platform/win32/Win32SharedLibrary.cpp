#include <windows.h>

#include "platform/SharedLibrary.h"
#include "platform/win32/Win32Handles.h"
#include "util/Error.h"

namespace kx {
namespace win32 {
namespace {

class LoadedModule final : public SharedLibrary {
 public:
  explicit LoadedModule(HMODULE module) : module_(module) {}
  ~LoadedModule() override { FreeLibrary(module_); }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  void* Symbol(const char* name) override {
    // GetProcAddress hands out every export as FARPROC; the caller casts to the real type.
    return reinterpret_cast<void*>(GetProcAddress(module_, name));
  }

 private:
  HMODULE module_;
};

class LoadLibraryLoader final : public SharedLibraryLoader {
 public:
  std::unique_ptr<SharedLibrary> Open(const std::string& name) override {
    // No error dialog when the library or one it needs is missing: the caller reports it.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(name.c_str());
    const DWORD error = GetLastError();
    SetErrorMode(previousMode);
    if (module == nullptr) throw PlatformError("cannot load " + name + ": " + SystemErrorText(error), error);
    return std::make_unique<LoadedModule>(module);
  }
};

}  // namespace
}  // namespace win32

SharedLibraryLoader& DefaultSharedLibraryLoader() {
  static win32::LoadLibraryLoader loader;
  return loader;
}

}  // namespace kx
