#pragma once
// File names for a split by value: one workbook per value, named after it,
// safe on Windows and Linux alike and never two alike.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace tabrovin {

// What a value cut for a file name may keep, in characters.
constexpr size_t kMaxNameCharacters = 100;
// The name of an empty or null value.
constexpr const char* kEmptyValueName = "（空）";

// The value as a file name without its ending: \ / : * ? " < > | and control
// characters (bad UTF-8 too) become "_"; trailing dots and blanks go; it is
// cut at 100 characters, never inside one; empty (or null) it is "（空）";
// a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, before any
// dot, in any case) gets "_" after it.
std::string safeFileName(std::string_view value, bool null = false);

// Hands out names in the order values first appear, so that no two files of
// a run share a name, even where the system ignores letter case.
class SplitNames {
  public:
    // The stem for a value named `base` that fills `files` files: `base`,
    // else "base (2)", "base (3)"... the first that no earlier value's name
    // and none of whose file names (see fileStem) any earlier file's name
    // equals, ASCII letters' case aside. They are taken from then on.
    std::string claim(const std::string& base, int64_t files);

  private:
    std::set<std::string> names_, files_;  // ASCII letters in lower case
};

// The name of file `page` of a value's `files`: the stem alone for a single
// file, else "stem-<page>".
std::string fileStem(const std::string& stem, int64_t page, int64_t files);

}  // namespace tabrovin
