#pragma once
#include <cstdint>
#include <optional>

#include "core/progress.h"
#include "core/workspace.h"

namespace tabrovin {

struct DedupeRequest {
    int column = 0;  // k of table column a<k>
    // Pause after every pauseEvery + 1 groups; none: no pauses.
    std::optional<int32_t> pauseEvery = 500;
};

struct DedupeReport {
    int32_t before = 0;  // rows before
    int32_t left = 0;    // rows after
};

// Keeps, for every distinct value of a<column> (rows without a value forming
// one group), only the row with the smallest id. An error or a cancel before
// the final delete leaves every row in place.
Result<DedupeReport> filterDuplicates(Workspace& ws, const DedupeRequest& request,
                                      Progress& progress);

}  // namespace tabrovin
