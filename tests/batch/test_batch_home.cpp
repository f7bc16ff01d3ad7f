// Which program folder tabrovin-batch works on when it is a portable copy,
// installed, or given --home, as a user meets it: by running the command.
#include "tests/support/test_support.h"

namespace tt = tabrovin::testing;
namespace fs = std::filesystem;

namespace {

class BatchHome : public ::testing::Test {
  protected:
    void SetUp() override {
        tt::writeFile(dir / "book.csv", "姓名,城市\n张三,北京\n李四,上海\n");
        fs::create_directories(dir / "home");
    }
    // A copy of the built command in `folder`.
    fs::path copyCommand(const fs::path& folder) {
        fs::create_directories(folder);
        fs::copy_file(fs::path(TABROVIN_BIN_DIR) / "tabrovin-batch", folder / "tabrovin-batch");
        return folder / "tabrovin-batch";
    }
    // The command as a package installs it: root/usr/bin with the templates
    // in root/usr/share/tabrovin.
    fs::path installCommand() {
        const fs::path share = dir / "root/usr/share/tabrovin";
        fs::create_directories(share);
        for (const char* name : {"B.mdb", "导出空白.xls"})
            fs::copy_file(fs::path(TABROVIN_BIN_DIR) / "data" / tt::u8path(name),
                          share / tt::u8path(name));
        return copyCommand(dir / "root/usr/bin");
    }
    // Runs `command` with HOME in the scratch folder and XDG_DATA_HOME as given.
    tt::CommandResult run(const fs::path& command, const std::string& args,
                          const std::string& xdg = "") {
        const std::string env =
            "HOME=" + tt::shellQuote((dir / "home").string()) +
            (xdg.empty() ? " XDG_DATA_HOME=" : " XDG_DATA_HOME=" + tt::shellQuote(xdg));
        return tt::run("env " + env + " " + tt::shellQuote(command.string()) + " " + args);
    }
    std::string book() { return tt::shellQuote((dir / "book.csv").string()); }

    tt::TempDir dir;
};

}  // namespace

TEST_F(BatchHome, InstalledCommandKeepsTheUsersFilesInTheirDataFolder) {
    const fs::path command = installCommand();
    const fs::path xdg = dir / "xdg";
    ASSERT_TRUE(tt::exited(run(command, "import " + book(), xdg.string()), 0));
    EXPECT_TRUE(fs::is_regular_file(xdg / "tabrovin/data/data.mdb"));
    EXPECT_FALSE(fs::exists(dir / "root/usr/bin/data")) << "nothing beside the installed command";

    // A later start keeps the rows.
    EXPECT_EQ(run(command, "rows", xdg.string()).output,
              "编号\t姓名\t城市\n1\t张三\t北京\n2\t李四\t上海\n");

    // --home wins over both, and is taken as it is.
    const fs::path given = tt::makeProgramFolder(dir / "given");
    EXPECT_EQ(
        run(command, "--home " + tt::shellQuote(given.string()) + " rows", xdg.string()).output,
        "编号\n");
}

TEST_F(BatchHome, RefusesInChineseWhenNoFolderCanBeWritten) {
    tt::writeFile(dir / "file", "");
    EXPECT_TRUE(tt::exited(run(installCommand(), "import " + book(), (dir / "file").string()), 1,
                           "[Tabrovin] 程序所在的文件夹"));
    EXPECT_FALSE(fs::exists(dir / "root/usr/bin/data"));
}
