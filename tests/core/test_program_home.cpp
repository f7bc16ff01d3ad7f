// Which folder a start works on, and how a first start lays out the user's
// folder without ever replacing what is there.
#include <set>

#include "core/program_home.h"
#include "tests/support/test_support.h"

namespace tt = tabrovin::testing;
using namespace tabrovin;
namespace fs = std::filesystem;

namespace {

class ProgramHome : public ::testing::Test {
  protected:
    // An installed layout: root/usr/bin and the templates in root/usr/share/tabrovin.
    void install() {
        fs::create_directories(bin);
        fs::create_directories(installedTemplates(bin));
        tt::writeFile(installedTemplates(bin) / "B.mdb", "blank");
        tt::writeFile(installedTemplates(bin) / tt::u8path("导出空白.xls"), "template");
    }
    // chooseHome with every folder writable except those in `readOnly`.
    Result<HomeChoice> choose(std::set<fs::path> readOnly = {},
                              std::optional<fs::path> given = std::nullopt) {
        return chooseHome({given, bin, user, [readOnly](const fs::path& p) {
                               return fs::is_directory(p) && !readOnly.contains(p);
                           }});
    }
    // The folder and templates chosen; empty after a failure, which says why.
    std::pair<fs::path, fs::path> chosen(std::set<fs::path> readOnly = {},
                                         std::optional<fs::path> given = std::nullopt) {
        auto r = choose(std::move(readOnly), given);
        EXPECT_TRUE(r.ok()) << r.error().description;
        return r.ok() ? std::pair{r->folder, r->templates} : std::pair<fs::path, fs::path>{};
    }

    tt::TempDir dir;
    fs::path bin = dir / "root/usr/bin";
    fs::path user = dir / "xdg/tabrovin";
};

}  // namespace

TEST_F(ProgramHome, PortableCopyKeepsItsOwnFolderAndInstalledCopyTheUsers) {
    fs::create_directories(bin / "data");
    install();
    EXPECT_EQ(chosen(), std::pair(bin, fs::path()));
    EXPECT_FALSE(fs::exists(user)) << "a portable start makes nothing elsewhere";

    // Installed (no data/ beside it): the user's folder even when the
    // executable's folder could be written, as /usr/bin can by root.
    fs::remove_all(bin / "data");
    EXPECT_EQ(chosen(), std::pair(user, installedTemplates(bin)));
    EXPECT_TRUE(fs::is_directory(user));
    EXPECT_EQ(chosen({}, dir / "elsewhere"), std::pair(dir / "elsewhere", fs::path()))
        << "--home is taken as it is";
}

TEST_F(ProgramHome, ReadOnlyPortableCopyMovesToTheUsersFolderWithItsOwnData) {
    fs::create_directories(bin / "data");
    tt::writeFile(bin / "data/B.mdb", "blank");
    EXPECT_EQ(chosen({bin / "data"}), std::pair(user, bin / "data"));
    // A bare writable folder with nothing installed beside it stays as it was.
    fs::remove_all(bin / "data");
    EXPECT_EQ(chosen().first, bin);
}

TEST_F(ProgramHome, RefusesWhenNeitherFolderCanBeWritten) {
    install();
    EXPECT_TRUE(tt::failsWith(choose({user}), err::kFileAccess, "无法创建或写入"));
    fs::create_directories(bin / "data");
    EXPECT_TRUE(tt::failsWith(choose({bin, user}), err::kFileAccess, utf8FromPath(bin)));
    // A user folder below a file cannot even be made.
    tt::writeFile(dir / "file", "");
    user = dir / "file/tabrovin";
    EXPECT_TRUE(tt::failsWith(choose({bin}), err::kFileAccess, "--home"));
    user.clear();  // no HOME at all
    EXPECT_TRUE(tt::failsWith(choose({bin}), err::kFileAccess, "HOME"));
}

TEST_F(ProgramHome, FirstStartLaysOutAndLaterStartsReplaceNothing) {
    install();
    ProgramPaths paths(user);
    ASSERT_TRUE(layOutHome(paths, installedTemplates(bin)).ok());
    EXPECT_EQ(tt::readFile(paths.workingDb()), "blank");
    EXPECT_EQ(tt::readFile(paths.exportTemplate()), "template");
    EXPECT_EQ(tt::readFile(paths.columnList()), "");
    EXPECT_TRUE(fs::is_directory(paths.exportDir()));

    // The user's work, a template they styled, and a newer release's files.
    tt::writeFile(paths.workingDb(), "rows");
    tt::writeFile(paths.columnList(), "姓名\r\n");
    tt::writeFile(paths.exportTemplate(), "styled");
    tt::writeFile(installedTemplates(bin) / "B.mdb", "blank 2");
    tt::writeFile(installedTemplates(bin) / tt::u8path("导出空白.xlsx"), "new template");
    ASSERT_TRUE(layOutHome(paths, installedTemplates(bin)).ok());
    EXPECT_EQ(tt::readFile(paths.workingDb()), "rows");
    EXPECT_EQ(tt::readFile(paths.columnList()), "姓名\r\n");
    EXPECT_EQ(tt::readFile(paths.exportTemplate()), "styled");
    EXPECT_EQ(tt::readFile(paths.blankDb()), "blank");
    EXPECT_EQ(tt::readFile(paths.dataDir() / tt::u8path("导出空白.xlsx")), "new template");
}

TEST_F(ProgramHome, LayOutSaysWhatItCannotMake) {
    tt::writeFile(dir / "file", "");
    ProgramPaths underFile(dir / "file/home");
    EXPECT_TRUE(tt::failsWith(layOutHome(underFile, dir / "none"), err::kFileAccess, "无法创建"));
    ProgramPaths paths(user);
    EXPECT_TRUE(tt::failsWith(layOutHome(paths, dir / "none"), err::kFileAccess, "模板"));
}

#ifndef _WIN32
TEST_F(ProgramHome, WhatLiesAtAFilesNameStaysEvenALink) {
    install();
    ProgramPaths paths(user);
    fs::create_directories(paths.dataDir());
    fs::create_symlink(dir / "elsewhere.mdb", paths.workingDb());
    ASSERT_TRUE(layOutHome(paths, installedTemplates(bin)).ok());
    EXPECT_TRUE(fs::is_symlink(paths.workingDb()));
    EXPECT_FALSE(fs::exists(dir / "elsewhere.mdb")) << "nothing written through the link";
    EXPECT_EQ(tt::readFile(paths.blankDb()), "blank");
}
#endif
