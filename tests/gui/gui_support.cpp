#include "tests/gui/gui_support.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>

namespace tabrovin::testing {

void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt must outlive every window the tests leave behind.
    new QApplication(argc, argv);
}

std::string toGbk(const std::string& utf8) {
    TempDir tmp;
    writeFile(tmp / "in.txt", utf8);
    CommandResult r = run("iconv -f UTF-8 -t GBK " + shellQuote((tmp / "in.txt").string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return r.output;
}

std::string gbkNames() {
    return toGbk("姓名\r\n电话\r\n");
}

void GuiTest::SetUp() {
    ensureApplication();
    folder = makeProgramFolder(dir.path() / "program");
    writeFile(folder / "data" / "ini.txt", gbkNames());
    MainWindow::messageSink = [this](const ShownMessage& m) { messages.push_back(m); };
    MainWindow::fileChooser = [this](const std::string& filter) {
        filters.push_back(filter);
        if (duringChoice) duringChoice();
        if (files.empty()) return std::string();
        std::string next = files.front();
        files.pop_front();
        return next;
    };
}

void GuiTest::TearDown() {
    window.reset();
    MainWindow::messageSink = nullptr;
    MainWindow::fileChooser = nullptr;
}

MainWindow& GuiTest::open() {
    return open(folder);
}

MainWindow& GuiTest::open(const std::filesystem::path& programFolder) {
    window = std::make_unique<MainWindow>(ProgramPaths(programFolder));
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return *window;
}

void GuiTest::clickItem(const char* list, int row, bool twice) {
    auto* widget = find<QListWidget>(list);
    ASSERT_NE(widget, nullptr);
    ASSERT_LT(row, widget->count());
    const QPoint at = widget->visualItemRect(widget->item(row)).center();
    // As a real double-click arrives: a click, then the double-click event.
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(widget->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace tabrovin::testing
