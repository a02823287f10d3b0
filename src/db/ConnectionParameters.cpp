#include "db/ConnectionParameters.h"

#include "db/DatabaseName.h"
#include "db/IbaseApi.h"

namespace kx::db {

ParameterBlock AttachParameters(const ConnectionParameters& parameters, std::string_view databaseName) {
  ParameterBlock dpb;
  dpb.AddText(ib::kDpbUserName, parameters.user);
  dpb.AddText(ib::kDpbPassword, parameters.password);
  dpb.AddText(ib::kDpbLcCtype, parameters.characterSet);
  dpb.AddNumber(ib::kDpbSqlDialect, parameters.dialect);
  if (!GoesThroughServer(databaseName)) dpb.AddText(ib::kDpbConfig, "Providers=Engine12");
  return dpb;
}

}  // namespace kx::db
