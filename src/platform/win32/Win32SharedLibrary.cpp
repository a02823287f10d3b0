#include <windows.h>

#include <string>
#include <vector>

#include "platform/LibrarySearch.h"
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
  std::string File() const override {
    char file[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module_, file, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(file, length) : std::string();
  }

 private:
  HMODULE module_;
};

// The folder of the file a module was loaded from, without its trailing "\"; "" when unknown.
std::string ModuleFolder(HMODULE module) {
  char file[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, file, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  const std::string path(file, length);
  const std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The system folder and the Windows folder.
std::vector<std::string> SystemFolders() {
  std::vector<std::string> folders;
  char folder[MAX_PATH];
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.emplace_back(folder, length);
  length = GetWindowsDirectoryA(folder, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.emplace_back(folder, length);
  return folders;
}

std::string PathVariable() {
  const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (size == 0) return "";
  std::string value(size, '\0');
  const DWORD length = GetEnvironmentVariableA("PATH", value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

class LoadLibraryLoader final : public SharedLibraryLoader {
 public:
  // A bare name is looked for only where LibraryCandidates says: never in the current folder,
  // which LoadLibrary would search before PATH. The library found is loaded with its own folder
  // first for what it needs in turn.
  std::unique_ptr<SharedLibrary> Open(const std::string& name) override {
    if (name.find_first_of("\\/") != std::string::npos) return Load(name);
    const std::vector<std::string> files =
        LibraryCandidates(name, ModuleFolder(nullptr), SystemFolders(), PathVariable());
    for (const std::string& file : files) {
      if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) return Load(file);
    }
    throw PlatformError("cannot load " + name +
                            ": not in the host's folder, the system folders or an absolute " + "PATH entry",
                        ERROR_MOD_NOT_FOUND);
  }

 private:
  static std::unique_ptr<SharedLibrary> Load(const std::string& file) {
    // No error dialog when the library or one it needs is missing: the caller reports it.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = GetLastError();
    SetErrorMode(previousMode);
    if (module == nullptr) throw PlatformError("cannot load " + file + ": " + SystemErrorText(error), error);
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
