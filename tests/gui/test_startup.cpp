// The window as it opens: texts, enabled buttons, Combo1 from the column
// list file, control positions, colours, focus order.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using StartupTest = GuiTest;

TEST_F(StartupTest, OpensWithInitialTextsButtonsAndColumnList) {
    MainWindow& w = open();
    EXPECT_EQ(w.objectName(), "Form1");
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Tabrovin1.0 - 表格数据导入导出工具"));

    for (int i = 0; i < kButtonCount; ++i) {
        auto* button = find<QPushButton>(("cmd" + std::to_string(i)).c_str());
        EXPECT_EQ(button->isEnabled(), i != 5) << "cmd" << i;
    }
    EXPECT_EQ(find<QPushButton>("cmd6")->text(), QString::fromUtf8("1.选择你要导入的Excel"));
    EXPECT_EQ(find<QPushButton>("cmd5")->text(), QString::fromUtf8("2. 开始导入"));
    EXPECT_EQ(find<QLineEdit>("Text4")->text(), "1");
    EXPECT_EQ(find<QLineEdit>("Text5")->text(), "500");
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), "1000");
    EXPECT_EQ(find<QLineEdit>("Text2")->text(), "");

    auto* combo = find<QComboBox>("Combo1");
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), QString::fromUtf8("姓名"));
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8("电话"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(StartupTest, StepsAndMenuAreLaidOutAtTheirDesignPositions) {
    MainWindow& w = open();
    EXPECT_EQ(w.centralWidget()->size(), QSize(439, 333));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "the window must not be resizable";
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(find<QGroupBox>("Frame2")->geometry(), QRect(8, 8, 425, 217));
    EXPECT_EQ(find<QGroupBox>("Frame4")->geometry(), QRect(8, 232, 425, 81));
    auto* frame3 = find<QGroupBox>("Frame3");
    EXPECT_FALSE(frame3->isVisible());
    EXPECT_EQ(frame3->geometry(), QRect(8, 8, 425, 305));
    EXPECT_EQ(find<QPushButton>("cmd6")->geometry(), QRect(32, 152, 153, 25));
    EXPECT_EQ(find<QListWidget>("List1")->geometry(), QRect(256, 16, 145, 172));
    EXPECT_EQ(find<QLineEdit>("Text5")->geometry(), QRect(136, 104, 49, 18));
    EXPECT_EQ(find<QPushButton>("cmd2")->geometry(), QRect(24, 248, 137, 41));
    EXPECT_EQ(find<QLabel>("Label1")->geometry(), QRect(8, 312, 6, 20));
    EXPECT_EQ(find<QLabel>("Label1")->parentWidget(), w.centralWidget());

    auto* sr0 = find<QAction>("SR0");
    auto* sr1 = find<QAction>("SR1");
    EXPECT_EQ(sr0->text(), QString::fromUtf8("导入及处理"));
    EXPECT_EQ(sr1->text(), QString::fromUtf8("导出Excel"));
    EXPECT_EQ(w.menuBar()->actions(), (QList<QAction*>{sr0, sr1}));
}

TEST_F(StartupTest, OpensWithoutDataFolder) {
    std::filesystem::remove_all(folder / "data");
    MainWindow& w = open();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(find<QComboBox>("Combo1")->count(), 0);
    EXPECT_EQ(w.comboIndex(), -1);
}

TEST_F(StartupTest, CaptionsAndCountersHaveTheirColoursAndStayReadable) {
    MainWindow& w = open();
    const QColor green(0x00, 0x40, 0x00), olive(0x40, 0x40, 0x00), blue(0x00, 0x00, 0xFF);
    for (const char* frame : {"Frame2", "Frame3", "Frame4"})
        EXPECT_EQ(find<QGroupBox>(frame)->palette().color(QPalette::WindowText), green) << frame;
    EXPECT_EQ(find<QLabel>("Label17")->palette().color(QPalette::WindowText), green);
    EXPECT_EQ(find<QLabel>("Label12")->palette().color(QPalette::WindowText), olive);
    EXPECT_EQ(find<QLabel>("Label13")->palette().color(QPalette::WindowText), olive);
    // A label inside a green-captioned frame keeps the ordinary text colour.
    EXPECT_NE(find<QLabel>("Label4")->palette().color(QPalette::WindowText), green);

    auto* rows = find<QLabel>("Label6");
    EXPECT_EQ(rows->palette().color(QPalette::WindowText), blue);
    EXPECT_TRUE(rows->font().bold());
    EXPECT_GT(rows->font().pixelSize(), find<QLabel>("Label4")->font().pixelSize());
    w.setCaption(Label::Label6, "1234567");
    EXPECT_EQ(rows->text(), "1234567");
    EXPECT_GE(rows->width(), rows->sizeHint().width()) << "a growing count must not be cut off";
    EXPECT_EQ(w.caption(Label::Label6), "1234567");

    // Every caption fits its label.
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
    }
}

TEST_F(StartupTest, ProgressBarKeepsTheWidthItWasGiven) {
    MainWindow& w = open();
    auto* bar = find<QLabel>("Label1");
    EXPECT_TRUE(bar->text().isEmpty());
    EXPECT_TRUE(bar->autoFillBackground());
    EXPECT_EQ(bar->palette().color(QPalette::Window), QColor(0, 0, 0xFF));
    EXPECT_EQ(w.widthTwips(Label::Label1), 90);
    // Pauses grow it by 500 twips at a time; the sum must not drift by rounding.
    for (int i = 0; i < 5; ++i) w.setWidthTwips(Label::Label1, w.widthTwips(Label::Label1) + 500);
    EXPECT_EQ(w.widthTwips(Label::Label1), 2590);
    EXPECT_EQ(bar->width(), 173);
    w.setWidthTwips(Label::Label1, 0);
    EXPECT_EQ(bar->width(), 0);
}

TEST_F(StartupTest, FocusStartsOnTheChooserAndTabsInDesignOrder) {
    MainWindow& w = open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), find<QWidget>("cmd6"));

    // In the import view, hidden controls and the disabled cmd5 are skipped.
    const char* const expected[] = {"List1", "Combo1", "cmd4",  "Text2",
                                    "cmd3",  "Text4",  "Text5", "cmd6"};
    for (const char* name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name);
    }
}

}  // namespace
}  // namespace tabrovin::testing
