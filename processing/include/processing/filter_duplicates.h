#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"

namespace tabrovin {

struct DedupeRequest {
    int column = 0;  // k of table column a<k>
    // Pause after every pauseEvery + 1 groups; none: no pauses.
    std::optional<int32_t> pauseEvery = 500;
    // Beside `column`: a row is a duplicate only when these match as well.
    std::vector<int> moreColumns = {};
    bool trim = false;   // ignore leading and trailing blanks, ASCII and full-width
    bool width = false;  // read full-width letters, digits and punctuation as half-width
};

struct DedupeReport {
    int32_t before = 0;  // rows before
    int32_t left = 0;    // rows after
};

// Keeps, for every distinct value of a<column> (rows without a value forming
// one group), only the row with the smallest id; with more columns, for
// every distinct combination of their values. An error or a cancel before
// the final delete leaves every row in place.
Result<DedupeReport> filterDuplicates(Workspace& ws, const DedupeRequest& request,
                                      Progress& progress);

// The rows filterDuplicates(request) would delete now, counted over a
// read-only connection: the working database is not changed.
Result<int64_t> countDuplicateRows(const Workspace& ws, const DedupeRequest& request);

}  // namespace tabrovin
