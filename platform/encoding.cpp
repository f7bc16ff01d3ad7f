#include "platform/encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#include <utility>
#endif

namespace tabrovin::encoding {
namespace {

#ifndef _WIN32
// iconv's names for the Windows code-page numbers that are not simply "CP"
// and the number; any other number is tried as "CP<number>".
std::string iconvName(int codePage) {
    static const std::pair<int, const char*> kNames[] = {
        {936, "GBK"},
        {54936, "GB18030"},
        {20936, "GB2312"},
        {950, "CP950"},
        {1200, "UTF-16LE"},
        {1201, "UTF-16BE"},
        {65000, "UTF-7"},
        {65001, "UTF-8"},
        {20127, "ASCII"},
        {367, "ASCII"},
        {10000, "MACINTOSH"},
        {10007, "MAC-CYRILLIC"},
        {10017, "MACUKRAINIAN"},
        {10029, "MAC-CENTRALEUROPE"},
        {10079, "MAC-IS"},
        {20866, "KOI8-R"},
        {21866, "KOI8-U"},
        {20932, "EUC-JP"},
        {51932, "EUC-JP"},
        {51949, "EUC-KR"},
        {50220, "ISO-2022-JP"},
        {28591, "ISO-8859-1"},
        {28592, "ISO-8859-2"},
        {28593, "ISO-8859-3"},
        {28594, "ISO-8859-4"},
        {28595, "ISO-8859-5"},
        {28596, "ISO-8859-6"},
        {28597, "ISO-8859-7"},
        {28598, "ISO-8859-8"},
        {28599, "ISO-8859-9"},
        {28603, "ISO-8859-13"},
        {28605, "ISO-8859-15"},
    };
    for (const auto& [number, name] : kNames)
        if (number == codePage) return name;
    return codePage > 0 ? "CP" + std::to_string(codePage) : std::string();
}

std::optional<std::string> convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    bool ok = rc != static_cast<size_t>(-1) &&
              iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

// Like convert() to UTF-8, but a byte that starts no valid character becomes
// U+FFFD and the conversion goes on after it.
std::optional<std::string> convertLeniently(std::string_view in, const char* from) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size(), used = 0;
    bool ok = true;
    while (ok) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (errno == EILSEQ || errno == EINVAL) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (out.size() - used < 3) out.resize(out.size() * 2);
            out.replace(used, 3, "\xEF\xBF\xBD");
            used += 3;
            ++src;
            --srcLeft;
        } else {
            ok = false;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(used);
    return out;
}
#else
std::optional<std::wstring> toWide(std::string_view in, UINT cp,
                                   DWORD flags = MB_ERR_INVALID_CHARS) {
    if (in.empty()) return std::wstring();
    int n = MultiByteToWideChar(cp, flags, in.data(), int(in.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring w(n, L'\0');
    MultiByteToWideChar(cp, flags, in.data(), int(in.size()), w.data(), n);
    return w;
}
std::optional<std::string> fromWide(const std::wstring& w, UINT cp) {
    if (w.empty()) return std::string();
    BOOL lossy = FALSE;
    bool utf8 = cp == CP_UTF8;
    int n = WideCharToMultiByte(cp, 0, w.data(), int(w.size()), nullptr, 0, nullptr,
                                utf8 ? nullptr : &lossy);
    if (n <= 0 || lossy) return std::nullopt;
    std::string s(n, '\0');
    WideCharToMultiByte(cp, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}
#endif

}  // namespace

std::optional<std::string> toUtf8(std::string_view bytes, int codePage) {
    if (codePage == 65001)
        return isValidUtf8(bytes) ? std::optional(std::string(bytes)) : std::nullopt;
#ifdef _WIN32
    auto w = toWide(bytes, static_cast<UINT>(codePage));
    return w ? fromWide(*w, CP_UTF8) : std::nullopt;
#else
    std::string name = iconvName(codePage);
    return name.empty() ? std::nullopt : convert(bytes, "UTF-8", name.c_str());
#endif
}

std::optional<std::string> fromUtf8(std::string_view utf8, int codePage) {
    if (codePage == 65001) return std::string(utf8);
#ifdef _WIN32
    auto w = toWide(utf8, CP_UTF8);
    return w ? fromWide(*w, static_cast<UINT>(codePage)) : std::nullopt;
#else
    std::string name = iconvName(codePage);
    return name.empty() ? std::nullopt : convert(utf8, name.c_str(), "UTF-8");
#endif
}

std::optional<std::string> toUtf8Leniently(std::string_view bytes, int codePage) {
    if (codePage == 65001 || !knowsCodePage(codePage)) return std::nullopt;
#ifdef _WIN32
    auto w = toWide(bytes, static_cast<UINT>(codePage), 0);
    return w ? fromWide(*w, CP_UTF8) : std::nullopt;
#else
    return convertLeniently(bytes, iconvName(codePage).c_str());
#endif
}

bool knowsCodePage(int codePage) {
    if (codePage == 65001) return true;
#ifdef _WIN32
    return codePage > 0 && IsValidCodePage(static_cast<UINT>(codePage));
#else
    std::string name = iconvName(codePage);
    if (name.empty()) return false;
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
#endif
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 3);
    auto put = [&out](char32_t c) { appendUtf8(out, c); };
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            put(0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            put(0xFFFD);
        } else {
            put(u);
        }
    }
    return out;
}

char32_t decodeUtf8(const uint8_t*& p, const uint8_t* end) {
    uint8_t b = *p;
    if (b < 0x80) {
        ++p;
        return b;
    }
    int extra = b >= 0xC2 && b < 0xE0   ? 1
                : b >= 0xE0 && b < 0xF0 ? 2
                : b >= 0xF0 && b < 0xF5 ? 3
                                        : 0;
    if (extra == 0) {
        ++p;
        return kBadUtf8;
    }
    char32_t c = b & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if (p + i >= end || (p[i] & 0xC0) != 0x80) {
            p += i;  // the lead and the continuation bytes before the break
            return kBadUtf8;
        }
        c = (c << 6) | (p[i] & 0x3F);
    }
    // Overlong forms would let one character pass for another (C0 80 for NUL).
    static const char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
        ++p;
        return kBadUtf8;
    }
    p += extra + 1;
    return c;
}

size_t validUtf8Prefix(std::string_view s) {
    auto* begin = reinterpret_cast<const uint8_t*>(s.data());
    auto* end = begin + s.size();
    for (auto* p = begin; p < end;) {
        auto* at = p;
        if (*p < 0x80) {
            ++p;
        } else if (decodeUtf8(p, end) == kBadUtf8) {
            return static_cast<size_t>(at - begin);
        }
    }
    return s.size();
}

bool isValidUtf8(std::string_view s) {
    return validUtf8Prefix(s) == s.size();
}

std::string_view trimBlanks(std::string_view s) {
    constexpr std::string_view kAscii = " \t\n\v\f\r", kIdeographic = "\xE3\x80\x80";
    auto blank = [&](char c) { return kAscii.find(c) != std::string_view::npos; };
    for (;;) {
        if (!s.empty() && blank(s.front()))
            s.remove_prefix(1);
        else if (s.starts_with(kIdeographic))
            s.remove_prefix(kIdeographic.size());
        else
            break;
    }
    for (;;) {
        if (!s.empty() && blank(s.back()))
            s.remove_suffix(1);
        else if (s.ends_with(kIdeographic))
            s.remove_suffix(kIdeographic.size());
        else
            break;
    }
    return s;
}

}  // namespace tabrovin::encoding
