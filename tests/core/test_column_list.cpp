#include <gtest/gtest.h>

#include "core/column_list.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;

namespace {
// "姓名" and "电话" in GBK.
const std::string kXingMing = "\xD0\xD5\xC3\xFB";
const std::string kDianHua = "\xB5\xE7\xBB\xB0";
}  // namespace

// GBK with CR LF after every entry, blanks as they are. Excel writes a break
// in a heading as CR LF: it is one break, as a lone CR is, stored as LF.
TEST(ColumnListFile, WritesGbkWithCrLfAfterEveryEntry) {
    EXPECT_EQ(column_list::encode({"姓名", "电话"}), kXingMing + "\r\n" + kDianHua + "\r\n");
    EXPECT_EQ(column_list::encode({}), "");
    EXPECT_EQ(column_list::encode({"line\r\nwith", "a\r\n\r\nb", "c\r\r\n"}),
              "line\nwith\r\na\n\nb\r\nc\n\n\r\n");
}

// Files as the old program wrote them, or as an editor saves them now (UTF-8,
// with or without a mark).
TEST(ColumnListFile, ReadsGbkOrUtf8AndLineEndsAsTheOldFilesUseThem) {
    using V = std::vector<std::string>;
    const std::pair<std::string, V> cases[] = {
        {kXingMing + "\r\n" + kDianHua + "\r\n", {"姓名", "电话"}},
        {"a\rb\r\nc", {"a", "b", "c"}},  // a lone CR ends a line
        {"a\nb\r\n", {"a\nb"}},          // a lone LF does not
        {"a\r\n\r\n\r\nb\r\n", {"a", "b"}},
        {"", {}},
        {"\xEF\xBB\xBF姓名\r\n电话\r\n", {"姓名", "电话"}},
        {"姓名\r\n电话\r\nabc\r\n", {"姓名", "电话", "abc"}},
    };
    for (const auto& [bytes, names] : cases) EXPECT_EQ(column_list::decode(bytes), names) << bytes;
}

// Positions, breaks and characters outside GBK (GB18030 extends it) survive.
TEST(ColumnListFile, PositionsAndRareCharactersSurviveARoundTrip) {
    EXPECT_EQ(column_list::decode(
                  column_list::encode({"a", "", "b\rc", "\n", "d\ne", "   ", "𠀀x", "z", "\r\n"})),
              (std::vector<std::string>{"a", "", "b\nc", "\n", "d\ne", "   ", "𠀀x", "z", "\n"}));
}

TEST(ColumnListFile, LoadAndSaveTheFileAndAFailedSaveKeepsTheOldList) {
    tt::TempDir dir;
    auto file = dir / "ini.txt";
    EXPECT_TRUE(column_list::load(file).empty());  // missing: no names

    tt::writeFile(file, kXingMing + "\r\n\r\n" + kDianHua + "\r\n");
    EXPECT_EQ(column_list::load(file), (std::vector<std::string>{"姓名", "电话"}));

    ASSERT_TRUE(column_list::save({"电话"}, file).ok());
    EXPECT_EQ(tt::readFile(file), kDianHua + "\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "ini.txt.tmp"));

    EXPECT_FALSE(column_list::save({"x"}, dir / "no-such-folder/ini.txt").ok());
    // A folder where the new list would be written makes the write fail; the old list stays.
    std::filesystem::create_directories(dir / "ini.txt.tmp/x");
    EXPECT_TRUE(tt::failsWith(column_list::save({"别的"}, file), err::kFileAccess));
    EXPECT_EQ(column_list::load(file), (std::vector<std::string>{"电话"}));
}
