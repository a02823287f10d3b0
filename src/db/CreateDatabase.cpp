#include "db/CreateDatabase.h"

#include "db/IbaseApi.h"

namespace kx::db {

void CreateDatabase(const ClientLibrary& client, const std::string& databaseName, int pageSize,
                    const ConnectionParameters& parameters) {
  ParameterBlock dpb = AttachParameters(parameters, databaseName);
  dpb.AddNumber(ib::kDpbPageSize, static_cast<uint32_t>(pageSize));
  dpb.AddText(ib::kDpbSetDbCharset, parameters.characterSet);
  ib::Status status[ib::kStatusLength] = {};
  ib::Handle db{};
  client.Api().createDatabase(status, 0, databaseName.c_str(), &db, dpb.Size(), dpb.Data(), 0);
  client.Check(status);
  client.Api().detachDatabase(status, &db);
  client.Check(status);
}

}  // namespace kx::db
