// The cleaning options of tabrovin-batch: several key columns, the
// normalisations, several keywords and the ways of matching, each undone.
#include "tests/support/workspace_fixture.h"

namespace tt = tabrovin::testing;

namespace {

class BatchCleaning : public tt::WorkspaceTest {
  protected:
    void SetUp() override {
        const auto book = writeXls("客户.xls", {{{"姓名", "城市", "电话"},
                                                 {"张三", "北京", "1"},
                                                 {"张三", "北京\u3000", "2"},
                                                 {"张三", "北京", "3"},
                                                 {"李四", "ＢＥＩＪＩＮＧ", "4"},
                                                 {"李四", "beijing", "5"}}});
        ASSERT_EQ(batch("import " + tt::shellQuote(book.string())).exitCode, 0);
    }
};

}  // namespace

// Each option once: which rows match is the steps' own test.
TEST_F(BatchCleaning, EachOptionRemovesItsRowsAndUndoes) {
    for (const auto& [args, left] : std::vector<std::pair<std::string, int64_t>>{
             {"dedupe --column 0 --column 1", 4},
             {"dedupe --column 1 --column 0 --trim", 3},
             {"dedupe --column 1 --width --pause-every 0", 3},
             {"delete --column 1 --keyword 北京 --keyword BEIJING --match equals", 2},
             {"delete --column 1 --keyword 北京 --match starts", 2},
             {"delete --column 1 --keyword j_n --match literal", 5},
             {"delete --column 1 --keyword j_n", 4}}) {
        EXPECT_TRUE(tt::exited(batch(args), 0, "总数还有" + std::to_string(left) + "!")) << args;
        EXPECT_EQ(rowCount(), left) << args;
        if (left < 5) {  // a step that removed nothing leaves nothing to undo
            ASSERT_EQ(batch("undo").exitCode, 0);
        }
        ASSERT_EQ(rowCount(), 5);
    }
}

TEST_F(BatchCleaning, WrongOptionsChangeNothing) {
    for (const char* args :
         {"delete --column 1 --keyword x --match fuzzy", "delete --column 1 --column 2 --keyword x",
          "dedupe --column 0 --column 9", "dedupe --trim", "delete --column 1 --match equals",
          "dedupe --column 0 --trim x"}) {
        EXPECT_TRUE(tt::exited(batch(args), 2)) << args;
        EXPECT_EQ(rowCount(), 5) << args;
    }
    EXPECT_TRUE(
        tt::exited(batch("delete --column 1 --keyword 北京 --keyword ''"), 1, "关键字不能为空"));
    EXPECT_EQ(rowCount(), 5);
}
