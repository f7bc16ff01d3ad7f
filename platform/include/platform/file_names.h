#pragma once
// Paths as text: UTF-8 for messages, and the form C libraries such as GLib
// and SQLite expect, the same on every system.

#include <filesystem>
#include <string>

#include "base/error.h"

namespace tabrovin {

// The file name GLib (libgsf) takes: UTF-8 on Windows, native bytes elsewhere.
inline std::string glibFileName(const std::filesystem::path& p) {
#ifdef _WIN32
    return utf8FromPath(p);
#else
    return p.string();
#endif
}

}  // namespace tabrovin
