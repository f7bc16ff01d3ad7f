// The cleaning options beside step two, driven through the real window: the
// dialog 清理选项…, the note in the step-two frame, the steps they change,
// the count beforehand, and undo after each.

#include <QAction>
#include <QCheckBox>
#include <QSettings>

#include "app/qt/cleaning_options.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

class CleaningTest : public GuiTest {
  protected:
    // 30 rows: 姓名 repeats every 3rd row, 地址 every 7th.
    void importSheet() {
        chooseAndWait(writeSheet("a.csv", 30), true);
        ASSERT_EQ(textOf("Label6"), "30");
    }
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
    QString note() {
        auto* label = find<QLabel>("cleaningOptionsLabel");
        return label->isVisible() ? label->text() : QString();
    }
    std::string undo() {
        messages.clear();
        trigger("undoStep");
        EXPECT_TRUE(idle());
        return textOf("Label6").toStdString();
    }
};

TEST_F(CleaningTest, OptionsShowInTheFrameWhenNotDefaultAndAreRemembered) {
    open();
    EXPECT_TRUE(note().isEmpty());
    importSheet();
    tickColumn(2, true);
    control<QCheckBox>("trimBlanks")->setChecked(true);
    control<QComboBox>("matchMode")->setCurrentIndex(1);
    EXPECT_EQ(note(), QString::fromUtf8("选项：另加列：地址 · 去空白 · 等于"));
    control<QCheckBox>("severalKeywords")->setChecked(true);
    EXPECT_TRUE(note().endsWith(QString::fromUtf8("等于 · 多个关键字"))) << note().toStdString();

    // A new window reads them back, into the frame and the dialog.
    window.reset();
    open();
    EXPECT_TRUE(note().startsWith(QString::fromUtf8("选项：另加列：地址 · 去空白")));
    EXPECT_EQ(control<QComboBox>("matchMode")->currentIndex(), 1);
    EXPECT_EQ(control<QListWidget>("dedupeColumns")->item(2)->checkState(), Qt::Checked);
    // All back at their defaults: the note goes.
    tickColumn(2, false);
    control<QCheckBox>("trimBlanks")->setChecked(false);
    control<QComboBox>("matchMode")->setCurrentIndex(0);
    control<QCheckBox>("severalKeywords")->setChecked(false);
    EXPECT_TRUE(note().isEmpty()) << note().toStdString();
    QSettings settings(QString::fromStdString((folder / "data" / "window.ini").string()),
                       QSettings::IniFormat);
    EXPECT_TRUE(CleaningOptions::load(settings).isDefault());
}

// Each step as its options make it, the count beforehand agreeing with it,
// and undo after each.
TEST_F(CleaningTest, StepsFollowTheOptionsAndTheCountForetellsThem) {
    open();
    importSheet();
    tickColumn(2, true);  // 姓名 and 地址: 21 of the 30 pairs differ
    setTextOf("Text2", QString::fromUtf8("NAME1|name2"));
    control<QCheckBox>("severalKeywords")->setChecked(true);
    clickAndWait("cmd4");
    EXPECT_EQ(textOf("Label6"), "21");
    EXPECT_EQ(undo(), "30");

    auto* counts = control<QLabel>("removalCounts");
    QTest::mouseClick(control<QPushButton>("countRemovals"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return counts->text().contains("。"); }, 20000));
    EXPECT_EQ(counts->text(),
              QString::fromUtf8("3.过滤重复将删除 9 行；\n4.删除相应的行将删除 20 行。"));
    EXPECT_EQ(textOf("Label6"), "30");  // counting changed nothing

    clickAndWait("cmd3");
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().text.find("总数还有10!"), std::string::npos) << messages.back().text;
    EXPECT_EQ(undo(), "30");

    // 等于 with one keyword: only whole values, letters in either case.
    control<QCheckBox>("severalKeywords")->setChecked(false);
    control<QComboBox>("matchMode")->setCurrentIndex(1);
    setTextOf("Text2", QString::fromUtf8("NAME1"));
    clickAndWait("cmd3");
    EXPECT_NE(messages.back().text.find("总数还有20!"), std::string::npos) << messages.back().text;
    setTextOf("Text2", QString::fromUtf8("name"));
    clickAndWait("cmd3");
    EXPECT_NE(messages.back().text.find("总数还有20!"), std::string::npos) << messages.back().text;
    // The last delete removed nothing and kept no undo: the one before is undone.
    EXPECT_EQ(undo(), "30");

    // While a step runs its options cannot change under it; afterwards they can.
    tickColumn(2, false);
    setTextOf("Text5", "0");  // half a second after each of the three groups
    click("cmd4");
    ASSERT_TRUE(window->operationRunning());
    for (const char* name : {"dedupeColumns", "trimBlanks", "foldWidth", "matchMode",
                             "severalKeywords", "countRemovals"})
        EXPECT_FALSE(childOf(dialog(), name)->isEnabled()) << name;
    ASSERT_TRUE(idle());
    EXPECT_TRUE(control<QCheckBox>("trimBlanks")->isEnabled());
}

}  // namespace
}  // namespace tabrovin::testing
