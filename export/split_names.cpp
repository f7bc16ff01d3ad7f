#include "export/split_names.h"

#include <algorithm>
#include <array>

namespace tabrovin {
namespace {

// The length of the UTF-8 character at `i`, or 0 when the bytes are none.
size_t characterLength(std::string_view s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

bool unsafe(unsigned char c) {
    return c < 0x20 || c == 0x7F ||
           std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

void dropTrailingDotsAndBlanks(std::string& s) {
    while (!s.empty() && (s.back() == '.' || s.back() == ' ')) s.pop_back();
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool reservedDevice(std::string_view stem) {
    static const std::array<std::string_view, 4> plain = {"con", "prn", "aux", "nul"};
    std::string lower = lowerAscii(std::string(stem));
    if (std::find(plain.begin(), plain.end(), lower) != plain.end()) return true;
    return lower.size() == 4 && (lower.starts_with("com") || lower.starts_with("lpt")) &&
           lower[3] >= '1' && lower[3] <= '9';
}

}  // namespace

std::string safeFileName(std::string_view value, bool null) {
    std::string name;
    size_t characters = 0;
    for (size_t i = 0; !null && i < value.size() && characters < kMaxNameCharacters; ++characters) {
        size_t n = characterLength(value, i);
        if (n == 0 || (n == 1 && unsafe(static_cast<unsigned char>(value[i])))) {
            name += '_';
            i += std::max<size_t>(n, 1);
        } else {
            name.append(value.substr(i, n));
            i += n;
        }
    }
    dropTrailingDotsAndBlanks(name);
    if (name.empty()) return kEmptyValueName;
    const size_t dot = std::min(name.find('.'), name.size());
    if (reservedDevice(std::string_view(name).substr(0, dot))) name.insert(dot, "_");
    return name;
}

std::string fileStem(const std::string& stem, int64_t page, int64_t files) {
    return files == 1 ? stem : stem + "-" + std::to_string(page);
}

std::string SplitNames::claim(const std::string& base, int64_t files) {
    for (int64_t n = 1;; ++n) {
        std::string stem = n == 1 ? base : base + " (" + std::to_string(n) + ")";
        bool free = !names_.contains(lowerAscii(stem));
        for (int64_t p = 1; free && p <= files; ++p)
            free = !files_.contains(lowerAscii(fileStem(stem, p, files)));
        if (!free) continue;
        names_.insert(lowerAscii(stem));
        for (int64_t p = 1; p <= files; ++p) files_.insert(lowerAscii(fileStem(stem, p, files)));
        return stem;
    }
}

}  // namespace tabrovin
