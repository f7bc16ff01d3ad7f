#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"
#include "processing/row_removal.h"
#include "processing/text_match.h"

namespace tabrovin {

struct DeleteRequest {
    int column = 0;  // k of table column a<k>
    std::string keyword;
    MatchMode match = MatchMode::Contains;
    std::vector<std::string> moreKeywords = {};  // a row goes when it matches any keyword
};

struct DeleteReport {
    int32_t left = 0;  // rows after the delete
};

// Deletes every row whose a<column> matches the keyword or any of the more
// keywords (see matchCondition; by default it contains the keyword, '%'
// matching any run of characters and a quote matching itself). An empty
// keyword is refused.
Result<DeleteReport> deleteKeywordRows(Workspace& ws, const DeleteRequest& request,
                                       Progress& progress);

// The removal itself, without the snapshot: deletes the rows of wen where
// `condition` (from matchCondition) holds, and tells which rows went.
Result<RowSplit> deleteMatching(Database& db, const Statement& condition);

// The rows that deleteKeywordRows(request) would delete now, counted over a
// read-only connection: the working database is not changed.
Result<int64_t> countKeywordRows(const Workspace& ws, const DeleteRequest& request);

}  // namespace tabrovin
