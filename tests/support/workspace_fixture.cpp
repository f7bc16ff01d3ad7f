#include "tests/support/workspace_fixture.h"

#include "core/column_list.h"
#include "core/statements.h"

namespace tabrovin::testing {

std::vector<int64_t> RecordingProgress::values(Counter c) const {
    std::vector<int64_t> out;
    for (const auto& [counter, v] : counts)
        if (counter == c) out.push_back(v);
    return out;
}

std::filesystem::path WorkspaceTest::writeXls(
    const std::string& name, const std::vector<std::vector<std::vector<std::string>>>& sheets) {
    // The cells travel in a file, marked as readBook marks them, so no text
    // needs quoting for Python.
    std::string cells;
    for (const auto& sheet : sheets) {
        cells += '\x1d';
        for (const auto& row : sheet) {
            cells += '\x1e';
            for (const auto& cell : row) cells += '\x1f' + cell;
        }
    }
    TempDir scratch;
    const auto path = dir / name, input = scratch / "cells";
    writeFile(input, cells);
    auto r = runPython(R"(
import sys, xlwt
wb = xlwt.Workbook(encoding="utf-8")
book = open(sys.argv[2], encoding="utf-8", newline="").read().split("\x1d")[1:]
for s, sheet in enumerate(book):
    ws = wb.add_sheet("S%d" % (s + 1))
    for r, row in enumerate(sheet.split("\x1e")[1:]):
        for c, v in enumerate(row.split("\x1f")[1:]):
            if v: ws.write(r, c, v)
wb.save(sys.argv[1])
)",
                       shellQuote(path.string()) + " " + shellQuote(input.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return path;
}

std::vector<std::vector<std::string>> WorkspaceTest::table(int columns) {
    Database db;
    EXPECT_TRUE(db.open(ws.paths.workingDb()).ok());
    std::string cols;
    for (int k = 0; k < columns; ++k)
        cols += (k ? ",coalesce(a" : "coalesce(a") + std::to_string(k) + ",'<null>')";
    std::vector<std::string> flat;
    int n = 0;
    EXPECT_TRUE(db.readTexts({"select " + cols + " from wen order by id", {}}, flat, n).ok());
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; n > 0 && i + n <= flat.size(); i += n)
        rows.emplace_back(flat.begin() + i, flat.begin() + i + n);
    return rows;
}

int64_t WorkspaceTest::rowCount() {
    Database db;
    EXPECT_TRUE(db.open(ws.paths.workingDb()).ok());
    auto n = db.readNumber(statements::countRows());
    EXPECT_TRUE(n.ok());
    return n.ok() ? *n : -1;
}

void WorkspaceTest::fill(const std::vector<std::vector<std::string>>& rows) {
    Database db;
    ASSERT_TRUE(db.open(ws.paths.workingDb()).ok());
    ASSERT_TRUE(db.begin().ok());
    for (const auto& row : rows) {
        auto sql = statements::insertRow(static_cast<int>(row.size()));
        auto stmt = db.prepare(*sql);
        ASSERT_TRUE(stmt->run(row).ok());
    }
    ASSERT_TRUE(db.commit().ok());
}

std::vector<std::string> WorkspaceTest::columnList() const {
    return column_list::load(ws.paths.columnList());
}

}  // namespace tabrovin::testing
