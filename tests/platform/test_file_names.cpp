// A workbook path is opened once and never waits: whatever sits at the path
// when it is opened is what gets read, and a pipe there is refused at once.

#include <gtest/gtest.h>

#include "platform/file_names.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <fstream>

#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

TEST(OpenRegularFile, ReadsAFileAndRefusesFoldersAndPipesWithoutWaiting) {
    TempDir dir;
    std::ofstream(dir.path() / "书.csv") << "a,b\n";
    std::string why;
    std::FILE* f = openRegularFile(dir.path() / "书.csv", why);
    ASSERT_NE(f, nullptr) << why;
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, f), 4u);
    std::fclose(f);
    EXPECT_EQ(openRegularFile(dir.path(), why), nullptr);
    EXPECT_EQ(openRegularFile(dir.path() / "没有.csv", why), nullptr);
    EXPECT_NE(why.find("权限"), std::string::npos);
#ifndef _WIN32
    // Opening a pipe for reading waits for a writer: this would hang.
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.xlsx").c_str(), 0600), 0);
    EXPECT_EQ(openRegularFile(dir.path() / "pipe.xlsx", why), nullptr);
    EXPECT_NE(why.find("管道"), std::string::npos);
#endif
}

}  // namespace
}  // namespace tabrovin::testing
