// The two export lists, the move button and the heading editor.
#include "export/export_lists.h"
#include "tests/support/action_fixture.h"

using namespace tabrovin;
using tabrovin::testing::ActionTest;
using Items = std::vector<std::string>;

class ExportLists : public ActionTest {
  protected:
    void SetUp() override {
        for (const char* name : {"名", "电话", "城", "备注", "编号"}) window.comboAdd(name);
        menuClick(session, 1);
    }
    Items items(ListBox l) {
        Items out;
        for (int i = 0; i < window.count(l); ++i) out.push_back(window.item(l, i));
        return out;
    }
    void pick(int column) {  // double-click the List2 entry of `column`
        for (int i = 0; i < window.count(ListBox::List2); ++i)
            if (parseEntry(window.item(ListBox::List2, i))->column == column)
                window.setSelectedIndex(ListBox::List2, i);
        list2DblClick(session);
    }
    void click3(int at) {
        window.setSelectedIndex(ListBox::List3, at);
        list3Click(session);
    }
};

TEST_F(ExportLists, OpeningTheViewRebuildsFromTheColumnChooser) {
    EXPECT_EQ(window.view(), View::Export);
    EXPECT_EQ(items(ListBox::List2),
              (Items{"名|@|0", "电话|@|1", "城|@|2", "备注|@|3", "编号|@|4"}));
    pick(4);
    pick(0);
    pick(2);
    EXPECT_EQ(items(ListBox::List3), (Items{"编号|@|4", "名|@|0", "城|@|2"}));
    EXPECT_EQ(items(ListBox::List2), (Items{"电话|@|1", "备注|@|3"}));
    menuClick(session, 1);  // a second opening starts over
    EXPECT_EQ(items(ListBox::List3), Items{});
    EXPECT_EQ(window.count(ListBox::List2), 5);
    menuClick(session, 0);
    EXPECT_EQ(window.view(), View::ImportAndProcessing);
    EXPECT_EQ(window.count(ListBox::List2), 5);  // not refreshed
}

TEST_F(ExportLists, MoveButtonAlternatesAndKeepsOrder) {
    pick(3);
    cmdClick(session, 1);
    EXPECT_EQ(window.buttonCaption(1), "<<");
    EXPECT_EQ(items(ListBox::List3),
              (Items{"备注|@|3", "名|@|0", "电话|@|1", "城|@|2", "编号|@|4"}));
    cmdClick(session, 1);
    EXPECT_EQ(window.buttonCaption(1), ">>");
    EXPECT_EQ(items(ListBox::List2),
              (Items{"备注|@|3", "名|@|0", "电话|@|1", "城|@|2", "编号|@|4"}));
    EXPECT_EQ(window.buttonStates(), "1111111");

    window.comboClear();
    menuClick(session, 1);
    cmdClick(session, 1);  // both lists empty: only the caption flips
    EXPECT_EQ(window.buttonCaption(1), "<<");
    EXPECT_EQ(window.count(ListBox::List3), 0);
}

TEST_F(ExportLists, RenameChangesTheClickedEntryOnly) {
    pick(1);
    pick(2);
    click3(1);
    EXPECT_EQ(window.text(TextBox::Text3), "城");
    EXPECT_EQ(window.caption(Label::Label15), "2");
    EXPECT_EQ(window.caption(Label::Label16), "1");
    window.setText(TextBox::Text3, "城市");
    cmdClick(session, 0);
    EXPECT_EQ(lastMessage().text, "修改了导出Excel的某一个列名称.");
    EXPECT_EQ(items(ListBox::List3), (Items{"电话|@|1", "城市|@|2"}));
    EXPECT_EQ(window.text(TextBox::Text3), "");

    window.setText(TextBox::Text3, "");
    cmdClick(session, 0);
    EXPECT_EQ(lastMessage().text, "当前不能为空!");
    window.setText(TextBox::Text3, "a|@|b");
    cmdClick(session, 0);
    EXPECT_EQ(items(ListBox::List3), (Items{"电话|@|1", "城市|@|2"}));

    // The renamed entry keeps its heading through a move back and forth.
    window.setSelectedIndex(ListBox::List3, 1);
    list3DblClick(session);
    pick(2);
    EXPECT_EQ(items(ListBox::List3).back(), "城市|@|2");
}

TEST_F(ExportLists, StaleRenamesAndEmptySelectionsChangeNothing) {
    pick(0);
    pick(1);
    click3(1);
    window.setSelectedIndex(ListBox::List3, 1);
    list3DblClick(session);  // the clicked entry went back to List2
    size_t shown = window.messages.size();
    window.setText(TextBox::Text3, "新");
    cmdClick(session, 0);  // position 1 is past the end now
    EXPECT_EQ(items(ListBox::List3), (Items{"名|@|0"}));
    pick(3);
    window.setText(TextBox::Text3, "新");
    cmdClick(session, 0);  // position 1 now holds another column
    EXPECT_EQ(items(ListBox::List3), (Items{"名|@|0", "备注|@|3"}));
    EXPECT_EQ(window.messages.size(), shown);

    window.setSelectedIndex(ListBox::List2, -1);
    list2DblClick(session);
    window.setSelectedIndex(ListBox::List3, -1);
    list3DblClick(session);
    EXPECT_EQ(window.count(ListBox::List3), 2);
    EXPECT_EQ(window.count(ListBox::List2), 3);
}

TEST(ExportEntry, SplitsAtTheSeparator) {
    EXPECT_EQ(parseEntry("Tel|@|3")->heading, "Tel");
    EXPECT_EQ(parseEntry("Tel|@|3")->column, 3);
    EXPECT_EQ(parseEntry("|@|0")->heading, "");
    EXPECT_EQ(parseEntry("a|@|12|@|x")->column, 12);
    EXPECT_FALSE(parseEntry("Tel").has_value());
    EXPECT_FALSE(parseEntry("Tel|@|").has_value());
    EXPECT_FALSE(parseEntry("Tel|@|-1").has_value());
}
