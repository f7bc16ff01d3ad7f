// 工具 → 使用说明: the guide found beside a build or in an installed
// package's tree, opened in the browser, and a Chinese reason when it cannot.

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
