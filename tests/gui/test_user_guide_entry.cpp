// 工具 → 使用说明: the guide found beside a build or in an installed
// package's tree, opened in the browser, and a Chinese reason when it cannot.

#include <QAction>
#include <QDir>

#include "app/qt/user_guide.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

class UserGuideTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        qt::userGuideFolder = [this] { return QString::fromStdString(utf8FromPath(exe)); };
        qt::userGuideOpener = [this](const QUrl& url) {
            opened.push_back(url);
            return opens;
        };
    }
    void TearDown() override {
        qt::userGuideFolder = nullptr;
        qt::userGuideOpener = nullptr;
        GuiTest::TearDown();
    }
    // Lays the page at `relative` to the executable's folder.
    std::filesystem::path layPage(const std::string& relative) {
        const auto page = exe / u8path(relative) / u8path(qt::kUserGuidePage);
        std::filesystem::create_directories(page.parent_path());
        writeFile(page, "<html></html>");
        return page;
    }
    QString found() { return qt::findUserGuide(QString::fromStdString(utf8FromPath(exe))); }
    static QString native(const std::filesystem::path& p) {
        return QDir::toNativeSeparators(QDir::cleanPath(QString::fromStdString(utf8FromPath(p))));
    }

    std::filesystem::path exe = dir / "root" / "usr" / "bin";  // where the executable lies
    std::vector<QUrl> opened;                                  // what the browser was given
    bool opens = true;                                         // whether the browser opens
};

TEST_F(UserGuideTest, ThePageIsFoundBesideABuildElseInTheInstalledTree) {
    std::filesystem::create_directories(exe);
    EXPECT_TRUE(found().isEmpty());
    const auto installed = layPage("../share/doc/tabrovin");
    EXPECT_EQ(QDir::toNativeSeparators(found()), native(installed));
    const auto beside = layPage("doc");
    EXPECT_EQ(QDir::toNativeSeparators(found()), native(beside)) << "the build's own page wins";
}

TEST_F(UserGuideTest, TheEntryOpensThePageOrSaysWhyItCannot) {
    open();
    QAction* entry = find<QAction>("userGuide");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text(), QString::fromUtf8("使用说明"));

    // Missing: both places are named, and nothing is opened.
    entry->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    const std::string missing = messages[0].text;
    EXPECT_NE(missing.find(native(exe / "doc").toStdString()), std::string::npos) << missing;
    EXPECT_NE(
        missing.find(native(dir / "root" / "usr" / "share" / "doc" / "tabrovin").toStdString()),
        std::string::npos)
        << missing;
    EXPECT_TRUE(opened.empty());

    // Found: the browser gets the file's address, and nothing is said.
    messages.clear();
    const auto page = layPage("../share/doc/tabrovin");
    entry->trigger();
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_EQ(QDir::toNativeSeparators(opened[0].toLocalFile()), native(page));

    // No browser: the page's path is given to open by hand.
    opens = false;
    entry->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find(native(page).toStdString()), std::string::npos)
        << messages[0].text;
}

}  // namespace
}  // namespace tabrovin::testing
