#pragma once
// The first column of every row a statement gives, read whole, so a test
// may change the table while it walks them.

#include <cstdint>
#include <vector>

#include "platform/database.h"

namespace tabrovin::testing {

inline Result<std::vector<int64_t>> readNumbers(Database& db, const Statement& s) {
    auto rows = db.query(s);
    if (!rows) return rows.error();
    std::vector<int64_t> out;
    for (;;) {
        auto more = rows->next();
        if (!more) return more.error();
        if (!*more) return out;
        out.push_back(rows->number(0));
    }
}

}  // namespace tabrovin::testing
