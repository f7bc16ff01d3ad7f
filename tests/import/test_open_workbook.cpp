// Choosing a workbook: database reset, header listing, counters, buttons.
#include "core/statements.h"
#include "tests/support/action_fixture.h"

using namespace tabrovin;
using tabrovin::testing::ActionTest;

class OpenWorkbook : public ActionTest {
  protected:
    void choose(const std::string& path) {
        window.nextFiles.push_back(path);
        cmdClick(session, 6);
    }
};

TEST_F(OpenWorkbook, ListsHeadersTickedAndLeavesOnlyImportEnabled) {
    fill({{"old row"}});
    auto book = writeXls("a.xls", {{{"姓名", "", "电话"}, {"张三", "x", "138"}, {"李四"}}});
    choose(book);
    EXPECT_TRUE(window.messages.empty()) << lastMessage().text;
    ASSERT_EQ(window.count(ListBox::List1), 3);
    EXPECT_EQ(window.item(ListBox::List1, 0), "姓名");
    EXPECT_EQ(window.item(ListBox::List1, 1), "");  // blank headers are listed and ticked too
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(window.checked(i));
    EXPECT_EQ(window.caption(Label::Label6), "2");
    EXPECT_EQ(window.caption(Label::Label7), "2");
    EXPECT_EQ(window.buttonStates(), "0000010");
    EXPECT_EQ(session.xlsPath, book);
    EXPECT_EQ(rowCount(), 0);  // the working database starts over
}

TEST_F(OpenWorkbook, SheetNumberBelowOneMeansFirstAndTextIsAnError) {
    auto book = writeXls("b.xls", {{{"one"}, {"1"}}, {{"two", "more"}, {"2", "3"}}});
    for (const char* n : {"0", "-3"}) {
        window.setText(TextBox::Text4, n);
        choose(book);
        ASSERT_EQ(window.count(ListBox::List1), 1) << n;
        EXPECT_EQ(window.item(ListBox::List1, 0), "one");
    }
    window.setText(TextBox::Text4, "2");
    choose(book);
    EXPECT_EQ(window.count(ListBox::List1), 2);

    fill({{"kept"}});
    window.setText(TextBox::Text4, "abc");
    choose(book);
    EXPECT_EQ(lastMessage().title, "ZazIV : 导入数据1出错! # 13");
    EXPECT_EQ(lastMessage().icon, Icon::Critical);
    EXPECT_EQ(window.count(ListBox::List1), 2);  // nothing changed, not even List1
    EXPECT_EQ(rowCount(), 1);

    window.setText(TextBox::Text4, "3");
    choose(book);
    EXPECT_EQ(lastMessage().title, "ZazIV : 导入数据1出错! # " + std::to_string(err::kSubscript));
    EXPECT_EQ(window.count(ListBox::List1), 0);
    EXPECT_EQ(rowCount(), 0);  // reset before the sheet was found missing
}

TEST_F(OpenWorkbook, HeaderOnlyOrEmptySheetKeepsButtons) {
    auto book = writeXls("h.xls", {{{"a", "b"}}, {}});
    choose(book);
    EXPECT_EQ(window.caption(Label::Label6), "0");
    EXPECT_EQ(window.count(ListBox::List1), 0);
    EXPECT_EQ(window.buttonStates(), "1111101");
    window.setText(TextBox::Text4, "2");
    choose(book);
    EXPECT_EQ(window.caption(Label::Label6), "0");
    EXPECT_EQ(window.caption(Label::Label7), "0");
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(OpenWorkbook, CancelledChooserChangesNothing) {
    fill({{"kept"}});
    cmdClick(session, 6);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(lastMessage().text, "Excel地址不能为空,无法完成，请选择!");
    EXPECT_EQ(lastMessage().title, "Tabrovin");
    EXPECT_EQ(lastMessage().icon, Icon::Exclamation);
    EXPECT_EQ(window.buttonStates(), "1111101");
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(OpenWorkbook, BadFilesAndMissingTemplateAreReported) {
    auto junk = dir / "junk.xls";
    tabrovin::testing::writeFile(junk, std::string(3000, '\xFF'));
    choose(junk.string());
    EXPECT_EQ(lastMessage().icon, Icon::Critical);
    EXPECT_EQ(lastMessage().title.rfind("ZazIV : 导入数据1出错! # ", 0), 0u);
    EXPECT_EQ(window.count(ListBox::List1), 0);
    choose((dir / "missing.xls").string());
    EXPECT_NE(lastMessage().text.find("missing.xls"), std::string::npos);

    std::filesystem::remove(session.paths.blankDb());
    choose(writeXls("c.xls", {{{"a"}, {"1"}}}));
    EXPECT_NE(lastMessage().text.find("B.mdb"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(session.paths.workingDb()));  // not damaged
}
