// Choices and steps started from the window: the steps run off its thread,
// so the window keeps answering, can cancel, asks before closing mid-step,
// and keeps the column list on disk as soon as an import ends.

#include <QAction>
#include <QMenu>
#include <future>
#include <thread>

#include "app/outcomes.h"
#include "core/paths.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

class OperationsTest : public GuiTest {
  protected:
    // Starts importing `rows` rows in one go and waits until some are in.
    void startImport(int rows) {
        open();
        chooseAndWait(writeSheet("big.csv", rows));
        setTextOf("Text5", "1000000");
        click("cmd5");
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return textOf("Label8").toLongLong() > 1000; }, 30000));
    }
};

// A cancelled or broken choice is reported and leaves the import off; a
// good one imports the ticked columns and saves their list at once.
TEST_F(OperationsTest, ChosenWorkbookImportsTheTickedColumnsAndSavesTheListAtOnce) {
    // A compound-file signature with nothing behind it.
    writeFile(dir / "note.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "broken");
    open();
    click("cmd6");
    chooseAndWait((dir / "note.xls").string());
    EXPECT_EQ(filters, std::vector<std::string>(2, kWorkbookFilter));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], noWorkbookChosen());
    EXPECT_EQ(messages[1].icon, Icon::Critical);
    EXPECT_EQ(messages[1].title.rfind("ZazIV : 导入数据1出错! # ", 0), 0u) << messages[1].title;
    EXPECT_FALSE(find("cmd5")->isEnabled());
    EXPECT_TRUE(itemsOf("List1").empty());

    messages.clear();
    chooseAndWait(writeSheet("big.csv", 3));
    EXPECT_TRUE(messages.empty()) << messages[0].text;
    EXPECT_EQ(itemsOf("List1"), (std::vector<std::string>{"姓名", "电话", "地址"}));
    EXPECT_EQ(textOf("Label6"), "3");
    EXPECT_EQ(enabledButtons(), "0000010");
    // Untick 电话 from the keyboard; Enter on the focused button starts the import.
    auto* list1 = find<QListWidget>("List1");
    list1->setFocus();
    list1->setCurrentRow(1);
    QTest::keyClick(list1, Qt::Key_Space);
    find("cmd5")->setFocus();
    QTest::keyClick(find("cmd5"), Qt::Key_Return);
    ASSERT_TRUE(idle());
    EXPECT_EQ(messages, std::vector<Message>{importDone()});
    EXPECT_EQ(textOf("Label8"), "3");
    EXPECT_EQ(find("Label1")->width(), 0) << "the bar empties when the step ends";
    EXPECT_EQ(itemsOf("Combo1"), (std::vector<std::string>{"姓名", "地址"}));
    // On disk before any close: a kill now loses nothing.
    EXPECT_EQ(readFile(folder / "data" / "ini.txt"), toGbk("姓名\r\n地址\r\n"));
    EXPECT_EQ(tableRows(), 3);
    // The chooser starts where the last workbook was chosen, also after a restart.
    window.reset();
    open();
    click("cmd6");
    EXPECT_EQ(startFolders.back(), dir.path().string());
}

// `tabrovin WORKBOOK`, as the file manager's "open with" gives it, chooses
// the workbook as the chooser would.
TEST_F(OperationsTest, TheWorkbookNamedAtStartIsChosenAsTheChooserWouldChooseIt) {
    open();
    chooseAndWait(writeSheet("first.csv", 30), true);
    messages.clear();
    const QString title = window->windowTitle();
    // What is no readable file gets the chooser's message and changes nothing.
    for (const std::string& path : {(dir / "missing.xls").string(), dir.path().string()}) {
        messages.clear();
        window->chooseAtStart(path);
        ASSERT_TRUE(idle());
        EXPECT_EQ(messages, std::vector<Message>{noWorkbookChosen()}) << path;
        EXPECT_EQ(textOf("Label6"), "30") << "the table is untouched";
        EXPECT_EQ(window->windowTitle(), title);
    }

    messages.clear();
    window->chooseAtStart(writeSheet("second.csv", 4));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(messages.empty()) << messages[0].text;
    EXPECT_EQ(itemsOf("List1"), (std::vector<std::string>{"姓名", "电话", "地址"}));
    EXPECT_EQ(textOf("Label6"), "4");
    EXPECT_EQ(enabledButtons(), "0000010") << "as after the chooser: only the import";
    EXPECT_TRUE(window->windowTitle().endsWith(QString::fromUtf8("second.csv")));
    // The import then reads the workbook named at start, like a chosen one.
    clickAndWait("cmd5");
    EXPECT_EQ(textOf("Label8"), "4");
}

