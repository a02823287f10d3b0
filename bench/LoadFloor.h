#pragma once

// The floor of a load: the rows a load inserts, already split and converted, inserted through
// the same prepared insert statement with nothing else in the loop.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/Transaction.h"
#include "staging/RowBatch.h"

namespace kx::bench {

// Runs the importer over file the way GenerateImport configures it for table (its map file in
// dataDir, its row filter), keeping the converted rows instead of inserting them. The fields
// are those of a TableInserter on insertSql, prepared in transaction.
RowBatch ConvertLikeTheImporter(db::Transaction& transaction, std::string_view insertSql,
                                const std::string& file, const std::string& mapFile, bool transactionsFilter);

// Executes insertSql once per row with the recorded values; returns the rows inserted.
int64_t InsertRows(db::Transaction& transaction, std::string_view insertSql, const RowBatch& rows);

}  // namespace kx::bench
