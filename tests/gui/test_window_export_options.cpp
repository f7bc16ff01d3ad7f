// The export's options in the window: where they sit, what they remember and
// show, a split from the export button, and the question before many files.

#include <QAction>
#include <QGroupBox>

#include "app/outcomes.h"
#include "core/paths.h"
#include "tests/gui/gui_support.h"
#include "tests/sheets/sheet_test_util.h"

namespace tabrovin::testing {
namespace {

class ExportOptionsTest : public GuiTest {
  protected:
    // Imports `rows` rows of 姓名, 电话, 地址 and opens the export view with
    // every column chosen.
    void importAndChooseAll(int rows) {
        chooseAndWait(writeSheet("a.csv", rows), true);
        trigger("SR1");
        click("cmd1");
    }
    void choose(const char* combo, int index) {
        auto* c = find<QComboBox>(combo);
        c->setCurrentIndex(index);
        emit c->activated(index);
    }
    std::vector<std::filesystem::path> splitFolders() {
        std::vector<std::filesystem::path> out;
        for (auto& e : std::filesystem::directory_iterator(ProgramPaths(folder).exportDir()))
            if (e.is_directory()) out.push_back(e.path());
        return out;
    }
};

TEST_F(ExportOptionsTest, OptionsSitInTheFreeBandAndStartAtThePlainPages) {
    open();
    auto* frame = find<QGroupBox>("Frame3");
    EXPECT_EQ(find<QComboBox>("exportFormat")->currentText(), ".xls");
    EXPECT_EQ(find<QComboBox>("splitMode")->currentText(), QString::fromUtf8("每 N 行一个文件"));
    EXPECT_TRUE(textOf("exportOptionsNote").isEmpty());
    const char* added[] = {"exportFormatLabel", "exportFormat", "splitModeLabel",
                           "splitMode",         "splitColumn",  "exportOptionsNote"};
    const char* existing[] = {"List2", "List3", "Frame5", "cmd1", "cmd2", "Text1", "Label9"};
    for (const char* a : added) {
        QWidget* w = find(a);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->parentWidget(), frame) << a;
        EXPECT_TRUE(frame->rect().contains(w->geometry())) << a;
        for (const char* s : existing)
            EXPECT_FALSE(w->geometry().intersects(find(s)->geometry())) << a << " covers " << s;
    }
}

// A split asks before many files, writes its folder, which the tools open,
// and is remembered.
TEST_F(ExportOptionsTest, ASplitAsksBeforeManyFilesWritesItsFolderAndIsRemembered) {
    open();
    importAndChooseAll(kSplitFilesToConfirm + 1);
    EXPECT_EQ(itemsOf("splitColumn"), (std::vector<std::string>{"姓名", "电话", "地址"}));
    choose("exportFormat", 1);
    choose("splitMode", 1);
    choose("splitColumn", 1);  // 电话: one value a row
    answer = false;
    messages.clear();
    click("cmd2");
    ASSERT_TRUE(idle());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("501 个文件"), std::string::npos) << questions[0];
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(splitFolders().empty());
    EXPECT_EQ(enabledButtons(), "1111111");

    // Fewer files are not asked about.
    choose("splitColumn", 2);
    EXPECT_EQ(textOf("exportOptionsNote").toStdString(), "输出 .xlsx · 按“地址”的值拆分");
    clickAndWait("cmd2");
    EXPECT_EQ(questions.size(), 1u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text.rfind(" 完成了导出,7个文件,存于[导出/按地址拆分-", 0), 0u)
        << messages[0].text;
    auto made = splitFolders();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(readSheet(made[0] / u8path("城0.xlsx")).size(), 73u) << "every 7th row from 0";
    std::string opened;
    MainWindow::folderOpener = [&](const std::string& f) { return opened = f, true; };
    trigger("openExportFolder");
    MainWindow::folderOpener = nullptr;
    EXPECT_EQ(opened, utf8FromPath(made[0]));

    // A new window remembers the options and shows them.
    open();
    trigger("SR1");
    click("cmd1");
    EXPECT_EQ(find<QComboBox>("exportFormat")->currentIndex(), 1);
    EXPECT_EQ(find<QComboBox>("splitColumn")->currentText().toStdString(), "地址");
    EXPECT_EQ(textOf("exportOptionsNote").toStdString(), "输出 .xlsx · 按“地址”的值拆分");
}

}  // namespace
}  // namespace tabrovin::testing
