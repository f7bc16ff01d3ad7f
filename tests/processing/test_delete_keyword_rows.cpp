// Keyword deletion on a real working table.
#include "tests/support/action_fixture.h"

using namespace tabrovin;
using tabrovin::testing::ActionTest;

class DeleteKeywordRows : public ActionTest {
  protected:
    void SetUp() override {
        window.comboAdd("值");
        window.setComboIndex(0);
        fill({{"12"}, {"312"}, {"1234"}, {"1-2"}, {"it's"}, {"IT'S ok"}, {"its"}, {"50%"}, {""}});
    }
    std::vector<std::string> values() {
        std::vector<std::string> out;
        for (const auto& r : table(1)) out.push_back(r[0]);
        return out;
    }
};

TEST_F(DeleteKeywordRows, MatchesAnywhereQuotesAndWildcards) {
    std::string buttonsAtMessage;
    window.onMessage = [&](const ShownMessage&) { buttonsAtMessage = window.buttonStates(); };
    window.setText(TextBox::Text2, "12");
    cmdClick(session, 3);
    EXPECT_EQ(lastMessage().text, "去重复完成了,总数还有6!");
    EXPECT_EQ(buttonsAtMessage, "0000000");  // enabled only after the message
    EXPECT_EQ(window.buttonStates(), "1111111");
    EXPECT_EQ(window.caption(Label::Label6), "6");

    window.setText(TextBox::Text2, "it's");
    cmdClick(session, 3);
    EXPECT_EQ(values(), (std::vector<std::string>{"1-2", "its", "50%", ""}));
    window.setText(TextBox::Text2, "5%");
    cmdClick(session, 3);
    EXPECT_EQ(values(), (std::vector<std::string>{"1-2", "its", ""}));
    window.setText(TextBox::Text2, "1%2");
    cmdClick(session, 3);
    EXPECT_EQ(values(), (std::vector<std::string>{"its", ""}));
    EXPECT_EQ(window.caption(Label::Label8), "0");  // untouched
}

TEST_F(DeleteKeywordRows, EmptyKeywordAndNoColumnAreRefused) {
    window.setText(TextBox::Text2, "");
    cmdClick(session, 3);
    EXPECT_EQ(lastMessage().icon, Icon::Information);
    EXPECT_EQ(rowCount(), 9);
    EXPECT_EQ(window.buttonStates(), "1111101");

    window.setText(TextBox::Text2, "1");
    window.setComboIndex(-1);
    cmdClick(session, 3);
    EXPECT_EQ(lastMessage().title, "删除2出错 # " + std::to_string(err::kNoSuchColumn));
    EXPECT_EQ(rowCount(), 9);
    EXPECT_EQ(window.buttonStates(), "1111111");
}

TEST_F(DeleteKeywordRows, SecondActionWaitsForTheFirst) {
    // A click arriving while an action runs (e.g. during a pause) starts nothing.
    window.setText(TextBox::Text2, "12");
    window.onMessage = [&](const ShownMessage&) { cmdClick(session, 3); };
    cmdClick(session, 3);
    EXPECT_EQ(window.messages.size(), 1u);
}
