#pragma once
// Conversions between UTF-8 and Windows code pages (GBK = 936 above all).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tabrovin::encoding {

constexpr int kGbk = 936;
constexpr int kGb18030 = 54936;  // GBK plus every other character
constexpr int kUtf16Le = 1200;
constexpr int kLatin1 = 1252;

// Bytes in code page `codePage` to UTF-8; std::nullopt when the bytes are
// not valid in that code page or the code page is unknown.
std::optional<std::string> toUtf8(std::string_view bytes, int codePage);

// Like toUtf8, but bytes invalid in the code page become U+FFFD instead of
// failing the whole text; std::nullopt only for an unknown code page (and
// for 65001, whose text is checked by isValidUtf8 instead).
std::optional<std::string> toUtf8Leniently(std::string_view bytes, int codePage);

// True when text in code page `codePage` (a Windows code-page number) can
// be converted on this system.
bool knowsCodePage(int codePage);

// UTF-8 to code page `codePage`; std::nullopt when a character has no
// representation there.
std::optional<std::string> fromUtf8(std::string_view utf8, int codePage);

// Appends code point `c` to `out` as UTF-8.
void appendUtf8(std::string& out, char32_t c);

// UTF-16LE code units to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view units);

// What decodeUtf8 returns for bytes that are not UTF-8.
constexpr char32_t kBadUtf8 = 0xFFFFFFFF;

// Decodes the UTF-8 character at `p` (before `end`, p < end) and moves `p`
// past it. Overlong forms, surrogates (U+D800 to U+DFFF), code points above
// U+10FFFF and cut sequences give kBadUtf8; `p` then moves past the lead
// byte and any continuation bytes that followed it, so decoding goes on.
char32_t decodeUtf8(const uint8_t*& p, const uint8_t* end);

// How many bytes at the start of `bytes` are valid UTF-8, as decodeUtf8 judges.
size_t validUtf8Prefix(std::string_view bytes);

// True when all of `bytes` is valid UTF-8, as decodeUtf8 judges.
bool isValidUtf8(std::string_view bytes);

// `s` without blanks at either end: ASCII ones (space, tab, line ends, VT,
// FF) and the ideographic space U+3000 that Chinese text is padded with.
std::string_view trimBlanks(std::string_view s);

}  // namespace tabrovin::encoding
