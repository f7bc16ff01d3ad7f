// The window's command line, as a file manager's "open with" or a user
// gives it.
#include "app/start_arguments.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

TEST(WindowArguments, OneWorkbookAndAHomeAtMost) {
    auto none = parseWindowArguments({});
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none->home || none->workbook);
    auto both = parseWindowArguments({"--home", "/tmp/家", "/tmp/名单.xls"});
    ASSERT_TRUE(both.ok());
    EXPECT_EQ(both->home, "/tmp/家");
    EXPECT_EQ(both->workbook, "/tmp/名单.xls");
    auto dashed = parseWindowArguments({"--", "-名单.xls"});
    ASSERT_TRUE(dashed.ok());
    EXPECT_EQ(dashed->workbook, "-名单.xls");

    EXPECT_TRUE(failsWith(parseWindowArguments({"a.xls", "b.xls"}), err::kRefused,
                          "一次只能打开一个工作簿"));
    EXPECT_TRUE(failsWith(parseWindowArguments({"--home"}), err::kRefused, "缺少目录"));
    EXPECT_TRUE(failsWith(parseWindowArguments({"--sheet", "2"}), err::kRefused, "--sheet"));
}

}  // namespace
}  // namespace tabrovin::testing
