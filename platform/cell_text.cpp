#include "platform/cell_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tabrovin::cell_text {

std::string number(double value) {
    if (std::isnan(value)) return "#NUM!";
    if (std::isinf(value)) return "#NUM!";
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        // Whole numbers are most cells of big sheets: to_chars is far cheaper than printf.
        char buf[24];
        auto end = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value)).ptr;
        return std::string(buf, end);
    }
    // to_chars, unlike printf, ignores the locale's decimal comma.
    char buf[40];
    auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15).ptr;
    std::string s(buf, end);
    for (char& c : s)
        if (c == 'e') c = 'E';
    // Exponents as a spreadsheet shows them: a sign and at least two digits (1.5E-07).
    auto e = s.find('E');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e), exp = s.substr(e + 1);
        char sign = exp[0];
        std::string digits = exp.substr(1);
        while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
        s = mant + "E" + (sign == '-' ? "-" : "+") + digits;
    }
    return s;
}

std::string boolean(bool value) {
    return value ? "TRUE" : "FALSE";
}

DateKind classifyBuiltinFormat(int id) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) ||
        id == 57 || id == 58)
        return DateKind::Date;
    if (id == 46) return DateKind::ElapsedHours;  // [h]:mm:ss
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || id == 45 || id == 47 || id == 55 ||
        id == 56)
        return DateKind::Time;
    if (id == 22) return DateKind::DateTime;
    return DateKind::None;
}

namespace {
bool lowerEquals(std::string_view text, std::string_view lower) {
    for (size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
    return text.size() == lower.size();
}

// The elapsed-time unit a bracket's inside names: one letter h, m or s,
// repeated ([h], [mm], [ss]); anything else (a colour, a locale, a
// condition) names none.
DateKind elapsedUnit(std::string_view inner) {
    if (inner.empty()) return DateKind::None;
    char l = static_cast<char>(std::tolower(static_cast<unsigned char>(inner[0])));
    for (char c : inner)
        if (std::tolower(static_cast<unsigned char>(c)) != l) return DateKind::None;
    if (l == 'h') return DateKind::ElapsedHours;
    if (l == 'm') return DateKind::ElapsedMinutes;
    if (l == 's') return DateKind::ElapsedSeconds;
    return DateKind::None;
}
}  // namespace

DateKind classifyFormat(std::string_view code) {
    // Only the first section decides (positive numbers).
    bool date = false, time = false;
    DateKind elapsed = DateKind::None;
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == ';') break;
        if (c == '"') {
            auto end = code.find('"', i + 1);
            if (end == std::string_view::npos) break;
            i = end;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            ++i;
            continue;
        }
        if (c == '[') {
            auto end = code.find(']', i + 1);
            if (end == std::string_view::npos) break;
            // The first elapsed unit is the one that counts whole days.
            DateKind unit = elapsedUnit(code.substr(i + 1, end - i - 1));
            if (elapsed == DateKind::None) elapsed = unit;
            time = time || unit != DateKind::None;
            i = end;
            continue;
        }
        char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        // "General" and the exponent of "0.00E+00" are not the era letter 'e'.
        if (l == 'g' && code.size() - i >= 7 && lowerEquals(code.substr(i, 7), "general")) {
            i += 6;
            continue;
        }
        if (l == 'e' && i + 1 < code.size() && (code[i + 1] == '+' || code[i + 1] == '-')) {
            ++i;
            continue;
        }
        if (l == 'y' || l == 'd' || l == 'e') date = true;
        if (l == 'h' || l == 's') time = true;
        if (l == 'm') date = date || !time;  // "m" after "h" is minutes
    }
    if (date && time) return DateKind::DateTime;
    if (date) return DateKind::Date;
    if (elapsed != DateKind::None) return elapsed;
    if (time) return DateKind::Time;
    return DateKind::None;
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += (m <= 2);
}

std::string elapsedTime(long long totalSeconds, DateKind kind) {
    char buf[64];
    long long s = totalSeconds % 60, m = totalSeconds / 60 % 60;
    if (kind == DateKind::ElapsedHours)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", totalSeconds / 3600, m, s);
    else if (kind == DateKind::ElapsedMinutes)
        std::snprintf(buf, sizeof buf, "%lld:%02lld", totalSeconds / 60, s);
    else
        std::snprintf(buf, sizeof buf, "%lld", totalSeconds);
    return buf;
}

}  // namespace

std::string date(double serial, DateKind kind, bool date1904) {
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465.999999) return number(serial);
    // Round to the second first, so 23:59:59.9999 becomes the next day.
    long long totalSeconds = std::llround(serial * 86400.0);
    if (kind == DateKind::ElapsedHours || kind == DateKind::ElapsedMinutes ||
        kind == DateKind::ElapsedSeconds)
        return elapsedTime(totalSeconds, kind);
    long long days = totalSeconds / 86400;
    long long secs = totalSeconds % 86400;
    char buf[64];
    std::string datePart;
    if (kind != DateKind::Time) {
        long long y;
        unsigned m, d;
        if (date1904) {
            civilFromDays(days - 24107, y, m, d);  // 1904-01-01 is day 0
        } else if (days == 60) {
            y = 1900, m = 2, d = 29;  // the 1900 system's phantom leap day
        } else if (days == 0) {
            y = 1900, m = 1, d = 0;
        } else {
            civilFromDays(days - (days < 60 ? 25568 : 25569), y, m, d);
        }
        std::snprintf(buf, sizeof buf, "%lld/%u/%u", y, m, d);
        datePart = buf;
    }
    int h = static_cast<int>(secs / 3600), mi = static_cast<int>(secs / 60 % 60),
        s = static_cast<int>(secs % 60);
    switch (kind) {
        case DateKind::Time:
            std::snprintf(buf, sizeof buf, "%d:%02d:%02d", h, mi, s);
            return buf;
        case DateKind::DateTime:
            std::snprintf(buf, sizeof buf, " %d:%02d", h, mi);
            return datePart + buf;
        default:
            return datePart;
    }
}

std::string stripNul(std::string text) {
    std::erase(text, '\0');
    return text;
}

}  // namespace tabrovin::cell_text
