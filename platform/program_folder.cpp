#include "platform/program_folder.h"

#include <cstdlib>
#include <fstream>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tabrovin {
#ifndef _WIN32
namespace {

// An environment variable as a path, empty when unset.
std::filesystem::path environmentPath(const char* name) {
    const char* value = std::getenv(name);
    const std::string text = value ? value : "";
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace
#endif

std::filesystem::path executableFolder(const char* argv0) {
    std::error_code ec;
#ifdef _WIN32
    wchar_t buf[32768];
    DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
    if (n > 0 && n < 32768) return std::filesystem::path(std::wstring(buf, n)).parent_path();
#else
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
#endif
    auto p = std::filesystem::absolute(argv0 ? argv0 : ".", ec);
    return p.parent_path();
}

std::filesystem::path userDataFolder(const std::string& name) {
#ifdef _WIN32
    // The wide form: the ANSI one loses a user name outside the code page.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    const std::filesystem::path base =
        local ? std::filesystem::path(local) : std::filesystem::path();
    if (base.is_absolute()) return base / name;
    return {};
#else
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    const auto xdg = environmentPath("XDG_DATA_HOME");
    if (xdg.is_absolute()) return xdg / name;
    const auto home = environmentPath("HOME");
    if (home.is_absolute()) return home / ".local" / "share" / name;
    return {};
#endif
}

bool isWritableFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return false;
    std::random_device random;
    const auto probe = folder / (".tabrovin-probe-" + std::to_string(random()));
    bool made = false;
    {
        std::ofstream out(probe, std::ios::binary | std::ios::app);
        made = out.good();
    }
    if (made) std::filesystem::remove(probe, ec);
    return made;
}

bool isReadableFile(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return false;
    std::ifstream in(file, std::ios::binary);
    return in.good();
}

}  // namespace tabrovin
