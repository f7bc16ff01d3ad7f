// The tools menu and drops: the data view, undo, recent workbooks, a dropped
// file taking the chooser's path, the folder entries and the user guide.

#include <sys/stat.h>

#include <QDir>
#include <QMenu>
#include <QSettings>
#include <mutex>

#include "app/qt/background_work.h"
#include "app/qt/user_guide.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

class ToolsTest : public GuiTest {
  protected:
    void TearDown() override {
        BackgroundWork::deliverThrough = nullptr;
        MainWindow::folderOpener = nullptr;
        GuiTest::TearDown();
    }
    void drop(const std::string& file) { ASSERT_TRUE(GuiTest::drop({file})); }
    bool takesDrag(const std::string& file) { return GuiTest::drop({file}, false); }
};

TEST_F(ToolsTest, UndoTakesBackTheFilterAndTheViewAndCountersFollow) {
    open();
    drop(writeSheet("a.csv", 30));
    clickAndWait("cmd5");
    trigger("viewData");
    auto* count = find<QLabel>("rowCountLabel");
    // The view counts off the window's thread.
    auto shows = [count](const char* text) {
        return QTest::qWaitFor([&] { return count->text() == QString::fromUtf8(text); }, 10000);
    };
    EXPECT_TRUE(shows("共 30 行")) << count->text().toStdString();
    clickAndWait("cmd4");  // keeps one row of each 姓名
    EXPECT_TRUE(shows("共 3 行")) << count->text().toStdString();
    messages.clear();
    trigger("undoStep");
    ASSERT_TRUE(idle());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("过滤重复"), std::string::npos) << messages[0].text;
    EXPECT_EQ(textOf("Label6"), "30");
    EXPECT_EQ(textOf("Label8"), "30");
    EXPECT_EQ(textOf("Label7"), "2");
    EXPECT_TRUE(itemsOf("List1").empty()) << "a fresh choice lists columns again";
    EXPECT_EQ(enabledButtons(), "1111101");
    EXPECT_TRUE(shows("共 30 行")) << count->text().toStdString();
    EXPECT_EQ(itemsOf("Combo1"), (std::vector<std::string>{"姓名", "电话", "地址"}));
    // A restart shows what the table holds, not 0.
    window.reset();
    open();
    EXPECT_EQ(textOf("Label6"), "30");

    // Undo shows the restored table's rows once they are counted, off the
    // window's thread; a count that a following step overtook is never shown.
    clickAndWait("cmd4");  // 3 rows left
    std::mutex mutex;
    std::vector<std::function<void()>> held;
    BackgroundWork::deliverThrough = [&](std::function<void()> deliver) {
        std::lock_guard lock(mutex);
        held.push_back(std::move(deliver));
    };
    trigger("undoStep");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::lock_guard lock(mutex);
        return !window->operationRunning() && held.size() == 1;
    }));
    EXPECT_EQ(textOf("Label6"), "3") << "the window waited for the count";
    clickAndWait("cmd4");
    std::lock_guard lock(mutex);
    for (auto& deliver : held) deliver();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(textOf("Label6"), "3") << "the count from before the step came late";
    EXPECT_EQ(textOf("Label8"), "3");
}

// Drops and recent entries choose only what can be chosen; the menu names
// the program folder, and its export folder entry says why it cannot open.
TEST_F(ToolsTest, DropsRecentEntriesAndFolderEntriesOfferOnlyWhatWorks) {
    open();
    const std::string first = writeSheet("a.csv", 4);
    drop(first);
    EXPECT_TRUE(messages.empty()) << messages[0].text;
    EXPECT_EQ(itemsOf("List1"), (std::vector<std::string>{"姓名", "电话", "地址"}));  // as by cmd6
    clickAndWait("cmd5");
    EXPECT_FALSE(takesDrag(dir.path().string())) << "a folder is no workbook";
    // From the export view, a drop shows the step it resets.
    trigger("SR1");
    drop(writeSheet("b.csv", 2));
    EXPECT_TRUE(find("Frame2")->isVisible());
    EXPECT_FALSE(find("Frame3")->isVisible());
    clickAndWait("cmd5");
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("b.csv")));
    // A recent workbook that is gone is refused before anything is reset.
    std::filesystem::remove(first);
    find<QMenu>("toolsMenu")->aboutToShow();
    auto* recent = find<QMenu>("recentWorkbooks");
    ASSERT_EQ(recent->actions().size(), 2);
    messages.clear();
    recent->actions()[1]->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("a.csv"), std::string::npos) << messages[0].text;
    EXPECT_EQ(textOf("Label6"), "2");
    EXPECT_EQ(recent->actions().size(), 1);
    // A choice that fails joins neither the recent list nor the title.
    writeFile(dir / "broken.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "broken");
    drop((dir / "broken.xls").string());
    find<QMenu>("toolsMenu")->aboutToShow();
    ASSERT_EQ(recent->actions().size(), 1);
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("b.csv")));
    // The entry left chooses its workbook again.
    recent->actions()[0]->trigger();
    ASSERT_TRUE(idle());
    EXPECT_EQ(itemsOf("List1").size(), 3u);
    EXPECT_TRUE(filters.empty()) << "neither a drop nor a recent entry opens the chooser";

    std::vector<std::string> opened;
    bool opens = false;
    MainWindow::folderOpener = [&](const std::string& f) {
        opened.push_back(f);
        return opens;
    };
    auto* programFolder = find<QAction>("programFolder");
    EXPECT_FALSE(programFolder->isEnabled());
    EXPECT_TRUE(programFolder->text().endsWith(QString::fromStdString(folder.string())))
        << programFolder->text().toStdString();
    EXPECT_EQ(find<QAction>("openExportFolder")->toolTip().toStdString(),
              (folder / u8path("导出")).string());
    messages.clear();
    trigger("openExportFolder");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("无法用桌面的文件管理器打开"), std::string::npos);
    opens = true;
    trigger("openExportFolder");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(opened.size(), 2u);
    std::filesystem::remove_all(ProgramPaths(folder).exportDir());
    trigger("openExportFolder");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].text.find("找不到导出文件夹"), std::string::npos);
    EXPECT_EQ(opened.size(), 2u);
}

