// Which database files may stand in for the working database.
#include <gtest/gtest.h>

#include "core/working_files.h"
#include "tests/support/raw_database.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
namespace fs = std::filesystem;

using tt::blankTemplate;
using tt::rawSql;

// Each way a template can be unfit, with the reason the user is told.
TEST(TemplateCheck, OnlyAnEmptyWenWithA0ToA50Passes) {
    tt::TempDir dir;
    EXPECT_TRUE(checkWorkingTemplate(blankTemplate()).ok());
    EXPECT_EQ(checkWorkingTemplate(dir / "none.mdb").error().number, err::kFileNotFound);
    auto wen = [](int last) {
        std::string cols = "CREATE TABLE wen (id INTEGER PRIMARY KEY AUTOINCREMENT, idd INTEGER";
        for (int k = 0; k <= last; ++k) cols += ", a" + std::to_string(k) + " TEXT";
        return cols + ");";
    };
    std::string noise;
    for (int i = 0; i < 20000; ++i) noise += static_cast<char>((i * 7919) % 251);
    // A template with many pages, cut in half.
    const fs::path big = dir / "big.mdb";
    rawSql(big, wen(50) +
                    "CREATE TABLE pad (x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                    "SELECT i+1 FROM n WHERE i<3000) INSERT INTO pad SELECT "
                    "hex(randomblob(40)) FROM n;");
    const std::string whole = tt::readFile(big);
    tt::writeFile(big, whole.substr(0, whole.size() / 2));
    tt::writeFile(dir / "random.mdb", noise);
    rawSql(dir / "other.mdb", "CREATE TABLE other (id INTEGER)");
    rawSql(dir / "short.mdb", wen(49));
    rawSql(dir / "full.mdb", wen(50) + "INSERT INTO wen (a0) VALUES ('x')");
    for (auto [name, why] : {std::pair{"random.mdb", "不是数据库文件或已损坏"},
                             {"big.mdb", "损坏"},
                             {"other.mdb", "没有工作数据表 wen"},
                             {"short.mdb", "缺少列 a50"},
                             {"full.mdb", "不是空的"}}) {
        EXPECT_TRUE(tt::failsWith(checkWorkingTemplate(dir / name), err::kBadTemplate, why))
            << name;
    }
    const std::string all = wen(50);  // names compare without regard to case
    rawSql(dir / "upper.mdb",
           "CREATE TABLE WEN (ID INTEGER PRIMARY KEY, IDD" + all.substr(all.find(", a0")));
    EXPECT_TRUE(checkWorkingTemplate(dir / "upper.mdb").ok());
}
