#include "core/column_list.h"

#include <fstream>
#include <sstream>

#include "platform/database.h"
#include "platform/encoding.h"

namespace tabrovin::column_list {
namespace {

bool onlyLineFeeds(const std::string& s) {
    return s.find_first_not_of('\n') == std::string::npos;
}

std::string decodeLine(const std::string& bytes) {
    if (auto s = encoding::toUtf8(bytes, encoding::kGb18030)) return *s;
    if (encoding::isValidUtf8(bytes)) return bytes;
    std::string out;  // keep the entry, and so the positions after it
    for (unsigned char c : bytes) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

std::string encode(const std::vector<std::string>& names) {
    std::string out;
    for (std::string name : names) {
        for (char& c : name)
            if (c == '\r') c = '\n';
        if (onlyLineFeeds(name)) name += '\n';
        auto bytes = encoding::fromUtf8(name, encoding::kGb18030);
        out += bytes ? *bytes : name;
        out += "\r\n";
    }
    return out;
}

std::vector<std::string> decode(const std::string& bytes) {
    std::vector<std::string> names;
    std::string line;
    auto finish = [&] {
        if (!line.empty()) {
            std::string name = decodeLine(line);
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
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return decode(s.str());
}

Status save(const std::vector<std::string>& names, const std::filesystem::path& file) {
    return replaceFileText(file, encode(names));
}

}  // namespace tabrovin::column_list
