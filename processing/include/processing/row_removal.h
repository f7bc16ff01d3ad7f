#pragma once
// Removing rows from wen in two halves: one read of the table decides which
// rows stay, then only the others are deleted. The read goes through a
// read-only connection that maps the file, several times faster than a
// statement that copies every page of wen into the writer's cache.

#include <cstdint>
#include <functional>
#include <vector>

#include "base/error.h"
#include "platform/database.h"

namespace tabrovin {

// Which rows of wen a step keeps and which it removes: ids, ascending.
struct RowSplit {
    int64_t rows = 0;
    std::vector<int64_t> kept, removed;
};

// Takes the write lock on `db`, lets `split` read wen through a mapped
// read-only connection to the same file, deletes the rows it removes, and
// commits. Nothing else can change wen in between, and a read fault under
// the map (which stops the program) can only strike before anything
// changed. Ids stay, and the id counter is left as it was. Any error, from
// `split` too, leaves wen unchanged. `db` must have no transaction open.
Result<RowSplit> removeRows(Database& db,
                            const std::function<Result<RowSplit>(Database& reader)>& split);

}  // namespace tabrovin
