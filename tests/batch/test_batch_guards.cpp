// tabrovin-batch given what a careless script or a hostile folder gives it:
// arguments it must refuse, outputs that fail, a lock it cannot take.
#include <unistd.h>

#include "tests/support/workspace_fixture.h"

namespace tt = tabrovin::testing;

namespace {

class BatchGuards : public tt::WorkspaceTest {
  protected:
    void SetUp() override {
        book =
            tt::shellQuote(writeXls("b.xls", {{{"名", "号"}, {"甲", "1"}, {"乙", "2"}}}).string());
        ASSERT_EQ(batch("import " + book).exitCode, 0);
    }
    std::string book;
};

}  // namespace

TEST_F(BatchGuards, ArgumentsThatCannotMeanWhatTheySayAreRefused) {
    // "北" in GBK: not UTF-8, so it would match nothing or be stored as U+FFFD.
    for (const std::string& args :
         {std::string("delete --column 0 --keyword $'\\xb1\\xb1'"),
          std::string("delete --column 0 --column 1 --keyword 甲"),
          std::string("rows --count 1 --count 2"), std::string("rows --count 9223372036854775808"),
          std::string("rows --from 99999999999999999999")}) {
        auto r =
            tt::run("bash -c " + tt::shellQuote(tt::batchCommand() + " --home " +
                                                tt::shellQuote(dir.path().string()) + " " + args));
        EXPECT_EQ(r.exitCode, 2) << args << "\n" << r.output;
        EXPECT_EQ(rowCount(), 2) << args;
    }
    auto whole = batch("rows --from 9223372036854775807 --count 9223372036854775807");
    EXPECT_EQ(whole.exitCode, 0) << whole.output;
    EXPECT_EQ(batch("rows --count 1").output, "编号\t名\t号\n1\t甲\t1\n");
    auto missing = tt::run(tt::batchCommand() + " --home /nonexistent/folder-x rows");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.output.find("不存在：/nonexistent/folder-x"), std::string::npos)
        << missing.output;
}

TEST_F(BatchGuards, RowsThatCannotBeWrittenFailLoudly) {
    for (const char* redirect : {" > /dev/full", " >&-"}) {
        // Grouped, so that only the rows go where `redirect` sends them.
        auto r = tt::run("{ " + tt::batchCommand() + " --home " +
                         tt::shellQuote(dir.path().string()) + " rows" + redirect + "; }");
        EXPECT_NE(r.exitCode, 0) << redirect;
        EXPECT_NE(r.output.find("无法写出数据行"), std::string::npos) << redirect << r.output;
    }
    // With stdout closed the lock file would take its number and get the rows.
    EXPECT_EQ(tt::readFile(dir / "data" / ".tabrovin.lock"), "");
}

TEST_F(BatchGuards, ALockThatCannotBeTakenIsTitledWithTheRefusedStep) {
    std::filesystem::remove(dir / "data" / ".tabrovin.lock");
    ASSERT_EQ(::mkfifo((dir / "data" / ".tabrovin.lock").c_str(), 0600), 0);
    auto rows = batch("rows");
    EXPECT_EQ(rows.exitCode, 1);
    EXPECT_NE(rows.output.find("[查看数据出错 # 75]"), std::string::npos) << rows.output;
    auto del = batch("delete --column 0 --keyword 甲");
    EXPECT_NE(del.output.find("[删除2出错 # 75]"), std::string::npos) << del.output;
    EXPECT_EQ(rowCount(), 2);
}

// Where the lock cannot be written (a CD, a read-only share) the steps that
// only read go on; those that change the table are refused.
TEST_F(BatchGuards, ReadingStepsGoOnWhereTheLockCannotBeWritten) {
    tt::UnwritableFile lock(dir / "data" / ".tabrovin.lock");
    if (!lock.active()) GTEST_SKIP() << lock.why();
    EXPECT_EQ(batch("rows --count 1").output, "编号\t名\t号\n1\t甲\t1\n");
    EXPECT_EQ(batch("export --col 0 --rows 1").output,
              "[Tabrovin]  完成了导出,2页,存于[导出]文件夹下.\n");
    EXPECT_NE(batch("delete --column 0 --keyword 甲").exitCode, 0);
    EXPECT_EQ(rowCount(), 2);
}
