#include "platform/sheets/size_cache.h"

#include <map>
#include <mutex>
#include <tuple>

#include "platform/file_names.h"

namespace tabrovin::sheets {
namespace {

constexpr size_t kMaxEntries = 16;

std::mutex gMutex;
std::map<std::pair<FileIdentity, size_t>, SheetSize> gSizes;

}  // namespace

std::optional<FileIdentity> FileIdentity::of(const std::filesystem::path& path) {
    std::error_code ec;
    FileIdentity id;
    id.path = utf8FromPath(std::filesystem::absolute(path, ec));
    if (ec) return std::nullopt;
    id.bytes = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    auto t = std::filesystem::last_write_time(path, ec);
    if (ec) return std::nullopt;
    id.changed = static_cast<long long>(t.time_since_epoch().count());
    return id;
}

bool FileIdentity::operator<(const FileIdentity& o) const {
    return std::tie(path, bytes, changed) < std::tie(o.path, o.bytes, o.changed);
}

std::optional<SheetSize> cachedSize(const std::optional<FileIdentity>& file, size_t sheet) {
    if (!file) return std::nullopt;
    std::lock_guard lock(gMutex);
    auto it = gSizes.find({*file, sheet});
    if (it == gSizes.end()) return std::nullopt;
    return it->second;
}

void rememberSize(const std::optional<FileIdentity>& file, size_t sheet, SheetSize size) {
    if (!file) return;
    std::lock_guard lock(gMutex);
    if (gSizes.size() >= kMaxEntries) gSizes.clear();
    gSizes[{*file, sheet}] = size;
}

}  // namespace tabrovin::sheets
