#include "core/column_list.h"

#include <string_view>

#include "platform/database.h"
#include "platform/encoding.h"
#include "platform/safe_files.h"

namespace tabrovin::column_list {
namespace {

bool onlyLineFeeds(const std::string& s) {
    return s.find_first_not_of('\n') == std::string::npos;
}

// Beyond any list of at most 51 names; a file this long is not one.
constexpr size_t kMaxFileBytes = 16u << 20;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Editors save UTF-8 by default now. A file that says so with a BOM, or
// that holds non-ASCII text and is valid UTF-8 throughout (which GBK text of
// more than a character or two practically never is), is read as UTF-8.
bool looksUtf8(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) return true;
    bool nonAscii = false;
    for (unsigned char c : bytes) nonAscii |= c >= 0x80;
    return nonAscii && encoding::isValidUtf8(bytes);
}

std::string decodeLine(const std::string& bytes, bool utf8) {
    if (!utf8)
        if (auto s = encoding::toUtf8(bytes, encoding::kGb18030)) return *s;
    if (encoding::isValidUtf8(bytes)) return bytes;
    std::string out;  // keep the entry, and so the positions after it
    for (unsigned char c : bytes) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

std::string oneLineFeedPerBreak(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        out += name[i] == '\r' ? '\n' : name[i];
        if (name[i] == '\r' && i + 1 < name.size() && name[i + 1] == '\n') ++i;
    }
    return out;
}

std::string encode(const std::vector<std::string>& names) {
    std::string out;
    for (std::string name : names) {
        name = oneLineFeedPerBreak(name);
        if (onlyLineFeeds(name)) name += '\n';
        auto bytes = encoding::fromUtf8(name, encoding::kGb18030);
        out += bytes ? *bytes : name;
        out += "\r\n";
    }
    return out;
}

std::vector<std::string> decode(const std::string& file) {
    const bool utf8 = looksUtf8(file);
    const std::string_view bytes = std::string_view(file).substr(
        utf8 && file.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0 ? kUtf8Bom.size() : 0);
    std::vector<std::string> names;
    std::string line;
    auto finish = [&] {
        if (!line.empty()) {
            std::string name = decodeLine(line, utf8);
            if (onlyLineFeeds(name)) name.pop_back();
            names.push_back(std::move(name));
        }
        line.clear();
    };
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            finish();
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            line += bytes[i];
        }
    }
    finish();
    return names;
}

std::vector<std::string> load(const std::filesystem::path& file) {
    auto bytes = readRegularFile(file, kMaxFileBytes);
    return bytes ? decode(*bytes) : std::vector<std::string>{};
}

Status save(const std::vector<std::string>& names, const std::filesystem::path& file) {
    return replaceFileText(file, encode(names));
}

}  // namespace tabrovin::column_list
