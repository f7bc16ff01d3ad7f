#include "platform/sheets/cell_address.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/cell_text.h"

namespace tabrovin::sheets {

bool parseCellReference(std::string_view ref, int32_t& row, int32_t& column) {
    size_t i = 0;
    int64_t col = 0, r = 0;
    while (i < ref.size() && ref[i] == '$') ++i;
    size_t letters = i;
    for (; i < ref.size(); ++i) {
        char c = ref[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') break;
        col = col * 26 + (c - 'A' + 1);
        if (col > kMaxColumns) return false;
    }
    if (i == letters) return false;
    if (i < ref.size() && ref[i] == '$') ++i;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9') return false;
        r = r * 10 + (ref[i] - '0');
        if (r > kMaxRows) return false;
    }
    row = static_cast<int32_t>(r);
    column = static_cast<int32_t>(col);
    return true;
}

int32_t parsePositive(std::string_view text, int32_t max) {
    int64_t v = 0;
    if (text.empty()) return 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
        if (v > max) return 0;
    }
    return static_cast<int32_t>(v);
}

bool parseXmlNumber(std::string_view text, double& out) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n'))
        text.remove_prefix(1);
    if (text.starts_with('+')) text.remove_prefix(1);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

namespace {

// A whole number written as number() would show it: an optional '-', then
// at most 15 digits without a leading zero, or "0" alone.
bool shownAsWritten(std::string_view text) {
    std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 15) return false;
    // Leading zeros are dropped, and "-0" shows as "0".
    if (digits[0] == '0' && (digits.size() > 1 || digits.size() < text.size())) return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

bool xmlNumberText(std::string_view text, std::string& out) {
    // Most numeric cells of a big sheet are whole numbers that need no
    // round trip through a double.
    if (shownAsWritten(text)) {
        out.assign(text);
        return true;
    }
    double v = 0;
    if (!parseXmlNumber(text, v)) return false;
    out = cell_text::number(v);
    return true;
}

}  // namespace tabrovin::sheets

namespace tabrovin::sheets {

namespace {

// Reads a number at the front of `s` and moves past it, in every locale the
// same; false when none is there.
template <class T>
bool take(std::string_view& s, T& out) {
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec != std::errc()) return false;
    s.remove_prefix(static_cast<size_t>(end - s.data()));
    return true;
}

// Moves past `c` at the front of `s`; false when it is not there.
bool skip(std::string_view& s, char c) {
    if (!s.starts_with(c)) return false;
    s.remove_prefix(1);
    return true;
}

}  // namespace

std::string isoDateText(std::string_view iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    std::string_view s = iso;
    if (!take(s, y) || !skip(s, '-') || !take(s, mo) || !skip(s, '-') || !take(s, d) || mo < 1 ||
        mo > 12 || d < 1 || d > 31)
        return std::string(iso);
    char buf[64];
    if (skip(s, 'T') && take(s, h) && skip(s, ':') && take(s, mi)) {
        // Seconds are not shown, as with cell_text::date's DateTime.
        std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d", y, mo, d, h, mi);
    } else {
        std::snprintf(buf, sizeof buf, "%d/%d/%d", y, mo, d);
    }
    return buf;
}

std::string isoDurationText(std::string_view iso) {
    int h = 0, m = 0;
    double sec = 0;
    std::string_view s = iso;
    if (!skip(s, 'P') || !skip(s, 'T') || !take(s, h) || !skip(s, 'H') || !take(s, m) ||
        !skip(s, 'M') || !take(s, sec) || !skip(s, 'S'))
        return std::string(iso);
    const double seconds = h * 3600.0 + m * 60.0 + sec;
    if (!(seconds >= 0 && seconds < 1e15)) return std::string(iso);  // NaN and overflow too
    const long long total = std::llround(seconds);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return buf;
}

}  // namespace tabrovin::sheets
