#include "processing/text_match.h"

#include "core/statements.h"

namespace tabrovin {
namespace {

// The keyword as a LIKE pattern that matches only itself, under ESCAPE '\'.
std::string literalPattern(const std::string& keyword) {
    std::string out;
    out.reserve(keyword.size());
    for (char c : keyword) {
        if (c == '\\' || c == '%' || c == '_') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// One keyword's test, bound as ?param. LIKE serves every mode so that all
// fold case alike; a quote in the keyword is safe, since it is bound.
std::string oneCondition(const std::string& column, MatchMode mode, int param) {
    const std::string p = "?" + std::to_string(param);
    switch (mode) {
        case MatchMode::Contains:
            return statements::containsParam(column, param);
        case MatchMode::Equals:
            return column + " like " + p + " escape '\\'";
        case MatchMode::StartsWith:
            return column + " like " + p + " || '%' escape '\\'";
        case MatchMode::Literal:
            return column + " like '%' || " + p + " || '%' escape '\\'";
    }
    return "0";
}

Error noKeyword() {
    return Error::refused(
        "关键字不能为空！请在“相应的例删除包含下面关健字的”中输入要删除的关键字。");
}

}  // namespace

const char* matchModeName(MatchMode mode) {
    switch (mode) {
        case MatchMode::Contains:
            return "包含";
        case MatchMode::Equals:
            return "等于";
        case MatchMode::StartsWith:
            return "开头是";
        case MatchMode::Literal:
            return "包含文字";
    }
    return "";
}

std::vector<std::string> splitKeywords(std::string_view text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '|' && text[i] != '\n' && text[i] != '\r') continue;
        if (i > start) out.emplace_back(text.substr(start, i - start));
        start = i + 1;
    }
    return out;
}

Result<Statement> matchCondition(int column, const TextMatch& match) {
    auto name = statements::columnName(column);
    if (!name) return name.error();
    if (match.keywords.empty()) return noKeyword();
    if (match.keywords.size() > kMaxKeywords)
        return Error::refused("关键字太多：一次最多 " + std::to_string(kMaxKeywords) + " 个。");
    Statement s{"(", {}};
    for (const std::string& keyword : match.keywords) {
        if (keyword.empty()) return noKeyword();
        if (!s.params.empty()) s.text += " or ";
        s.params.push_back(match.mode == MatchMode::Contains ? keyword : literalPattern(keyword));
        s.text += oneCondition(*name, match.mode, static_cast<int>(s.params.size()));
    }
    s.text += ")";
    return s;
}

}  // namespace tabrovin
