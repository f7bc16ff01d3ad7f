// The cleaning options beside step two, driven through the real window: the
// dialog 清理选项…, the note in the step-two frame, the steps they change,
// and the count beforehand.

#include <QCheckBox>
#include <QSettings>

#include "app/qt/cleaning_options.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

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
    QString note() {
        auto* label = find<QLabel>("cleaningOptionsLabel");
        return label->isVisible() ? label->text() : QString();
    }
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

}  // namespace
}  // namespace tabrovin::testing
