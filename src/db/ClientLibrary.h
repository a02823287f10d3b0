#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/SharedLibrary.h"

namespace kx::db {

namespace ib {
struct Functions;  // the entry points, declared for the database layer's own files only
}

// The database client library, loaded at run time, with its entry points. It must outlive every
// connection made through it.
class ClientLibrary {
 public:
  // The platform's client (DefaultNames()), through the platform's loader.
  ClientLibrary();
  // The first of names that loads and exports every entry point this layer needs. Raises
  // DatabaseError naming each library tried and why it did not serve.
  ClientLibrary(SharedLibraryLoader& loader, const std::vector<std::string>& names);
  ~ClientLibrary();
  ClientLibrary(const ClientLibrary&) = delete;
  ClientLibrary& operator=(const ClientLibrary&) = delete;

  // libfbclient.so.2 on Linux; gds32.dll, then fbclient.dll on Windows.
  static const std::vector<std::string>& DefaultNames();

  // The name of the library that was loaded.
  const std::string& Name() const { return name_; }
  // The file it was loaded from.
  std::string File() const { return library_->File(); }
  const ib::Functions& Api() const { return *api_; }

  // A status vector is an array of ib::Status, which is std::intptr_t (ISC_STATUS).
  // Raises DatabaseError when the status vector holds an error.
  void Check(const std::intptr_t* status) const {
    if (status[0] == 1 && status[1] != 0) Raise(status);
  }
  [[noreturn]] void Raise(const std::intptr_t* status) const;
  // The client's text for a status vector: every part, joined by line breaks.
  std::string MessageText(const std::intptr_t* status) const;

 private:
  std::unique_ptr<SharedLibrary> library_;
  std::string name_;
  std::unique_ptr<ib::Functions> api_;
};

}  // namespace kx::db
