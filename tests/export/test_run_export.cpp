// The export run: pages by row position, files read back by xlrd.
#include <sstream>

#include "export/write_export_workbook.h"
#include "tests/support/action_fixture.h"

using namespace tabrovin;
using tabrovin::testing::ActionTest;
namespace tt = tabrovin::testing;
using Rows = std::vector<std::vector<std::string>>;

class RunExport : public ActionTest {
  protected:
    void SetUp() override {
        for (const char* name : {"名", "电话", "城"}) window.comboAdd(name);
    }
    // Rows r = 1..n: {"n<r>", "p<r>", "c<r>"}.
    void fillNumbered(int n) {
        Rows rows;
        for (int r = 1; r <= n; ++r) {
            auto s = std::to_string(r);
            rows.push_back({"n" + s, "p" + s, "c" + s});
        }
        fill(rows);
    }
    void chooseAll() {
        menuClick(session, 1);
        cmdClick(session, 1);
    }
    void exportRows(const std::string& n) {
        window.setText(TextBox::Text1, n);
        cmdClick(session, 2);
    }
    // Sheet 1 of a written workbook, read by xlrd, every cell as text.
    Rows readBack(int page) {
        auto file = session.paths.exportFile(page);
        auto r = tt::runPython(
            "import sys, xlrd\n"
            "sh = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
            "for i in range(sh.nrows):\n"
            "    print('\\t'.join(str(v) for v in sh.row_values(i)).replace('\\n', '\\\\n'))\n",
            tt::shellQuote(file.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        Rows rows;
        std::stringstream lines(r.output);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> cells;
            std::stringstream fields(line);
            for (std::string f; std::getline(fields, f, '\t');) cells.push_back(f);
            rows.push_back(cells);
        }
        return rows;
    }
    int files() {
        int n = 0;
        for (auto& e : std::filesystem::directory_iterator(session.paths.exportDir()))
            n += !!e.is_regular_file();
        return n;
    }
};

TEST_F(RunExport, PagesFollowRowPositionsAcrossIdGaps) {
    fillNumbered(260);
    {
        Database db;
        ASSERT_TRUE(db.open(session.paths.workingDb()).ok());
        ASSERT_TRUE(db.run({"delete from wen where id % 26 = 0", {}}).ok());  // 10 gaps
    }
    menuClick(session, 1);
    for (int column : {2, 0}) {
        for (int i = 0; i < window.count(ListBox::List2); ++i)
            if (window.item(ListBox::List2, i).ends_with("|@|" + std::to_string(column)))
                window.setSelectedIndex(ListBox::List2, i);
        list2DblClick(session);
    }
    exportRows("100");
    EXPECT_EQ(lastMessage().text, " 完成了导出,3页,存于[导出]文件夹下.");
    EXPECT_EQ(window.buttonStates(), "1111111");
    EXPECT_EQ(window.widthTwips(Label::Label1), 5000);
    auto p1 = readBack(1), p3 = readBack(3);
    ASSERT_EQ(p1.size(), 101u);
    EXPECT_EQ(p1[0], (std::vector<std::string>{"城", "名"}));
    EXPECT_EQ(p1[1], (std::vector<std::string>{"c1", "n1"}));
    EXPECT_EQ(p1[100], (std::vector<std::string>{"c103", "n103"}));  // ids 26, 52 and 78 are gone
    ASSERT_EQ(p3.size(), 51u);
    EXPECT_EQ(p3.back(), (std::vector<std::string>{"c259", "n259"}));
    EXPECT_EQ(readBack(2).size(), 101u);
    EXPECT_EQ(files(), 3);
}

TEST_F(RunExport, ExactMultiplesSingleRowsAndLargePages) {
    fillNumbered(6);
    chooseAll();
    exportRows("3");
    EXPECT_EQ(lastMessage().text, " 完成了导出,2页,存于[导出]文件夹下.");
    EXPECT_EQ(files(), 2);
    exportRows("1");
    EXPECT_EQ(lastMessage().text, " 完成了导出,6页,存于[导出]文件夹下.");
    EXPECT_EQ(readBack(6), (Rows{{"名", "电话", "城"}, {"n6", "p6", "c6"}}));
    exportRows("1000");
    EXPECT_EQ(lastMessage().text, " 完成了导出,1页,存于[导出]文件夹下.");
    EXPECT_EQ(readBack(1).size(), 7u);  // an earlier file of the same page is replaced
}

TEST_F(RunExport, APageWithoutRowsHoldsTheHeadingsOnly) {
    fillNumbered(3);
    ASSERT_TRUE(session.openConn().ok());
    PageWriter writer(session, {{"城", 2}, {"名", 0}});
    ASSERT_TRUE(writer.write(session.paths.exportFile(7), 3, 100).ok());
    EXPECT_EQ(readBack(7), (Rows{{"城", "名"}}));
}

TEST_F(RunExport, TextsSurviveAsTheyAre) {
    std::string longText;
    for (int i = 0; i < 5000; ++i) longText += "长";
    fill({{"it's \"q\"", "0012", "a\nb"}, {longText, "", "中文"}});
    chooseAll();
    exportRows("10");
    auto rows = readBack(1);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"it's \"q\"", "0012", "a\\nb"}));
    EXPECT_EQ(rows[2][0], longText);
    EXPECT_EQ(rows[2][2], "中文");
}

TEST_F(RunExport, RefusalsWriteNothing) {
    chooseAll();
    exportRows("10");  // empty table
    EXPECT_EQ(lastMessage().icon, Icon::Information);
    EXPECT_EQ(files(), 0);
    fillNumbered(3);
    for (const char* bad : {"0", "-1", "abc", "", "2.5", "65536"}) {
        exportRows(bad);
        EXPECT_EQ(lastMessage().icon, Icon::Information) << bad;
        EXPECT_EQ(window.buttonStates(), "1111111") << bad;
    }
    EXPECT_EQ(files(), 0);
    menuClick(session, 1);  // List3 empty
    exportRows("10");
    EXPECT_EQ(lastMessage().text, "没有要导出的列!");
}

TEST_F(RunExport, MissingOutputFolderReportsEachPageAndFinishes) {
    fillNumbered(5);
    std::filesystem::remove_all(session.paths.exportDir());
    chooseAll();
    exportRows("2");
    ASSERT_EQ(window.messages.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(window.messages[i].title,
                  "ZazIV : 导出数据1出错! # " + std::to_string(err::kPathNotFound));
    EXPECT_EQ(lastMessage().text, " 完成了导出,3页,存于[导出]文件夹下.");
    EXPECT_FALSE(std::filesystem::exists(session.paths.exportDir()));
}
