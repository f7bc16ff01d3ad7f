// The import options in the window: the dialog in the tools menu, the note
// in step one while an option is not at its default, the options remembered,
// and appends of several chosen or dropped workbooks.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QMenu>
#include <QSpinBox>

#include "app/qt/import_options_dialog.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

class ImportOptionsTest : public GuiTest {
  protected:
    void TearDown() override {
        MainWindow::filesChooser = nullptr;
        GuiTest::TearDown();
    }
    // Sets the options through the dialog from the tools menu, and presses OK.
    void setOptions(int headerRow, int skipLast, bool append, bool sourceColumn) {
        find<QMenu>("toolsMenu")->aboutToShow();
        auto* action = find<QAction>("importOptions");
        ASSERT_TRUE(action->isEnabled());
        action->trigger();
        auto* dialog = find<ImportOptionsDialog>("importOptionsDialog");
        ASSERT_NE(dialog, nullptr);
        childOf<QSpinBox>(dialog, "headerRowBox")->setValue(headerRow);
        childOf<QSpinBox>(dialog, "skipLastBox")->setValue(skipLast);
        childOf<QCheckBox>(dialog, "appendBox")->setChecked(append);
        auto* source = childOf<QCheckBox>(dialog, "sourceColumnBox");
        EXPECT_EQ(source->isEnabled(), append) << "the source column goes with an append";
        source->setChecked(sourceColumn);
        childOf<QDialogButtonBox>(dialog, "importOptionsButtons")
            ->button(QDialogButtonBox::Ok)
            ->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString note() {
        auto* label = find<QLabel>("importOptionsLabel");
        return label->isVisible() ? label->text() : QString();
    }
    std::string report(const char* name, const char* body) {
        writeFile(dir / name, body);
        return (dir / name).string();
    }
};

// The options show in step one while not at their defaults and are
// remembered; they place the headings, and an append of several workbooks,
// chosen or dropped, is undone.
TEST_F(ImportOptionsTest, OptionsAreShownRememberedAndShapeTheImport) {
    open();
    EXPECT_EQ(note(), QString());
    setOptions(2, 1, false, false);
    EXPECT_EQ(note(), QString::fromUtf8("标题行 2 · 末尾跳过 1"));
    // Headings below a title, and a total row left out.
    chooseAndWait(report("r.csv", "某部门报表\n姓名,电话\n张三,1\n李四,2\n合计,3\n"));
    EXPECT_EQ(itemsOf("List1"), (std::vector<std::string>{"姓名", "电话"}));
    EXPECT_EQ(textOf("Label6"), "2");
    clickAndWait("cmd5");
    EXPECT_EQ(messages, std::vector<Message>{importDone()});
    EXPECT_EQ(tableRows(), 2);
    window.reset();
    open();
    EXPECT_EQ(note(), QString::fromUtf8("标题行 2 · 末尾跳过 1"));
    // A header row past the sheet is refused before the table is reset.
    messages.clear();
    setOptions(9, 0, false, false);
    chooseAndWait((dir / "r.csv").string());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("标题行 9"), std::string::npos) << messages[0].text;
    EXPECT_EQ(tableRows(), 2);

    setOptions(1, 0, true, true);
    EXPECT_EQ(note(), QString::fromUtf8("追加 · 来源文件"));
    std::vector<std::string> chosen = {report("b.csv", "地址, 姓名\n城9,name9\n"),
                                       report("c.csv", "备注,姓名\nx,name8\ny,name7\n")};
    std::vector<std::string> folders;
    MainWindow::filesChooser = [&](const std::string&, const std::string& folder) {
        folders.push_back(folder);
        return chosen;
    };
    clickAndWait("cmd6");
    ASSERT_EQ(folders.size(), 1u) << "the chooser of several workbooks opens";
    EXPECT_EQ(itemsOf("List1"), (std::vector<std::string>{"地址", " 姓名"}));
    EXPECT_EQ(tableRows(), 2) << "choosing for an append keeps the table";
    // The options wait while a step runs, whether or not the menu is opened.
    auto* edit = find<QAction>("importOptions");
    click("cmd5");
    ASSERT_TRUE(window->operationRunning());
    EXPECT_FALSE(edit->isEnabled());
    ASSERT_TRUE(idle());
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(tableRows(), 5);
    EXPECT_EQ(itemsOf("Combo1"),
              (std::vector<std::string>{"姓名", "电话", "来源文件", "地址", "备注"}));

    // Two dropped workbooks are chosen together, only while the append is on.
    EXPECT_TRUE(drop(chosen));
    clickAndWait("cmd5");
    EXPECT_EQ(tableRows(), 8);
    find<QMenu>("toolsMenu")->aboutToShow();
    trigger("undoStep");
    ASSERT_TRUE(idle());
    EXPECT_EQ(tableRows(), 5);
    setOptions(1, 0, false, false);
    EXPECT_EQ(note(), QString());
    EXPECT_FALSE(drop(chosen));
}

}  // namespace
}  // namespace tabrovin::testing
