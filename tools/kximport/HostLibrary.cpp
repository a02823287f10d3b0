#include "kximport/HostLibrary.h"

#include <dlfcn.h>

#include <stdexcept>
#include <type_traits>

#include "Language.h"
#include "util/Cp1252.h"

namespace kximport {

HostLibrary::HostLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr)
    throw std::runtime_error(kx::tools::Say("kann " + path + " nicht laden: ", "cannot load " + path + ": ") +
                             dlerror());
  auto find = [this, &path](auto& target, const char* name) {
    target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(dlsym(handle_, name));
    if (target == nullptr)
      throw std::runtime_error(path + kx::tools::Say(" hat keinen Export ", " has no export ") + name);
  };
  find(VersionInfo, "VersionInfo");
  find(AppVersionCheck, "AppVersionCheck");
  find(RegProgrCallback, "RegProgrCallback");
  find(ExportXML, "ExportXML");
  find(GetExportErrorMsg, "GetExportErrorMsg");
  find(ApiDataDialog, "ApiDataDialog");
}

HostLibrary::~HostLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

std::string HostLibrary::ErrorText(int32_t code) const {
  char message[KX_ERROR_TEXT_BUFFER_SIZE];
  if (GetExportErrorMsg(code, message) != 0)
    return kx::tools::Say("(kein Meldungstext)", "(no message text)");
  std::string text = kx::Cp1252ToUtf8(message);
  // The texts break lines with CR LF; the terminal wants LF.
  for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p)) text.erase(p, 1);
  return text;
}

}  // namespace kximport
