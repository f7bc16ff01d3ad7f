// The row import: what reaches wen, counters, pauses, refusals and errors.
#include <sqlite3.h>

#include "core/statements.h"
#include "tests/support/action_fixture.h"

using namespace tabrovin;
using tabrovin::testing::ActionTest;

class ImportRows : public ActionTest {
  protected:
    // Chooses `book` and starts the import with the given ticks (all when empty).
    void importBook(const std::string& book, const std::vector<int>& untick = {}) {
        window.nextFiles.push_back(book);
        cmdClick(session, 6);
        for (int i : untick) window.setChecked(i, false);
        cmdClick(session, 5);
    }
    static std::vector<std::vector<std::string>> numbered(int rows, int columns) {
        std::vector<std::vector<std::string>> sheet;
        std::vector<std::string> header;
        for (int c = 0; c < columns; ++c) header.push_back("h" + std::to_string(c));
        sheet.push_back(header);
        for (int r = 1; r <= rows; ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < columns; ++c) row.push_back(std::to_string(r * 100 + c));
            sheet.push_back(row);
        }
        return sheet;
    }
};

TEST_F(ImportRows, TickedColumnsGoToA0UpwardsAndComboNamesThem) {
    auto book = writeXls("a.xls", {{{"名", "skip", "备注", "x"},
                                    {"张三", "no", "it's", "1"},
                                    {"", "no", "", ""},
                                    {std::string("a\0b", 3), "no", "c", ""},
                                    {"李四", "no", "say \"hi\"\nbye", "2"}}});
    importBook(book, {1, 3});
    EXPECT_EQ(lastMessage().text, "导入完成了!");
    EXPECT_EQ(lastMessage().title, "Tabrovin");
    using T = std::vector<std::vector<std::string>>;
    EXPECT_EQ(table(3), (T{{"张三", "it's", "<null>"},
                           {"", "", "<null>"},  // empty cells arrive as empty text
                           {"ab", "c", "<null>"},
                           {"李四", "say \"hi\"\nbye", "<null>"}}));
    ASSERT_EQ(window.comboCount(), 2);
    EXPECT_EQ(window.comboItem(1), "备注");
    EXPECT_EQ(window.comboIndex(), 0);
    EXPECT_EQ(window.buttonStates(), "1111111");
    EXPECT_FALSE(window.list1Enabled());
    EXPECT_EQ(window.caption(Label::Label8), "4");
}

TEST_F(ImportRows, CounterShowsBlockBoundsAndPausesFollowTheInterval) {
    auto book = writeXls("n.xls", {numbered(120, 2)});
    window.setText(TextBox::Text5, "0");  // a pause after every row
    std::vector<std::string> shown;
    window.onProcessEvents = [&] {
        auto c = window.caption(Label::Label8);
        if (shown.empty() || shown.back() != c) shown.push_back(c);
    };
    importBook(book);
    EXPECT_EQ(shown, (std::vector<std::string>{"52", "102", "122"}));
    EXPECT_EQ(window.caption(Label::Label8), "120");
    EXPECT_EQ(session.pauseCount, 120);
    EXPECT_EQ(rowCount(), 120);
    EXPECT_EQ(table(1).back()[0], "12000");

    session.pauseCount = 0;
    window.setText(TextBox::Text5, "50");  // every 51 rows: after rows 51 and 102
    importBook(book);
    EXPECT_EQ(session.pauseCount, 2);
    int bar = 90;  // grows by 500 a pause and starts again near the window's width
    for (int i = 0; i < 122; ++i) bar = 6500 - bar <= 500 ? 0 : bar + 500;
    EXPECT_EQ(window.widthTwips(Label::Label1), bar);
}

TEST_F(ImportRows, FortyNineRowsAndHeaderOnlySheets) {
    importBook(writeXls("49.xls", {numbered(49, 1)}));
    EXPECT_EQ(rowCount(), 49);
    EXPECT_EQ(window.caption(Label::Label8), "49");

    auto book = writeXls("h.xls", {numbered(3, 2), {{"only", "header"}}});
    window.nextFiles.push_back(book);
    cmdClick(session, 6);  // sheet 1 lists its two columns
    window.setText(TextBox::Text4, "2");
    cmdClick(session, 5);
    EXPECT_EQ(lastMessage().text, "导入完成了!");
    EXPECT_EQ(window.caption(Label::Label8), "0");
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(ImportRows, NoTickedColumnIsAnErrorThatLeavesButtonsUsable) {
    importBook(writeXls("a.xls", {numbered(2, 2)}), {0, 1});
    EXPECT_EQ(lastMessage().title,
              "ZazIV : 导入数据2出错! # " + std::to_string(err::kInvalidArgument));
    EXPECT_EQ(window.buttonStates(), "1111111");
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(ImportRows, MoreThan51TickedIsRefusedBeforeAnythingChanges) {
    importBook(writeXls("w.xls", {numbered(2, 53)}));
    EXPECT_EQ(lastMessage().icon, Icon::Information);
    EXPECT_NE(lastMessage().text.find("53"), std::string::npos);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(window.comboCount(), 0);
    EXPECT_TRUE(window.list1Enabled());
    EXPECT_EQ(window.buttonStates(), "0000010");  // still ready to import after unticking

    window.setChecked(0, false);
    window.setChecked(1, false);
    cmdClick(session, 5);
    EXPECT_EQ(lastMessage().text, "导入完成了!");
    EXPECT_EQ(table(51)[0][50], "152");
}

TEST_F(ImportRows, AnErrorMidwayKeepsTheRowsBefore) {
    auto book = writeXls("big.xls", {numbered(300, 1)});
    window.setText(TextBox::Text5, "99");
    sqlite3* other = nullptr;
    window.onProcessEvents = [&] {
        if (other) return;
        // Another program takes the database for itself during the first pause.
        sqlite3_open(session.paths.workingDb().string().c_str(), &other);
        sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    };
    importBook(book);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(lastMessage().icon, Icon::Critical);
    EXPECT_EQ(lastMessage().title.rfind("ZazIV : 导入数据2出错! # ", 0), 0u);
    EXPECT_EQ(rowCount(), 100);
    EXPECT_EQ(window.buttonStates(), "1111111");
    EXPECT_EQ(window.comboCount(), 0);
}

TEST_F(ImportRows, NumbersAreNotAcceptedInPlaceOfTexts) {
    window.nextFiles.push_back(writeXls("a.xls", {numbered(2, 1)}));
    cmdClick(session, 6);
    window.setText(TextBox::Text5, "many");
    cmdClick(session, 5);
    EXPECT_EQ(lastMessage().title, "ZazIV : 导入数据2出错! # 13");
    EXPECT_EQ(window.buttonStates(), "0000010");  // refused before anything was disabled
}
