#pragma once
// The real window over a scratch program folder, with its message boxes and
// file dialog scripted through the window's seams.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <deque>
#include <fstream>
#include <memory>

#include "app/qt/main_window.h"
#include "core/table_page.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {

// UTF-8 text as GBK bytes, by iconv rather than by the program's own encoder.
inline std::string toGbk(const std::string& utf8) {
    CommandResult r = run("printf '%s' " + shellQuote(utf8) + " | iconv -f UTF-8 -t GBK");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return r.output;
}

// The one QApplication of the test run, on the offscreen platform unless
// another is asked for. Never destroyed: it must outlive every window.
inline void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// The child of `parent` named `name`; fails the test when there is none.
template <class T = QWidget>
T* childOf(const QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no control " << name;
    return child;
}

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureApplication();
        folder = makeProgramFolder(dir / "program");
        writeFile(folder / "data" / "ini.txt", toGbk("姓名\r\n电话\r\n"));
        MainWindow::messageSink = [this](const Message& m) { messages.push_back(m); };
        MainWindow::questionSink = [this](const std::string& q) {
            questions.push_back(q);
            return answer;
        };
        MainWindow::fileChooser = [this](const std::string& filter, const std::string& start) {
            filters.push_back(filter);
            startFolders.push_back(start);
            std::string next = files.empty() ? "" : files.front();
            if (!files.empty()) files.pop_front();
            return next;
        };
    }
    void TearDown() override {
        window.reset();
        MainWindow::messageSink = nullptr;
        MainWindow::fileChooser = nullptr;
        MainWindow::questionSink = nullptr;
    }

    // A CSV of `rows` data rows under the headings 姓名, 电话, 地址, whose
    // names repeat every third row; returns its path.
    std::string writeSheet(const char* name, int rows) {
        std::ofstream out(dir / name, std::ios::binary);
        out << "姓名,电话,地址\n";
        for (int r = 0; r < rows; ++r)
            out << "name" << r % 3 << "," << 13800000000LL + r << ",城" << r % 7 << "\n";
        return (dir / name).string();
    }
    // Whether the window's step, and the row count it shows after some,
    // have ended within `ms`. Waits go through ASSERT: on a timeout
    // QTRY_VERIFY only returns, unseen by GoogleTest.
    bool idle(int ms = 60000) {
        return QTest::qWaitFor(
            [this] { return !window->operationRunning() && !window->counting(); }, ms);
    }
    // Clicks `button` and waits until the operation it started has ended.
    void clickAndWait(const char* button) {
        click(button);
        ASSERT_TRUE(idle());
    }
    QString textOf(const char* name) {
        if (auto* l = window->findChild<QLabel*>(QString::fromLatin1(name))) return l->text();
        if (auto* e = window->findChild<QLineEdit*>(QString::fromLatin1(name))) return e->text();
        ADD_FAILURE() << "no text control " << name;
        return {};
    }
    void setTextOf(const char* name, const QString& text) { find<QLineEdit>(name)->setText(text); }
    // The text of a label while it shows, empty while hidden.
    QString shownText(const char* name) {
        auto* label = find<QLabel>(name);
        return label->isVisible() ? label->text() : QString();
    }
    // The entries of a list or a combo box.
    std::vector<std::string> itemsOf(const char* name) {
        std::vector<std::string> items;
        if (auto* combo = window->findChild<QComboBox*>(QString::fromLatin1(name)))
            for (int i = 0; i < combo->count(); ++i)
                items.push_back(combo->itemText(i).toStdString());
        else if (auto* w = find<QListWidget>(name))
            for (int i = 0; i < w->count(); ++i) items.push_back(w->item(i)->text().toStdString());
        return items;
    }

    MainWindow& open() {
        window = std::make_unique<MainWindow>(ProgramPaths(folder));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(idle()) << "the table's rows were never counted";
        return *window;
    }
    template <class T = QWidget>
    T* find(const char* name) {
        return childOf<T>(window.get(), name);
    }
    // "1" for each enabled button, "0" for each disabled one, cmd0 first.
    std::string enabledButtons() {
        std::string out;
        for (int i = 0; i < kButtonCount; ++i)
            out += find(("cmd" + std::to_string(i)).c_str())->isEnabled() ? '1' : '0';
        return out;
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void trigger(const char* action) { find<QAction>(action)->trigger(); }
    // Chooses `workbook` through the file dialog, then imports every column
    // unless `import` is false.
    void chooseAndWait(const std::string& workbook, bool import = false) {
        files.push_back(workbook);
        clickAndWait("cmd6");
        if (import) clickAndWait("cmd5");
    }
    // Drags `paths` over the window and drops them there once it takes them;
    // false when it refuses them at drag-enter.
    bool drop(const std::vector<std::string>& paths, bool release = true) {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& p : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted() || !release) return enter.isAccepted();
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &dropped);
        EXPECT_TRUE(idle());
        return true;
    }
    // The rows in the working table now, -1 when it cannot be read.
    int64_t tableRows() {
        TablePageReader reader;
        if (!reader.open(ProgramPaths(folder).workingDb(), 0).ok()) return -1;
        auto rows = reader.rowCount();
        return rows.ok() ? *rows : -1;
    }
    // A click in the middle of a list entry, followed by a double-click if asked.
    void clickItem(const char* list, int row, bool twice = false) {
        auto* widget = find<QListWidget>(list);
        ASSERT_LT(row, widget->count());
        const QPoint at = widget->visualItemRect(widget->item(row)).center();
        QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(widget->viewport(), Qt::LeftButton, {}, at);
    }

    TempDir dir;
    std::filesystem::path folder;  // the program folder; ini.txt lists 姓名, 电话
    std::unique_ptr<MainWindow> window;
    std::vector<Message> messages;          // every message box, in order
    std::vector<std::string> questions;     // every yes/no question, in order
    bool answer = true;                     // the answer to every question
    std::vector<std::string> startFolders;  // where the file dialog started
    std::deque<std::string> files;          // the file dialog's answers; "" once empty
    std::vector<std::string> filters;       // the filters the file dialog was given
};

}  // namespace tabrovin::testing
