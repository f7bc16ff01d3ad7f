#pragma once
// Paths as text: UTF-8 for messages, and the form C libraries such as GLib
// and SQLite expect, the same on every system.

#include <filesystem>
#include <string>

namespace tabrovin {

// The path as UTF-8 text, for messages and for SQLite.
inline std::string utf8Path(const std::filesystem::path& p) {
    auto s = p.u8string();
    return std::string(s.begin(), s.end());
}

// The file name GLib (libgsf) takes: UTF-8 on Windows, native bytes elsewhere.
inline std::string glibFileName(const std::filesystem::path& p) {
#ifdef _WIN32
    return utf8Path(p);
#else
    return p.string();
#endif
}

}  // namespace tabrovin
