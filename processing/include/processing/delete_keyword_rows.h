#pragma once
#include <cstdint>
#include <string>

#include "core/progress.h"
#include "core/workspace.h"

namespace tabrovin {

struct DeleteRequest {
    int column = 0;  // k of table column a<k>
    std::string keyword;
};

struct DeleteReport {
    int32_t left = 0;  // rows after the delete
};

// Deletes every row whose a<column> contains the keyword ('%' matches any
// run of characters, a quote matches itself). An empty keyword is refused.
Result<DeleteReport> deleteKeywordRows(Workspace& ws, const DeleteRequest& request,
                                       Progress& progress);

}  // namespace tabrovin
