#include "tests/support/action_fixture.h"

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

std::string ActionTest::writeXls(const std::string& name,
                                 const std::vector<std::vector<std::vector<std::string>>>& sheets) {
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
    return path.string();
}

std::vector<std::vector<std::string>> ActionTest::table(int columns) {
    Database db;
    EXPECT_TRUE(db.open(session.paths.workingDb()).ok());
    std::string cols;
    for (int k = 0; k < columns; ++k)
        cols += (k ? ",coalesce(a" : "coalesce(a") + std::to_string(k) + ",'<null>')";
    std::vector<std::string> flat;
    int n = 0;
    EXPECT_TRUE(db.readTexts({"select " + cols + " from wen order by id", {}}, flat, n).ok());
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i + n <= flat.size(); i += n)
        rows.emplace_back(flat.begin() + i, flat.begin() + i + n);
    return rows;
}

int64_t ActionTest::rowCount() {
    Database db;
    EXPECT_TRUE(db.open(session.paths.workingDb()).ok());
    return *db.readNumber(statements::countRows());
}

void ActionTest::fill(const std::vector<std::vector<std::string>>& rows) {
    Database db;
    ASSERT_TRUE(db.open(session.paths.workingDb()).ok());
    ASSERT_TRUE(db.begin().ok());
    for (const auto& row : rows) {
        auto sql = statements::insertRow(static_cast<int>(row.size()));
        auto stmt = db.prepare(*sql);
        ASSERT_TRUE(stmt->run(row).ok());
    }
    ASSERT_TRUE(db.commit().ok());
}

ShownMessage ActionTest::lastMessage() const {
    return window.messages.empty() ? ShownMessage{"", "", Icon::Information}
                                   : window.messages.back();
}

}  // namespace tabrovin::testing
