#include <dlfcn.h>
#include <link.h>

#include "platform/SharedLibrary.h"
#include "util/Error.h"

namespace kx {
namespace posix {
namespace {

class DlopenLibrary final : public SharedLibrary {
 public:
  explicit DlopenLibrary(void* handle) : handle_(handle) {}
  ~DlopenLibrary() override { dlclose(handle_); }
  DlopenLibrary(const DlopenLibrary&) = delete;
  DlopenLibrary& operator=(const DlopenLibrary&) = delete;

  void* Symbol(const char* name) override { return dlsym(handle_, name); }
  std::string File() const override {
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) return "";
    return map->l_name;
  }

 private:
  void* handle_;
};

class DlopenLoader final : public SharedLibraryLoader {
 public:
  std::unique_ptr<SharedLibrary> Open(const std::string& name) override {
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = dlerror();
      throw PlatformError("cannot load " + name + ": " + (reason != nullptr ? reason : "unknown reason"), 0);
    }
    return std::make_unique<DlopenLibrary>(handle);
  }
};

}  // namespace
}  // namespace posix

SharedLibraryLoader& DefaultSharedLibraryLoader() {
  static posix::DlopenLoader loader;
  return loader;
}

}  // namespace kx
