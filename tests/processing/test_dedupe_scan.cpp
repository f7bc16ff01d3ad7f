// The one-pass duplicate filter must leave exactly what the engine's own
// GROUP BY on the NOCASE columns leaves, on both of its ways of deleting,
// with every key and normalisation written out as SQL of its own.
#include <gtest/gtest.h>

#include <random>

#include "core/paths.h"
#include "core/statements.h"
#include "processing/dedupe_scan.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNull = "<null>";

// The engine's own dedupe under `key`: the key columns copied aside, put
// through its replace and trim a statement at a time, grouped by NOCASE.
std::vector<std::string> sqlDedupe(const DedupeKey& key) {
    std::string copy, groups;
    for (int k : key.columns) {
        const std::string c = "k" + std::to_string(k);
        if (copy.find(" " + c + ",") == std::string::npos)
            copy += " a" + std::to_string(k) + " as " + c + ",";
        groups += (groups.empty() ? "" : ", ") + c + " collate nocase";
    }
    std::vector<std::string> sql = {"create temp table keys as select" + copy + " id from wen"};
    for (int k : key.columns) {
        const std::string c = "k" + std::to_string(k);
        auto set = [&](const std::string& e) {
            sql.push_back("update temp.keys set " + c + " = " + e);
        };
        if (key.width) {
            for (int cp = 0xFF01; cp <= 0xFF5E; ++cp)
                set("replace(" + c + ", char(" + std::to_string(cp) + "), char(" +
                    std::to_string(cp - 0xFEE0) + "))");
            set("replace(" + c + ", char(12288), ' ')");
        }
        if (key.trim) set("trim(" + c + ", char(32, 9, 10, 11, 12, 13, 12288))");
    }
    sql.push_back("delete from wen where id not in (select min(id) from temp.keys group by " +
                  groups + ")");
    return sql;
}

class DedupeScan : public ::testing::Test {
  protected:
    fs::path freshDb(const std::string& name) {
        return ProgramPaths(tt::makeProgramFolder(dir / name)).workingDb();
    }
    // Fills `file` with rows whose a1 and a2 are drawn from `values` (kNull
    // for NULL) and whose a0 names the row, then removes the last rows so
    // that the id counter stands above the largest id.
    void fill(const fs::path& file, const std::vector<std::string>& values, int rows) {
        Database db;
        ASSERT_TRUE(db.open(file).ok());
        auto insert = db.prepare(*statements::insertRow(3));
        ASSERT_TRUE(db.begin().ok());
        std::mt19937 random(12345);
        for (int r = 0; r < rows; ++r) {
            const std::string& v = values[random() % values.size()];
            const std::string& w = values[random() % values.size()];
            ASSERT_TRUE(insert->run({"row" + std::to_string(r), v, w}).ok());
        }
        for (const char* sql : {"update wen set a1=null where a1='<null>'",
                                "update wen set a2=null where a2='<null>'"})
            ASSERT_TRUE(db.run({sql, {}}).ok());
        ASSERT_TRUE(db.commit().ok());
        ASSERT_TRUE(db.run({"delete from wen where id > (select max(id) - 3 from wen)", {}}).ok());
    }
    // Every row as "id|a0|a1", and the id counter.
    std::vector<std::string> contents(const fs::path& file) {
        Database db;
        EXPECT_TRUE(db.open(file).ok());
        std::vector<std::string> rows;
        int n = 0;
        EXPECT_TRUE(db.readTexts({"select id || '|' || a0 || '|' || coalesce(hex(a1), 'null') "
                                  "|| '|' || coalesce(hex(a2), 'null') from wen order by id",
                                  {}},
                                 rows, n)
                        .ok());
        auto seq = db.readNumber({"select seq from sqlite_sequence where name='wen'", {}});
        rows.push_back("sequence " + std::to_string(seq.ok() ? *seq : -1));
        return rows;
    }
    // Runs dedupeScan and the one-statement SQL on copies; both must agree,
    // and so must the count of what it would remove, taken beforehand.
    DedupeCounts compareWithSql(const std::vector<std::string>& values, int rows,
                                const DedupeKey& key = {{1}}) {
        fs::path ours = freshDb("ours"), sql = freshDb("sql");
        fill(ours, values, rows);
        fill(sql, values, rows);
        std::vector<std::string> before = contents(ours);
        Database db;
        EXPECT_TRUE(db.open(sql).ok());
        for (const std::string& statement : sqlDedupe(key))
            EXPECT_TRUE(db.run({statement, {}}).ok()) << statement;
        EXPECT_TRUE(db.open(ours, Database::Mode::ReadOnly).ok());
        auto predicted = countDuplicates(db, key);
        EXPECT_TRUE(db.open(ours).ok());
        int64_t calls = 0;
        auto counts = dedupeScan(db, key, [&](int64_t n) {
            EXPECT_EQ(n, ++calls);
            return Status::Ok();
        });
        EXPECT_TRUE(counts.ok());
        db.release();
        std::vector<std::string> after = contents(ours);
        EXPECT_EQ(after, contents(sql));
        EXPECT_EQ(after.back(), before.back());  // the id counter stays: ids are never reused
        EXPECT_EQ(calls, counts->groups);
        EXPECT_EQ(counts->rowsBefore, static_cast<int64_t>(before.size()) - 1);
        EXPECT_EQ(counts->groups, static_cast<int64_t>(after.size()) - 1);
        EXPECT_EQ(counts->deleted, counts->rowsBefore - counts->groups);
        EXPECT_EQ(predicted.ok() ? *predicted : -1, counts->deleted);
        return *counts;
    }

