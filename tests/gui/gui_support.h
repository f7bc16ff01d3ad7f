#pragma once
// Helpers for the window tests: one QApplication for the test program, and a
// fixture that opens the real window over a scratch program folder with its
// message boxes and file dialog scripted.

#include <gtest/gtest.h>

#include <QString>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/main_window.h"
#include "tests/support/test_support.h"

class QWidget;

namespace tabrovin::testing {

// Creates the QApplication on first use (offscreen unless QT_QPA_PLATFORM is set).
void ensureApplication();

// "姓名", "电话" as the column list file holds them (GBK, CR LF).
std::string gbkNames();
// UTF-8 text as GBK bytes, through iconv.
std::string toGbk(const std::string& utf8);

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens and shows the window over `folder` (the scratch program folder
    // unless given), as the program does at start.
    MainWindow& open();
    MainWindow& open(const std::filesystem::path& folder);

    // The window's child named `name`; fails the test when there is none.
    template <class T>
    T* find(const char* name) {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << "no control " << name;
        return child;
    }
    // A left click in the middle of List2/List3 entry `row`, or a double-click.
    void clickItem(const char* list, int row, bool twice = false);

    TempDir dir;
    std::filesystem::path folder;  // the program folder, with data/ini.txt = gbkNames()
    std::unique_ptr<MainWindow> window;
    std::vector<ShownMessage> messages;  // every message box, in order
    std::deque<std::string> files;       // answers of the file dialog; "" when empty
    std::vector<std::string> filters;    // the filters the file dialog was given
    std::function<void()> duringChoice;  // runs inside the file dialog, i.e. mid-action
};

}  // namespace tabrovin::testing
