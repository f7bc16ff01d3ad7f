#include "platform/program_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tabrovin {

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

}  // namespace tabrovin
