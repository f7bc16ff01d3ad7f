#pragma once
#include <filesystem>

namespace tabrovin {
// The folder that holds the running executable; `argv0` is the fallback
// where the system cannot tell.
std::filesystem::path executableFolder(const char* argv0);
}  // namespace tabrovin
