#include "tests/support/workspace_fixture.h"

#include <cstdio>

#include "core/column_list.h"
#include "core/statements.h"

namespace tabrovin::testing {

namespace {
std::string pyString(const std::string& s) {
    std::string out = "'";
    for (unsigned char c : s) {
        char buf[8];
        if (c == '\\' || c == '\'' || c < 0x20 || c >= 0x80) {
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "'";
}
}  // namespace

std::vector<int64_t> RecordingProgress::values(Counter c) const {
    std::vector<int64_t> out;
    for (const auto& [counter, v] : counts)
        if (counter == c) out.push_back(v);
    return out;
}

std::filesystem::path WorkspaceTest::writeXls(
    const std::string& name, const std::vector<std::vector<std::vector<std::string>>>& sheets) {
    std::string script = "import sys, xlwt\nwb = xlwt.Workbook(encoding='utf-8')\n";
    for (size_t s = 0; s < sheets.size(); ++s) {
        script += "ws = wb.add_sheet('S" + std::to_string(s + 1) + "')\n";
        for (size_t r = 0; r < sheets[s].size(); ++r)
            for (size_t c = 0; c < sheets[s][r].size(); ++c)
                if (!sheets[s][r][c].empty())
                    script += "ws.write(" + std::to_string(r) + "," + std::to_string(c) + "," +
                              pyString(sheets[s][r][c]) + ".encode('latin-1').decode('utf-8'))\n";
    }
    script += "wb.save(sys.argv[1])\n";
    auto path = dir / name;
    auto r = runPython(script, shellQuote(path.string()));
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
