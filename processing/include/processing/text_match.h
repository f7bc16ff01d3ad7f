#pragma once
// How a keyword matches a column's value, shared by the keyword delete and
// the data view's filter, so that what the view shows is what a delete with
// the same choices removes. Every way folds ASCII letters only (A-Z = a-z),
// as the columns' NOCASE collation does, and a null never matches.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "platform/database.h"

namespace tabrovin {

enum class MatchMode {
    Contains,    // 包含: the value contains the keyword; '%' and '_' are wildcards
    Equals,      // 等于: the whole value is the keyword
    StartsWith,  // 开头是: the value begins with the keyword
    Literal,     // 包含文字: contains, with '%' and '_' taken as themselves
};

inline constexpr MatchMode kMatchModes[] = {MatchMode::Contains, MatchMode::Equals,
                                            MatchMode::StartsWith, MatchMode::Literal};

// The mode's name as the window shows it: 包含, 等于, 开头是, 包含文字.
const char* matchModeName(MatchMode mode);

// A row matches when its column matches any of `keywords` by `mode`.
struct TextMatch {
    std::vector<std::string> keywords = {};
    MatchMode mode = MatchMode::Contains;
};

// The keywords of a text that holds several, one per line or separated by
// '|'; empty pieces are dropped, the others kept exactly as typed.
std::vector<std::string> splitKeywords(std::string_view text);

// Each keyword is one bound parameter and one LIKE; the engine's limit on
// parameters is far above this.
inline constexpr size_t kMaxKeywords = 1000;

// An SQL condition on wen that holds where a<column> matches, its keywords
// bound as ?1, ?2, ... A column outside 0..50 is err::kNoSuchColumn; no
// keyword, an empty one (which would match nearly every row) or more than
// kMaxKeywords is refused.
Result<Statement> matchCondition(int column, const TextMatch& match);

}  // namespace tabrovin
