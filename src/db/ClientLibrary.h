#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/IbaseApi.h"
#include "platform/SharedLibrary.h"

namespace kx::db {

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
  const ib::Functions& Api() const { return api_; }

  // Raises DatabaseError when the status vector holds an error.
  void Check(const ib::Status* status) const {
    if (status[0] == 1 && status[1] != 0) Raise(status);
  }
  [[noreturn]] void Raise(const ib::Status* status) const;
  // The client's text for a status vector: every part, joined by line breaks.
  std::string MessageText(const ib::Status* status) const;

 private:
  std::unique_ptr<SharedLibrary> library_;
  std::string name_;
  ib::Functions api_;
};

}  // namespace kx::db
