#pragma once

#include <memory>
#include <string>

namespace kx {

// A shared library loaded at run time (dlopen, LoadLibraryA). Destruction unloads it.
class SharedLibrary {
 public:
  virtual ~SharedLibrary() = default;
  // The address of an exported symbol, or null when the library has none of that name.
  virtual void* Symbol(const char* name) = 0;
  // The file the library was loaded from, as the system names it; "" when it cannot say.
  virtual std::string File() const = 0;
};

class SharedLibraryLoader {
 public:
  virtual ~SharedLibraryLoader() = default;
  // Loads a library by file name, searched for the platform's way. Raises PlatformError with the
  // library's name and the system's reason when it cannot be loaded.
  virtual std::unique_ptr<SharedLibrary> Open(const std::string& name) = 0;
};

// The platform's loader, alive for the whole time the library is loaded.
SharedLibraryLoader& DefaultSharedLibraryLoader();

}  // namespace kx
