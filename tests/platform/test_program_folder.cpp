// The system's answers about folders: the user's data folder from the
// environment, and whether a folder takes files.
#include <cstdlib>

#include "platform/program_folder.h"
#include "tests/support/test_support.h"

namespace tt = tabrovin::testing;
using namespace tabrovin;

#ifndef _WIN32
namespace {

// Sets (or, with nullptr, unsets) an environment variable for one scope.
class Environment {
  public:
    Environment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~Environment() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(ProgramFolder, UserDataFolderFollowsXdgThenHome) {
    Environment home("HOME", "/home/张三");
    {
        Environment xdg("XDG_DATA_HOME", "/data/xdg");
        EXPECT_EQ(userDataFolder("tabrovin"), tt::u8path("/data/xdg/tabrovin"));
    }
    {
        Environment xdg("XDG_DATA_HOME", "relative/xdg");  // invalid: ignored
        EXPECT_EQ(userDataFolder("tabrovin"), tt::u8path("/home/张三/.local/share/tabrovin"));
    }
    Environment xdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(userDataFolder("tabrovin"), tt::u8path("/home/张三/.local/share/tabrovin"));
    Environment noHome("HOME", nullptr);
    EXPECT_TRUE(userDataFolder("tabrovin").empty());
}
#endif

TEST(ProgramFolder, WritableIsTriedNotGuessed) {
    tt::TempDir dir;
    tt::writeFile(dir / "file.csv", "a\n");
    EXPECT_TRUE(isWritableFolder(dir.path()));
    EXPECT_FALSE(isWritableFolder(dir / "file.csv"));
    EXPECT_FALSE(isWritableFolder(dir / "missing"));
    // The probe leaves nothing behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}
