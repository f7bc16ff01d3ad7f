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
    // The command line on this folder, `args` as a shell reads them.
    std::string line(const std::string& args) {
        return tt::batchCommand() + " --home " + tt::shellQuote(dir.path().string()) + " " + args;
    }
    std::string book;
};

}  // namespace

TEST_F(BatchGuards, ArgumentsThatCannotMeanWhatTheySayAreRefused) {
    // "北" in GBK: not UTF-8, so it would match nothing or be stored as U+FFFD.
    for (const char* args :
         {"delete --column 0 --keyword $'\\xb1\\xb1'", "delete --column 0 --column 1 --keyword 甲",
          "rows --count 1 --count 2", "rows --count 9223372036854775808",
          "rows --from 99999999999999999999"}) {
        EXPECT_TRUE(tt::exited(tt::run("bash -c " + tt::shellQuote(line(args))), 2)) << args;
        EXPECT_EQ(rowCount(), 2) << args;
    }
    EXPECT_TRUE(
        tt::exited(batch("rows --from 9223372036854775807 --count 9223372036854775807"), 0));
    EXPECT_EQ(batch("rows --count 1").output, "编号\t名\t号\n1\t甲\t1\n");
    EXPECT_TRUE(tt::exited(tt::run(tt::batchCommand() + " --home /nonexistent/folder-x rows"), 2,
                           "不存在：/nonexistent/folder-x"));
}

TEST_F(BatchGuards, RowsThatCannotBeWrittenFailLoudly) {
    for (const char* redirect : {" > /dev/full", " >&-"}) {
        // Grouped, so that only the rows go where `redirect` sends them.
        auto r = tt::run("{ " + line("rows") + redirect + "; }");
        EXPECT_NE(r.exitCode, 0) << redirect;
        EXPECT_TRUE(tt::contains(r.output, "无法写出数据行")) << redirect;
    }
    // With stdout closed the lock file would take its number and get the rows.
    EXPECT_EQ(tt::readFile(dir / "data" / ".tabrovin.lock"), "");
}

TEST_F(BatchGuards, ALockThatCannotBeTakenIsTitledWithTheRefusedStep) {
    std::filesystem::remove(dir / "data" / ".tabrovin.lock");
    ASSERT_EQ(::mkfifo((dir / "data" / ".tabrovin.lock").c_str(), 0600), 0);
    EXPECT_TRUE(tt::exited(batch("rows"), 1, "[查看数据出错 # 75]"));
    EXPECT_TRUE(tt::contains(batch("delete --column 0 --keyword 甲").output, "[删除2出错 # 75]"));
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
