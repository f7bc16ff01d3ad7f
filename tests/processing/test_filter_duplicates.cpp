// Duplicate filtering on a real working table.
#include "tests/support/action_fixture.h"

using namespace tabrovin;
using tabrovin::testing::ActionTest;
using Rows = std::vector<std::vector<std::string>>;

class FilterDuplicates : public ActionTest {
  protected:
    void SetUp() override {
        for (const char* name : {"名", "城"}) window.comboAdd(name);
        window.setComboIndex(1);
    }
};

TEST_F(FilterDuplicates, KeepsFirstRowOfEachValueIgnoringCase) {
    fill({{"a", "Beijing"},
          {"b", "beijing"},
          {"c", "上海"},
          {"d", ""},
          {"e", "上海"},
          {"f", ""},
          {"g", "BEIJING "}});
    ASSERT_TRUE(std::filesystem::exists(session.paths.workingDb()));
    {
        // Rows without any value in a1 form one group too.
        Database db;
        ASSERT_TRUE(db.open(session.paths.workingDb()).ok());
        ASSERT_TRUE(db.run({"insert into wen (a0) values ('h'), ('i')", {}}).ok());
    }
    std::string buttonsAtMessage;
    window.onMessage = [&](const ShownMessage&) { buttonsAtMessage = window.buttonStates(); };
    cmdClick(session, 4);
    EXPECT_EQ(lastMessage().text, "去重复完成了,总数还有5!");
    EXPECT_EQ(lastMessage().title, "Tabrovin");
    EXPECT_EQ(buttonsAtMessage, "1111111");  // enabled before the closing message
    EXPECT_EQ(
        table(2),
        (Rows{{"a", "Beijing"}, {"c", "上海"}, {"d", ""}, {"g", "BEIJING "}, {"h", "<null>"}}));
    EXPECT_EQ(window.caption(Label::Label6), "5");
    EXPECT_EQ(window.caption(Label::Label8), "5");
}

TEST_F(FilterDuplicates, DistinctAndEmptyTablesKeepEverything) {
    cmdClick(session, 4);
    EXPECT_EQ(lastMessage().text, "去重复完成了,总数还有0!");
    fill({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    cmdClick(session, 4);
    EXPECT_EQ(lastMessage().text, "去重复完成了,总数还有3!");
    EXPECT_EQ(table(2).size(), 3u);
}

TEST_F(FilterDuplicates, PausesEveryIntervalPlusOneGroups) {
    Rows rows;
    for (int i = 0; i < 1000; ++i) rows.push_back({"x", std::to_string(i)});
    fill(rows);
    std::vector<std::string> shownAtPause;
    window.onProcessEvents = [&] { shownAtPause.push_back(window.caption(Label::Label8)); };
    cmdClick(session, 4);  // default 500: one pause, after group 501
    EXPECT_EQ(session.pauseCount, 1);
    window.setText(TextBox::Text5, "0");
    cmdClick(session, 4);
    EXPECT_EQ(session.pauseCount, 1001);
    window.setText(TextBox::Text5, "-5");
    cmdClick(session, 4);
    EXPECT_EQ(session.pauseCount, 2001);
    EXPECT_EQ(rowCount(), 1000);
}

TEST_F(FilterDuplicates, ErrorsLeaveEveryRowAndEnableButtons) {
    fill({{"a", "1"}, {"b", "1"}});
    window.setComboIndex(-1);
    cmdClick(session, 4);
    EXPECT_EQ(lastMessage().title, "删除1出错 # " + std::to_string(err::kNoSuchColumn));
    EXPECT_NE(lastMessage().text.find("-1"), std::string::npos);
    EXPECT_EQ(window.buttonStates(), "1111111");
    window.setComboIndex(1);
    window.setText(TextBox::Text5, "abc");
    cmdClick(session, 4);
    EXPECT_EQ(lastMessage().title, "删除1出错 # 13");
    EXPECT_EQ(rowCount(), 2);

    std::filesystem::remove(session.paths.workingDb());
    cmdClick(session, 4);
    EXPECT_EQ(lastMessage().title, "删除1出错 # " + std::to_string(err::kFileNotFound));
    EXPECT_NE(lastMessage().text.find("data.mdb"), std::string::npos);
}
