#pragma once

#include <string_view>
#include <vector>

#include "db/Statement.h"
#include "staging/ImportTarget.h"

namespace kx {

// Inserts rows through one prepared insert statement, executed again for every row. The fields
// are the statement's named parameters, with the types and lengths the database describes;
// hidden parameters (a key the database supplies) are bound NULL and cannot be mapped.
class TableInserter final : public ImportTarget {
 public:
  TableInserter(db::Transaction& transaction, std::string_view insertSql,
                std::vector<std::string> hidden = {});

  const std::vector<ImportField>& Fields() const override { return fields_; }
  void BeginRow() override;
  void SetText(std::size_t field, std::string_view value) override;
  void SetInt(std::size_t field, int64_t value) override;
  void SetDouble(std::size_t field, double value) override;
  void SetNull(std::size_t field) override;
  void Post() override;
  void Cancel() override {}

 private:
  db::Statement insert_;
  std::vector<ImportField> fields_;
  std::vector<int> positions_;  // the statement parameter of each field
};

}  // namespace kx
