// The one-pass duplicate filter must leave exactly what the engine's own
// GROUP BY on the NOCASE column leaves, on both of its ways of deleting.
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

class DedupeScan : public ::testing::Test {
  protected:
    fs::path freshDb(const std::string& name) {
        return ProgramPaths(tt::makeProgramFolder(dir / name)).workingDb();
    }
    // Fills `file` with rows whose a1 is drawn from `values` (kNull for NULL)
    // and whose a0 names the row, then removes the last rows so that the id
    // counter stands above the largest id.
    void fill(const fs::path& file, const std::vector<std::string>& values, int rows) {
        Database db;
        ASSERT_TRUE(db.open(file).ok());
        auto withValue = db.prepare(*statements::insertRow(2));
        auto withNull = db.prepare(*statements::insertRow(1));
        ASSERT_TRUE(db.begin().ok());
        std::mt19937 random(12345);
        for (int r = 0; r < rows; ++r) {
            const std::string& v = values[random() % values.size()];
            std::string name = "row" + std::to_string(r);
            ASSERT_TRUE((v == kNull ? withNull->run({name}) : withValue->run({name, v})).ok());
        }
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
                                  "from wen order by id",
                                  {}},
                                 rows, n)
                        .ok());
        auto seq = db.readNumber({"select seq from sqlite_sequence where name='wen'", {}});
        rows.push_back("sequence " + std::to_string(seq.ok() ? *seq : -1));
        return rows;
    }
    // Runs dedupeScan and the one-statement SQL on copies; both must agree.
    DedupeCounts compareWithSql(const std::vector<std::string>& values, int rows) {
        fs::path ours = freshDb("ours"), sql = freshDb("sql");
        fill(ours, values, rows);
        fill(sql, values, rows);
        std::vector<std::string> before = contents(ours);
        Database db;
        EXPECT_TRUE(db.open(sql).ok());
        EXPECT_TRUE(
            db.run({"delete from wen where id not in (select min(id) from wen group by a1)", {}})
                .ok());
        EXPECT_TRUE(db.open(ours).ok());
        int64_t calls = 0;
        auto counts = dedupeScan(db, 1, [&](int64_t n) {
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

// Few groups take the copy-out way, many the delete way; both match the engine.
TEST_F(DedupeScan, BothWaysLeaveWhatTheEngineLeaves) {
    DedupeCounts few = compareWithSql(trickyValues(), 3000);
    EXPECT_LT(few.groups * 8, few.rowsBefore);
    std::vector<std::string> values = trickyValues();
    for (int i = 0; i < 4000; ++i) values.push_back((i % 2 ? "Name" : "nAME") + std::to_string(i));
    DedupeCounts many = compareWithSql(values, 3000);
    EXPECT_GE(many.groups * 8, many.rowsBefore);
    EXPECT_GT(many.deleted, 0);
}

TEST_F(DedupeScan, StoppingOrAWrongColumnLeavesTheTableAsItWas) {
    fs::path file = freshDb("program");
    fill(file, trickyValues(), 500);
    std::vector<std::string> before = contents(file);
    Database db;
    ASSERT_TRUE(db.open(file).ok());
    auto stopped = dedupeScan(db, 1, [](int64_t n) {
        return n > 5 ? Status(Error::cancelled("没有删除任何行。")) : Status::Ok();
    });
    EXPECT_TRUE(tt::failsWith(stopped, err::kCancelled));
    for (int column : {-1, 51})
        EXPECT_TRUE(tt::failsWith(dedupeScan(db, column, [](int64_t) { return Status::Ok(); }),
                                  err::kNoSuchColumn));
    // The connection is usable again: no transaction was left open.
    EXPECT_TRUE(db.run({"insert into wen (a0) values ('x')", {}}).ok());
    EXPECT_TRUE(db.run({"delete from wen where a0='x'", {}}).ok());
    db.release();
    std::vector<std::string> after = contents(file);
    after.back() = before.back();  // the probe row moved the id counter on
    EXPECT_EQ(after, before);
}
