#pragma once
// Where a program may keep its files, as the system tells it: the folder of
// the running executable, the user's own data folder, and whether a folder
// takes new files. Nothing here knows what the files are.

#include <filesystem>
#include <string>

namespace tabrovin {

// The folder that holds the running executable; `argv0` is the fallback
// where the system cannot tell.
std::filesystem::path executableFolder(const char* argv0);

// The folder for `name`'s files among the user's data: $XDG_DATA_HOME/name,
// else $HOME/.local/share/name (%LOCALAPPDATA%\name on Windows). Empty when
// the environment names no such place. Creates nothing.
std::filesystem::path userDataFolder(const std::string& name);

// Whether a new file can be made in `folder` right now: tried by making and
// removing a probe file, since permission bits do not tell (a read-only
// mount, an administrator, a network share). False when it is no folder.
bool isWritableFolder(const std::filesystem::path& folder);

// Whether `file` is a regular file that this process can open for reading.
bool isReadableFile(const std::filesystem::path& file);

}  // namespace tabrovin
