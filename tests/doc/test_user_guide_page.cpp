// The rendered user guide, followed offline as a browser would: every link
// and picture on the page must lead to something that is there.

#include <cctype>
#include <regex>
#include <set>

#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

std::string percentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() &&
            std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The values of `attribute` on every element of `html`, entities &amp; undone.
std::vector<std::string> attributeValues(const std::string& html, const std::string& attribute) {
    std::vector<std::string> values;
    const std::regex pattern("\\s" + attribute + "\\s*=\\s*(\"([^\"]*)\"|'([^']*)')");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        std::string v = (*it)[2].matched ? (*it)[2].str() : (*it)[3].str();
        for (size_t at; (at = v.find("&amp;")) != std::string::npos;) v.replace(at, 5, "&");
        values.push_back(v);
    }
    return values;
}

struct PageCheck {
    std::vector<std::string> broken;  // each link or picture not found, with why
    std::vector<fs::path> pictures;   // the pictures found
};

// Follows every href and src of `page` without a network: an anchor must
// name an id on the page, a relative address a file beside it. Any other
// address cannot be followed offline and counts as broken.
PageCheck followLinks(const fs::path& page) {
    PageCheck check;
    const std::string html = readFile(page);
    std::set<std::string> ids;
    for (const auto& id : attributeValues(html, "id")) ids.insert(id);
    for (const char* attribute : {"href", "src"}) {
        for (const std::string& link : attributeValues(html, attribute)) {
            const std::string address = percentDecoded(link);
            if (address.starts_with("#")) {
                if (!ids.contains(address.substr(1))) check.broken.push_back(link + ": no such id");
                continue;
            }
            if (std::regex_search(address, std::regex("^[A-Za-z][A-Za-z0-9+.-]*:"))) {
                check.broken.push_back(link + ": cannot be followed offline");
                continue;
            }
            const fs::path target =
                page.parent_path() / u8path(address.substr(0, address.find('#')));
            std::error_code ec;
            if (!fs::is_regular_file(target, ec) || fs::file_size(target, ec) == 0) {
                check.broken.push_back(link + ": no such file");
                continue;
            }
            if (std::string(attribute) == "src") check.pictures.push_back(target);
        }
    }
    return check;
}

// Width and height from a PNG's header; {0, 0} when it is not a PNG.
std::pair<uint32_t, uint32_t> pngSize(const fs::path& file) {
    const std::string bytes = readFile(file);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

TEST(UserGuidePage, EveryLinkAndPictureOfTheRenderedGuideIsFound) {
    const fs::path page = fs::path(TABROVIN_BIN_DIR) / "doc" / u8path("使用说明.html");
    ASSERT_TRUE(fs::is_regular_file(page)) << page << " was not rendered";
    PageCheck check = followLinks(page);
    for (const auto& why : check.broken) ADD_FAILURE() << why;
    // Every picture the guide's source names made it onto the page.
    const std::string source =
        readFile(fs::path(TABROVIN_SOURCE_DIR) / "docs" / u8path("使用说明.md"));
    std::set<fs::path> named;
    const std::regex image("!\\[[^\\]]*\\]\\(([^) ]+)");
    for (auto it = std::sregex_iterator(source.begin(), source.end(), image);
         it != std::sregex_iterator(); ++it)
        named.insert(page.parent_path() / u8path((*it)[1].str()));
    EXPECT_FALSE(named.empty());
    EXPECT_EQ(std::set<fs::path>(check.pictures.begin(), check.pictures.end()), named);
    // Each is a real picture of the window, not an empty or tiny image.
    for (const auto& picture : check.pictures) {
        auto [width, height] = pngSize(picture);
        EXPECT_GE(width, 300u) << picture;
        EXPECT_GE(height, 200u) << picture;
    }
}

// The step before pandoc, on a guide of our own: run as the build runs it.
class GuideText : public ::testing::Test {
  protected:
    CommandResult prepare(const std::string& guide) {
        writeFile(dir / "guide.md", guide);
        return run(
            shellQuote(TABROVIN_CMAKE) + " -DGUIDE=" + shellQuote((dir / "guide.md").string()) +
            " -DGUIDE_DIR=" + shellQuote(dir.path().string()) + " -DBATCH=" + batchCommand() +
            " -DOUT=" + shellQuote((dir / "out.md").string()) + " -P " +
            shellQuote(TABROVIN_SOURCE_DIR "/docs/prepare_guide.cmake"));
    }
    TempDir dir;
};

TEST_F(GuideText, APictureTheGuideNamesButNobodyTookStopsTheBuild) {
    writeFile(dir / "taken.png", "x");
    CommandResult r =
        prepare("![a](taken.png)\n![b](images/missing.png)\n``` {#batch-help}\n```\n");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("images/missing.png"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir / "out.md"));
}

TEST_F(GuideText, ThePageShowsTheBatchCommandsOwnHelpInPlaceOfTheCopy) {
    writeFile(dir / "taken.png", "x");
    const std::string before = "# 说明\n\n![a](taken.png)\n\n``` {#batch-help}\n";
    const std::string after = "```\n\n结尾\n";
    CommandResult r = prepare(before + "an old copy\n" + after);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    CommandResult help = run(batchCommand() + " --help");
    ASSERT_EQ(help.exitCode, 0);
    EXPECT_EQ(readFile(dir / "out.md"), before + help.output + after);
    // Without the marked block there is nowhere to put it: said, not skipped.
    EXPECT_NE(prepare("![a](taken.png)\n").exitCode, 0);
}

}  // namespace
}  // namespace tabrovin::testing
