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

TEST_F(BatchCleaning, EachOptionRemovesItsRowsAndUndoes) {
    struct Step {
        std::string args;
        int64_t left;
    };
    for (const Step& s :
         std::vector<Step>{{"dedupe --column 0", 2},
                           {"dedupe --column 0 --column 1", 4},
                           {"dedupe --column 1 --column 0 --trim", 3},
                           {"dedupe --column 0 --column 1 --trim --width", 2},
                           {"dedupe --column 1 --width --pause-every 0", 3},
                           {"delete --column 1 --keyword 北京 --keyword BEIJING --match equals", 2},
                           {"delete --column 1 --keyword 北京 --match starts", 2},
                           {"delete --column 2 --keyword 1 --keyword 5", 3},
                           {"delete --column 1 --keyword j_n --match literal", 5},
                           {"delete --column 1 --keyword j_n", 4}}) {
        auto r = batch(s.args);
        EXPECT_EQ(r.exitCode, 0) << s.args << "\n" << r.output;
        EXPECT_NE(r.output.find("总数还有" + std::to_string(s.left) + "!"), std::string::npos)
            << s.args << "\n"
            << r.output;
        EXPECT_EQ(rowCount(), s.left) << s.args;
        if (s.left < 5) {  // a step that removed nothing leaves nothing to undo
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
        auto r = batch(args);
        EXPECT_EQ(r.exitCode, 2) << args << "\n" << r.output;
        EXPECT_EQ(rowCount(), 5) << args;
    }
    auto empty = batch("delete --column 1 --keyword 北京 --keyword ''");
    EXPECT_EQ(empty.exitCode, 1) << empty.output;
    EXPECT_NE(empty.output.find("关键字不能为空"), std::string::npos) << empty.output;
    EXPECT_EQ(rowCount(), 5);
}
