#pragma once
// Duplicate filtering in one pass over wen: keeps, for every distinct value
// of one column (or combination of several), the row with the smallest id,
// and deletes the others.

#include <cstdint>
#include <functional>
#include <vector>

#include "base/error.h"
#include "platform/database.h"

namespace tabrovin {

struct DedupeCounts {
    int64_t rowsBefore = 0;
    int64_t groups = 0;  // distinct values, which is also the rows kept
    int64_t deleted = 0;
};

// What makes two rows duplicates: all of `columns` hold equal values.
// Values are compared after the chosen normalisations, and always with ASCII
// letters folded. NULL is never equal to any text, '' included.
struct DedupeKey {
    std::vector<int> columns;  // k of a<k>, at least one; repeats count once
    bool trim = false;         // leading and trailing blanks, ASCII and U+3000, are dropped
    bool width = false;        // full-width forms U+FF01..U+FF5E and U+3000 read as ASCII
};

// Values are grouped as the column's NOCASE collation does: A-Z equal a-z,
// nothing else folded; NULL is one group and '' another. `everyGroup` is
// called once per new distinct value with the number found so far; a
// non-ok Status from it stops the filtering with wen unchanged, and so does
// any error. `rowsFound`, when set, gets the rows in wen before the scan. The scan and the change
// are one write transaction: other connections may read wen meanwhile but not change it, also while
// `everyGroup` pauses. Ids are kept and the table's id counter is left as
// it was, so ids are never reused. A column outside 0..50 is
// err::kNoSuchColumn. `db` must have no transaction open.
Result<DedupeCounts> dedupeScan(Database& db, int column,
                                const std::function<Status(int64_t groupsSoFar)>& everyGroup,
                                const std::function<void(int64_t rows)>& rowsFound = {});
// The same on several columns and with normalisations: a row is a duplicate
// when every column of `key` matches an earlier row. No column is
// err::kNoSuchColumn too.
Result<DedupeCounts> dedupeScan(Database& db, const DedupeKey& key,
                                const std::function<Status(int64_t groupsSoFar)>& everyGroup,
                                const std::function<void(int64_t rows)>& rowsFound = {});
// The rows dedupeScan(key) would delete now, counted through `reader`
// (which may be read-only) without changing anything.
Result<int64_t> countDuplicates(Database& reader, const DedupeKey& key);

}  // namespace tabrovin