// While rows go in the window answers, only the tools that change nothing
// work, and the cancel control, in the menu bar, keeps the rows so far.
TEST_F(OperationsTest, WindowAnswersDuringALongImportAndCancelKeepsTheRowsSoFar) {
    // Big enough that no machine imports it within the look below.
    const int rows = 1000000;
    startImport(rows);
    ASSERT_TRUE(window->operationRunning());
    auto* cancel = find<QPushButton>("cancelButton");
    EXPECT_TRUE(cancel->isVisible() && cancel->isEnabled());
    EXPECT_NE(cancel->parentWidget(), find("client")) << "the bar keeps its whole path";
    // Nothing starts a second step meanwhile.
    EXPECT_EQ(enabledButtons(), "0000000");
    for (const char* tool : {"undoStep", "viewData", "SR0", "SR1"})
        EXPECT_FALSE(find<QAction>(tool)->isEnabled()) << tool;
    EXPECT_FALSE(find<QMenu>("recentWorkbooks")->isEnabled());
    EXPECT_FALSE(drop({writeSheet("other.csv", 2)}, false));
    for (const char* tool : {"openExportFolder", "userGuide"})
        EXPECT_TRUE(find<QAction>(tool)->isEnabled()) << tool;
    QTest::qWait(300);
    ASSERT_TRUE(window->operationRunning()) << "the window waited for the rows to go in";
    cancel->click();
    EXPECT_FALSE(cancel->isEnabled());
    ASSERT_TRUE(idle());
    EXPECT_FALSE(cancel->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    const int64_t kept = tableRows();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, rows);
    EXPECT_NE(messages[0].text.find(std::to_string(kept)), std::string::npos) << messages[0].text;
    EXPECT_TRUE(find("cmd6")->isEnabled());
    for (const char* tool : {"undoStep", "SR0", "SR1"})
        EXPECT_TRUE(find<QAction>(tool)->isEnabled()) << tool;
    EXPECT_TRUE(drop({writeSheet("other.csv", 2)}, false));
}

// Fault: quitting mid-import wrote the window's previous names over those
// the import saved for the rows it kept, so they showed under the old headings.
TEST_F(OperationsTest, ClosingDuringAStepAsksFirstAndYesQuitsNamingTheRowsKept) {
    answer = false;
    startImport(200000);
    window->close();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(window->isVisible()) << "No goes on";
    EXPECT_TRUE(window->operationRunning());
    answer = true;
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 30000));
    EXPECT_FALSE(window->operationRunning());
    EXPECT_TRUE(messages.empty()) << "quitting shows no outcome";
    const int64_t kept = tableRows();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 200000);
    EXPECT_EQ(readFile(folder / "data" / "ini.txt"), toGbk("姓名\r\n电话\r\n地址\r\n"));
}

// A window destroyed mid-step, as when the session ends, stops the step and
// waits for it: its thread never outlives the window it reports to.
TEST_F(OperationsTest, DestroyingTheWindowMidStepStopsTheStepFirst) {
    startImport(200000);
    window.reset();
    const int64_t kept = tableRows();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 200000);
}

// Delete and export as the window reads them: the chosen column and keyword,
// the export list in its order, rows per workbook whole numbers only; each
// failed page gets its box while the step goes on, and a window destroyed
// meanwhile quits.
TEST_F(OperationsTest, DeleteAndExportTakeTheirRequestFromTheControls) {
    open();
    chooseAndWait(writeSheet("a.csv", 30), true);
    find<QComboBox>("Combo1")->setCurrentIndex(2);
    setTextOf("Text2", QString::fromUtf8("城0"));
    clickAndWait("cmd3");  // rows 0, 7, 14, 21 and 28
    EXPECT_EQ(messages.back(), rowsLeft(25));

    trigger("SR1");
    clickItem("List2", 2, true);
    clickItem("List2", 0, true);
    // Letters are the step's error, a fraction rounds half to even, and a
    // count that would lose rows is refused; the buttons come back after each.
    messages.clear();
    for (const char* rows : {"abc", "0", "65536", "2.5", "10"}) {
        setTextOf("Text1", QString::fromUtf8(rows));
        clickAndWait("cmd2");
        EXPECT_EQ(enabledButtons(), "1111111") << rows;
    }
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0].title, "ZazIV : 导出数据0出错! # 13");
    EXPECT_EQ(messages[0].icon, Icon::Critical);
    for (int i : {1, 2})
        EXPECT_NE(messages[i].text.find("必须是 1 到 65535 之间的整数"), std::string::npos)
            << messages[i].text;
    EXPECT_EQ(messages[3].text, " 完成了导出,13页,存于[导出]文件夹下.");
    EXPECT_EQ(messages[4].text, " 完成了导出,3页,存于[导出]文件夹下.");
    const auto page3 = readBook(ProgramPaths(folder).exportFile(3)).value().at(0).rows;
    EXPECT_EQ(page3.size(), 6u);
    EXPECT_EQ(page3[1], (std::vector<std::string>{"城3", "name0"}));  // row 24
    // Where the lock cannot be written (a CD, a read-only share) the export,
    // which only reads, goes on and says nothing more than its result.
    if (UnwritableFile lock(folder / "data" / ".tabrovin.lock"); lock.active()) {
        messages.clear();
        clickAndWait("cmd2");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, " 完成了导出,3页,存于[导出]文件夹下.");
    }

    messages.clear();
    std::filesystem::remove_all(ProgramPaths(folder).exportDir());
    clickAndWait("cmd2");
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].title.rfind("ZazIV : 导出数据1出错! # 76", 0), 0u) << messages[0].title;
    EXPECT_EQ(messages[3].icon, Icon::Exclamation);

    // Fault: a failed page waited for its box on a window being destroyed,
    // which waited for the step: the program hung instead of quitting.
    setTextOf("Text1", "1");
    click("cmd2");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // page 1 fails meanwhile
    std::promise<void> destroyed;
    std::thread watchdog([ended = destroyed.get_future()] {
        if (ended.wait_for(std::chrono::seconds(30)) == std::future_status::ready) return;
        std::fprintf(stderr, "destroying the window hung\n");
        std::abort();
    });
    window.reset();
    destroyed.set_value();
    watchdog.join();
}

}  // namespace
}  // namespace tabrovin::testing