    tt::TempDir dir;
};

// Letter case of A-Z only, NULL apart from '', other scripts and blanks as
// they are, and texts with a zero byte (compared up to it, then by length).
std::vector<std::string> trickyValues() {
    using namespace std::string_literals;
    return {kNull,    "",        " ",    "abc",   "ABC",   "aBc", "abc ", "ÄBC", "äbc",
            "straße", "STRASSE", "客户", "客户 ", "Ǳ",     "ǳ",   "1",    "01",  "a\0b"s,
            "A\0c"s,  "a\0bc"s,  "a\0"s, "@[`{",  "@[`{ ", "Z",   "z"};
}

}  // namespace

// Blanks at either end, ASCII and full-width, full-width forms and their
// neighbours outside the folded range, and a cut-off full-width character.
std::vector<std::string> normalisedValues() {
    using namespace std::string_literals;
    std::vector<std::string> values = trickyValues();
    for (std::string v : {" abc",   "abc\t",     "\r\nABC ",     "\u3000abc\u3000",
                          "ＡＢＣ", "ａｂｃ",    "ＡＢＣ\u3000", "\u3000",
                          "  ",     "\t",        "１２３",       "123",
                          "！～＿", "!~_",       "\uFF00",       "\uFF5F",
                          "\x7F",   "\u00A0abc", "x\xEF\xBC",    "客户\u3000"})
        values.push_back(v);
    for (std::string v : {"Ａ\0Ｃ"s, "a\0B "s, " a\0b"s, "Ａ\0Ｂ\u3000"s}) values.push_back(v);
    return values;
}

// Few groups take the copy-out way, many the delete way; both match the engine.
TEST_F(DedupeScan, EveryKeyAndNormalisationLeavesWhatTheEngineLeaves) {
    const std::vector<std::pair<const char*, DedupeKey>> keys = {
        {"plain", {{1}}},
        {"trim", {{1}, true, false}},
        {"width", {{1}, false, true}},
        {"both", {{1}, true, true}},
        {"two columns", {{1, 2}}},
        {"two columns, both", {{2, 1}, true, true}},
        {"repeated column", {{1, 1}, true}},
    };
    for (const auto& [name, key] : keys) {
        SCOPED_TRACE(name);
        DedupeCounts counts = compareWithSql(normalisedValues(), 3000, key);
        EXPECT_GT(counts.deleted, 0);
    }
    DedupeCounts many = compareWithSql(normalisedValues(), 600, {{1, 2}, true, true});
    EXPECT_GE(many.groups * 8, many.rowsBefore);
}
