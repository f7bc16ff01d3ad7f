#include "platform/encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace tabrovin::encoding {
namespace {

#ifndef _WIN32
const char* iconvName(int codePage) {
    switch (codePage) {
        case 936:
            return "GBK";
        case 54936:
            return "GB18030";
        case 950:
            return "BIG5";
        case 932:
            return "CP932";
        case 949:
            return "CP949";
        case 1200:
            return "UTF-16LE";
        case 1250:
            return "CP1250";
        case 1251:
            return "CP1251";
        case 1252:
            return "CP1252";
        case 65001:
            return "UTF-8";
        case 10000:
            return "MACINTOSH";
        default:
            return nullptr;
    }
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
#else
std::optional<std::wstring> toWide(std::string_view in, UINT cp) {
    if (in.empty()) return std::wstring();
    int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring w(n, L'\0');
    MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), w.data(), n);
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
    const char* name = iconvName(codePage);
    return name ? convert(bytes, "UTF-8", name) : std::nullopt;
#endif
}

std::optional<std::string> fromUtf8(std::string_view utf8, int codePage) {
    if (codePage == 65001) return std::string(utf8);
#ifdef _WIN32
    auto w = toWide(utf8, CP_UTF8);
    return w ? fromWide(*w, static_cast<UINT>(codePage)) : std::nullopt;
#else
    const char* name = iconvName(codePage);
    return name ? convert(utf8, name, "UTF-8") : std::nullopt;
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

}  // namespace tabrovin::encoding
