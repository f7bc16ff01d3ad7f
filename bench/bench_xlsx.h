#pragma once
// Worksheets written by libxlsxwriter for the import benchmarks, and the bare
// insert of the same rows that an import is set against.

#include <xlsxwriter.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/statements.h"
#include "platform/database.h"

namespace bench {

// The cell of worksheet row `r` (1-based after the heading) in column `c`:
// numbers in even columns, texts in odd ones. Column 0 repeats after
// `distinct` rows, so that a smaller `distinct` gives duplicates to filter.
inline std::string cellText(int r, int c, int distinct) {
    if (c % 2) return "值" + std::to_string(r) + "-" + std::to_string(c);
    long long row = c == 0 ? (r - 1) % distinct + 1 : r;
    return std::to_string(row * 10 + c);
}

// A heading row and `rows` rows of 10 columns, as cellText gives them; the
// texts inline, or in a shared string table as Excel and LibreOffice write
// them (which holds the whole sheet in memory while writing).
inline void writeXlsx(const fs::path& out, int rows, int distinct, bool sharedStrings = false) {
    lxw_workbook_options options{};
    options.constant_memory = sharedStrings ? LXW_FALSE : LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(out.c_str(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    for (int c = 0; c < 10; ++c)
        worksheet_write_string(ws, 0, c, ("列" + std::to_string(c)).c_str(), nullptr);
    for (int r = 1; r <= rows; ++r)
        for (int c = 0; c < 10; ++c) {
            std::string text = cellText(r, c, distinct);
            if (c % 2)
                worksheet_write_string(ws, r, c, text.c_str(), nullptr);
            else
                worksheet_write_number(ws, r, c, std::stod(text), nullptr);
        }
    workbook_close(wb);
}

// Inserts `rows` rows into a fresh working table, `perStatement` at a time,
// committing after every `commitEvery` statements (0: once at the end).
inline bool bareInsert(const fs::path& file, int rows, int perStatement, int commitEvery = 0) {
    fs::copy_file(binDir() / "data" / "B.mdb", file, fs::copy_options::overwrite_existing);
    tabrovin::Database db;
    if (!db.open(file).ok()) return false;
    auto sql = tabrovin::statements::insertRows(10, perStatement);
    if (!sql.ok()) return false;
    auto insert = db.prepare(*sql);
    if (!insert.ok() || !db.begin().ok()) return false;
    std::vector<std::string> row(10), batch;
    int r = 1;
    for (; r + perStatement - 1 <= rows; r += perStatement) {
        batch.clear();
        for (int i = 0; i < perStatement; ++i)
            for (int c = 0; c < 10; ++c) batch.push_back(cellText(r + i, c, rows));
        if (!insert->run(batch).ok()) return false;
        if (commitEvery && r / perStatement % commitEvery == 0 &&
            (!db.commit().ok() || !db.begin().ok()))
            return false;
    }
    auto one = db.prepare(*tabrovin::statements::insertRow(10));
    for (; r <= rows; ++r) {
        for (int c = 0; c < 10; ++c) row[c] = cellText(r, c, rows);
        if (!one.ok() || !one->run(row).ok()) return false;
    }
    return db.commit().ok();
}

}  // namespace bench
