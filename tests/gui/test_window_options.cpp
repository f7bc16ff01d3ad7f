// The options beside the steps, driven through the real window: each one's
// dialog or controls, the note shown while one is not at its default, the
// options remembered, and the steps they change. Import: header row, rows
// skipped at the end, appends of several workbooks. Cleaning (清理选项…):
// key columns, ways of matching, the count beforehand. Export: .xlsx pages
// and a split by value.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>

#include "app/outcomes.h"
#include "app/qt/cleaning_options.h"
#include "app/qt/import_options_dialog.h"
#include "core/paths.h"
#include "tests/gui/gui_support.h"
#include "tests/sheets/sheet_test_util.h"

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
    QString note() { return shownText("importOptionsLabel"); }
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

class CleaningTest : public GuiTest {
  protected:
    CleaningDialog* dialog() {
        trigger("cleaningOptions");
        auto* d = window->findChild<CleaningDialog*>(QStringLiteral("cleaningDialog"));
        EXPECT_TRUE(d && d->isVisible());
        return d;
    }
    template <class T>
    T* control(const char* name) {
        return childOf<T>(dialog(), name);
    }
    void tickColumn(int k, bool on) {
        control<QListWidget>("dedupeColumns")
            ->item(k)
            ->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    QString note() { return shownText("cleaningOptionsLabel"); }
};

// The options show in the frame while not at their defaults, are remembered,
// and make each step and the count beforehand.
TEST_F(CleaningTest, OptionsAreShownRememberedAndMakeTheStepsAndTheirCount) {
    open();
    EXPECT_TRUE(note().isEmpty());
    chooseAndWait(writeSheet("a.csv", 30), true);
    tickColumn(2, true);  // 姓名 and 地址: 21 of the 30 pairs differ
    control<QCheckBox>("trimBlanks")->setChecked(true);
    control<QCheckBox>("severalKeywords")->setChecked(true);
    EXPECT_EQ(note(), QString::fromUtf8("选项：另加列：地址 · 去空白 · 多个关键字"));
    // A new window reads them back, into the frame and the dialog.
    window.reset();
    open();
    EXPECT_EQ(note(), QString::fromUtf8("选项：另加列：地址 · 去空白 · 多个关键字"));
    EXPECT_EQ(control<QListWidget>("dedupeColumns")->item(2)->checkState(), Qt::Checked);

    setTextOf("Text2", QString::fromUtf8("NAME1|name2"));
    auto* counts = control<QLabel>("removalCounts");
    QTest::mouseClick(control<QPushButton>("countRemovals"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return counts->text().contains("。"); }, 20000));
    EXPECT_EQ(counts->text(),
              QString::fromUtf8("3.过滤重复将删除 9 行；\n4.删除相应的行将删除 20 行。"));
    EXPECT_EQ(textOf("Label6"), "30");  // counting changed nothing
    clickAndWait("cmd4");
    EXPECT_EQ(messages.back(), rowsLeft(21));
    clickAndWait("cmd3");  // the 7 rows of name0 are left
    EXPECT_EQ(messages.back(), rowsLeft(7));

    // 等于 with one keyword: only whole values.
    control<QCheckBox>("severalKeywords")->setChecked(false);
    control<QComboBox>("matchMode")->setCurrentIndex(1);
    EXPECT_TRUE(note().endsWith(QString::fromUtf8("去空白 · 等于"))) << note().toStdString();
    setTextOf("Text2", QString::fromUtf8("name"));
    messages.clear();
    clickAndWait("cmd3");
    EXPECT_EQ(messages, std::vector<Message>{rowsLeft(7)});

    // While a step runs its options cannot change under it; afterwards they can.
    setTextOf("Text5", "0");  // half a second after each of the three groups
    click("cmd4");
    ASSERT_TRUE(window->operationRunning());
    for (const char* name : {"dedupeColumns", "trimBlanks", "foldWidth", "matchMode",
                             "severalKeywords", "countRemovals"})
        EXPECT_FALSE(childOf(dialog(), name)->isEnabled()) << name;
    ASSERT_TRUE(idle());
    EXPECT_TRUE(control<QCheckBox>("trimBlanks")->isEnabled());

    // All back at their defaults: the note goes, and so does what was saved.
    tickColumn(2, false);
    control<QCheckBox>("trimBlanks")->setChecked(false);
    control<QComboBox>("matchMode")->setCurrentIndex(0);
    EXPECT_TRUE(note().isEmpty()) << note().toStdString();
    QSettings settings(QString::fromStdString((folder / "data" / "window.ini").string()),
                       QSettings::IniFormat);
    EXPECT_TRUE(CleaningOptions::load(settings).isDefault());
}

class ExportOptionsTest : public GuiTest {
  protected:
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

// The options sit in the free band and start at the plain pages. A split
// asks before many files, writes its folder, which the tools open, and is
// remembered.
TEST_F(ExportOptionsTest, ASplitAsksBeforeManyFilesWritesItsFolderAndIsRemembered) {
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

    chooseAndWait(writeSheet("a.csv", kSplitFilesToConfirm + 1), true);
    trigger("SR1");
    click("cmd1");
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
