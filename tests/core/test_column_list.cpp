#include <gtest/gtest.h>

#include "core/column_list.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
using tt::TempDir;

namespace {
// "姓名" and "电话" in GBK.
const std::string kXingMing = "\xD0\xD5\xC3\xFB";
const std::string kDianHua = "\xB5\xE7\xBB\xB0";
}  // namespace

TEST(ColumnListFile, WritesGbkWithCrLfAfterEveryEntry) {
    EXPECT_EQ(column_list::encode({"姓名", "电话"}), kXingMing + "\r\n" + kDianHua + "\r\n");
    EXPECT_EQ(column_list::encode({}), "");
    EXPECT_EQ(column_list::encode({"  "}), "  \r\n");  // blanks survive as they are
}

TEST(ColumnListFile, ReadsLineEndsAsTheOldFilesUseThem) {
    using V = std::vector<std::string>;
    EXPECT_EQ(column_list::decode(kXingMing + "\r\n" + kDianHua + "\r\n"), (V{"姓名", "电话"}));
    EXPECT_EQ(column_list::decode("a\rb\r\nc"), (V{"a", "b", "c"}));  // lone CR ends a line
    EXPECT_EQ(column_list::decode("a\nb\r\n"), (V{"a\nb"}));          // lone LF does not
    EXPECT_EQ(column_list::decode("a\r\n\r\n\r\nb\r\n"), (V{"a", "b"}));
    EXPECT_EQ(column_list::decode(""), V{});
}

// A CR is stored as LF, so the entry stays one; a character outside GBK
// round-trips too (GB18030 extends GBK).
TEST(ColumnListFile, PositionsAndRareCharactersSurviveARoundTrip) {
    EXPECT_EQ(column_list::decode(
                  column_list::encode({"a", "", "b\rc", "\n", "d\ne", "   ", "𠀀x", "z"})),
              (std::vector<std::string>{"a", "", "b\nc", "\n", "d\ne", "   ", "𠀀x", "z"}));
}

// Excel writes a break in a heading as CR LF; it is one break, as a lone CR is.
TEST(ColumnListFile, ACrLfBreakIsStoredAsOneLineFeed) {
    EXPECT_EQ(column_list::encode({"line\r\nwith", "a\r\n\r\nb", "c\r\r\n"}),
              "line\nwith\r\na\n\nb\r\nc\n\n\r\n");
    EXPECT_EQ(column_list::decode(column_list::encode({"\r\n", "x"})),
              (std::vector<std::string>{"\n", "x"}));
}

TEST(ColumnListFile, LoadAndSaveTheFileAndAFailedSaveKeepsTheOldList) {
    TempDir dir;
    auto file = dir / "ini.txt";
    EXPECT_TRUE(column_list::load(file).empty());  // missing: no names

    tt::writeFile(file, kXingMing + "\r\n\r\n" + kDianHua + "\r\n");
    EXPECT_EQ(column_list::load(file), (std::vector<std::string>{"姓名", "电话"}));

    ASSERT_TRUE(column_list::save({}, file).ok());
    EXPECT_EQ(tt::readFile(file), "");
    ASSERT_TRUE(column_list::save({"电话"}, file).ok());
    EXPECT_EQ(tt::readFile(file), kDianHua + "\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "ini.txt.tmp"));

    EXPECT_FALSE(column_list::save({"x"}, dir / "no-such-folder/ini.txt").ok());
    // A folder where the new list would be written makes the write fail; the old list stays.
    std::filesystem::create_directories(dir / "ini.txt.tmp/x");
    EXPECT_TRUE(tt::failsWith(column_list::save({"别的"}, file), err::kFileAccess));
    EXPECT_EQ(column_list::load(file), (std::vector<std::string>{"电话"}));
}

// Editors save UTF-8 now; such a file reads as UTF-8, and writing stays GBK.
TEST(ColumnListFile, AFileSavedAsUtf8ReadsAsUtf8) {
    using V = std::vector<std::string>;
    EXPECT_EQ(column_list::decode("\xEF\xBB\xBF姓名\r\n电话\r\n"), (V{"姓名", "电话"}));
    EXPECT_EQ(column_list::decode("姓名\r\n电话\r\nabc\r\n"), (V{"姓名", "电话", "abc"}));
    EXPECT_EQ(column_list::decode("\xEF\xBB\xBF"
                                  "abc\r\n"),
              (V{"abc"}));
    EXPECT_EQ(column_list::decode(kXingMing + "\r\n"), (V{"姓名"}));  // still GBK
    EXPECT_EQ(column_list::encode({"姓名"}), kXingMing + "\r\n");
}
