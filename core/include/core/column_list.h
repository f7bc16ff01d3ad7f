#pragma once
// The column-name list file data/ini.txt: Combo1's entries, one per line, in
// the system's Chinese code page (GBK; GB18030 for characters GBK lacks, of
// which GBK is the exact subset), each followed by CR LF. On reading a line
// ends at CR LF or a lone CR, a lone LF stays inside the entry, and empty
// lines are skipped.
//
// Positions must survive a restart, since entry k names column a<k>. So two
// kinds of name that the plain rule would lose are stored differently:
//  - a CR LF or a lone CR inside a name is stored as one LF (it would
//    otherwise split the entry);
//  - a name made only of LFs, the empty name included, is stored with one
//    more LF (an empty line would otherwise vanish and shift the rest).
// Files written the old way read as before, except that a line of LFs only
// loses one LF. A file an editor saved as UTF-8 (with a BOM, or valid UTF-8
// throughout with non-ASCII text) is read as UTF-8; writing stays GBK.

#include <filesystem>
#include <string>
#include <vector>

#include "base/error.h"

namespace tabrovin::column_list {

// The file's bytes for `names`.
std::string encode(const std::vector<std::string>& names);
// `name` with each CR LF (as Excel writes a break in a cell) and each lone
// CR as one LF, as the list stores it.
std::string oneLineFeedPerBreak(std::string_view name);
// The names stored in `bytes`.
std::vector<std::string> decode(const std::string& bytes);

// The names stored in `file`; a missing or unreadable file, or one that is
// no regular file (a pipe is never waited on), gives none.
std::vector<std::string> load(const std::filesystem::path& file);
// Replaces the file with `names`: written beside it and renamed over it, so a
// crash or a full disk leaves the old list or the new one, never half of one.
// A file the user made read-only is refused, not replaced.
Status save(const std::vector<std::string>& names, const std::filesystem::path& file);

}  // namespace tabrovin::column_list