// window.ini holds a few lines of the window's own: the recent list keeps its
// 8, and a file over the bound or a pipe at that name is left alone while the
// window starts from its defaults, without waiting on the pipe.
TEST_F(ToolsTest, AWindowIniTooLargeOrNotAFileIsLeftAlone) {
    const auto ini = folder / "data" / "window.ini";
    auto writeIni = [&](qsizetype pad) {
        QSettings settings(QString::fromStdString(ini.string()), QSettings::IniFormat);
        QStringList recent;
        for (int i = 0; i < 10; ++i)
            recent << QString::fromStdString((dir / ("w" + std::to_string(i) + ".csv")).string());
        settings.setValue("recent", recent);
        settings.setValue("lastFolder", QString::fromStdString(dir.path().string()));
        settings.setValue("pad", QString(pad, 'x'));
    };
    // The recent entries the window offers, and where its chooser starts.
    auto seen = [&] {
        open();
        find<QMenu>("toolsMenu")->aboutToShow();
        click("cmd6");
        const auto entries = find<QMenu>("recentWorkbooks")->actions().size();
        window.reset();
        return std::pair(entries, startFolders.back());
    };
    writeIni(0);
    EXPECT_EQ(seen(), std::pair(qsizetype{8}, dir.path().string()));
    std::filesystem::remove(ini);
    writeIni(64 * 1024);
    const std::string large = readFile(ini);
    EXPECT_EQ(seen(), std::pair(qsizetype{0}, std::string()));
    EXPECT_EQ(readFile(ini), large);

    std::filesystem::remove(ini);
    ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
    PipeWatch watch(ini);
    const auto fromPipe = seen();
    EXPECT_FALSE(watch.waited()) << "the window waited on a pipe";
    EXPECT_EQ(fromPipe, std::pair(qsizetype{0}, std::string()));
    EXPECT_TRUE(std::filesystem::is_fifo(ini));
}

// 工具 → 使用说明: the guide found beside a build or in an installed
// package's tree, opened in the browser, and a Chinese reason when it cannot.
class UserGuideTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        qt::userGuideFolder = [this] { return QString::fromStdString(utf8FromPath(exe)); };
        qt::userGuideOpener = [this](const QUrl& url) {
            opened.push_back(QDir::toNativeSeparators(url.toLocalFile()));
            return opens;
        };
    }
    void TearDown() override {
        qt::userGuideFolder = nullptr;
        qt::userGuideOpener = nullptr;
        GuiTest::TearDown();
    }
    // Lays the page at `relative` to the executable's folder; its native path.
    QString layPage(const std::string& relative) {
        const auto page = exe / u8path(relative) / u8path(qt::kUserGuidePage);
        std::filesystem::create_directories(page.parent_path());
        writeFile(page, "<html></html>");
        return native(page);
    }
    static QString native(const std::filesystem::path& p) {
        return QDir::toNativeSeparators(QDir::cleanPath(QString::fromStdString(utf8FromPath(p))));
    }
    bool said(const QString& path) {
        return !messages.empty() &&
               messages.back().text.find(path.toStdString()) != std::string::npos;
    }

    std::filesystem::path exe = dir / "root" / "usr" / "bin";  // where the executable lies
    std::vector<QString> opened;                               // what the browser was given
    bool opens = true;                                         // whether the browser opens
};

TEST_F(UserGuideTest, TheEntryOpensThePageBesideABuildElseInstalledOrSaysWhyItCannot) {
    open();
    // Missing: both places are named, and nothing is opened.
    trigger("userGuide");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_TRUE(said(native(exe / "doc"))) << messages[0].text;
    EXPECT_TRUE(said(native(dir / "root" / "usr" / "share" / "doc" / "tabrovin")));
    EXPECT_TRUE(opened.empty());

    // Found: the browser gets the page, and nothing is said.
    const QString installed = layPage("../share/doc/tabrovin");
    trigger("userGuide");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(opened, std::vector<QString>{installed});
    const QString beside = layPage("doc");
    trigger("userGuide");
    EXPECT_EQ(opened.back(), beside) << "the build's own page wins";

    // No browser: the page's path is given to open by hand.
    opens = false;
    trigger("userGuide");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(said(beside)) << messages[1].text;
}

}  // namespace
}  // namespace tabrovin::testing
