#include "platform/sheets/zip_archive.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "platform/file_names.h"
#include "platform/gsf_support.h"
#include "platform/handoff.h"
#include "platform/sheets/limits.h"

namespace tabrovin::sheets {
namespace {

std::string partFault(std::string_view part, std::string_view what) {
    return "压缩包中的“" + std::string(part) + "”" + std::string(what);
}

using InputPtr = gsf::Ptr<GsfInput>;

uint32_t le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
uint16_t le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 static_cast<unsigned char>(b[at + 1]) << 8);
}

// `length` bytes of `in` from `offset`; empty when they are not all there.
std::string readAt(GsfInput* in, gsf_off_t offset, size_t length) {
    std::string b(length, '\0');
    if (length == 0 || gsf_input_seek(in, offset, G_SEEK_SET) ||
        !gsf_input_read(in, length, reinterpret_cast<guint8*>(b.data())))
        return {};
    return b;
}

// The CRC-32 that the central directory records for each part. libgsf
// inflates without checking it, so a flipped byte in a stored part would
// pass for data. A directory this cannot read (ZIP64, damage) gives none,
// and libgsf's own reading decides.
std::map<std::string, uint32_t> recordedCrcs(GsfInput* in) {
    std::map<std::string, uint32_t> crcs;
    const gsf_off_t size = gsf_input_size(in);
    const size_t tailBytes = static_cast<size_t>(std::min<gsf_off_t>(size, 22 + 0xFFFF));
    const std::string tail = readAt(in, size - static_cast<gsf_off_t>(tailBytes), tailBytes);
    size_t end = tail.size() < 22 ? std::string::npos : tail.size() - 22;
    while (end != std::string::npos && le32(tail, end) != 0x06054b50)
        end = end ? end - 1 : std::string::npos;
    if (end == std::string::npos) return crcs;
    const uint32_t dirBytes = le32(tail, end + 12), dirAt = le32(tail, end + 16);
    if (dirAt == 0xFFFFFFFF || dirBytes > kMaxPartBytes) return crcs;
    const std::string dir = readAt(in, dirAt, dirBytes);
    for (size_t at = 0; at + 46 <= dir.size() && le32(dir, at) == 0x02014b50;) {
        const size_t nameBytes = le16(dir, at + 28);
        const size_t next = at + 46 + nameBytes + le16(dir, at + 30) + le16(dir, at + 32);
        if (next > dir.size()) break;
        crcs[dir.substr(at + 46, nameBytes)] = le32(dir, at + 16);
        at = next;
    }
    gsf_input_seek(in, 0, G_SEEK_SET);
    return crcs;
}

}  // namespace

struct ZipArchive::Handle {
    std::filesystem::path path;
    uint64_t fileBytes = 0;
    GsfInput* file = nullptr;
    GsfInfile* zip = nullptr;
    std::map<std::string, uint32_t> crcs;  // by part name, from the central directory
    ~Handle() {
        if (zip) g_object_unref(zip);
        if (file) g_object_unref(file);
    }
    // Walks the folders of `name`; nullptr when any step is missing.
    InputPtr child(std::string_view name) const {
        InputPtr cur;
        GsfInfile* dir = zip;
        size_t pos = 0;
        while (dir) {
            size_t slash = name.find('/', pos);
            std::string step(
                name.substr(pos, slash == std::string_view::npos ? name.npos : slash - pos));
            InputPtr next(gsf_infile_child_by_name(dir, step.c_str()));
            if (!next) return nullptr;
            cur = std::move(next);
            if (slash == std::string_view::npos) return cur;
            pos = slash + 1;
            dir = GSF_IS_INFILE(cur.get()) ? GSF_INFILE(cur.get()) : nullptr;
        }
        return nullptr;
    }
    // Inflates part `name`, opened as `in`, handing `chunk` each piece in
    // turn until it returns false; each piece is inflated into the n bytes
    // `buffer(n)` lends, or into a buffer of its own without one. The
    // declared size is all that will be inflated, so a bomb is refused
    // here, before any of it is.
    Status stream(GsfInput* in, std::string_view name,
                  const std::function<bool(std::string_view)>& chunk,
                  const std::function<char*(size_t)>& buffer = {}) const {
        gsf_off_t left = gsf_input_size(in);
        const auto bytes = static_cast<uint64_t>(std::max<gsf_off_t>(left, 0));
        if (bytes > kMaxPartBytes ||
            (bytes > kRatioCheckedFrom && bytes / fileBytes > kMaxCompressionRatio))
            return Error::damagedWorkbook(
                path, partFault(name, "解压后有 " + std::to_string(bytes >> 20) +
                                          " MB，超出了任何真实工作簿（可能是压缩炸弹）"));
        constexpr gsf_off_t kChunk = 1 << 18;
        std::vector<guint8> own(buffer ? 0 : kChunk);
        uLong crc = crc32(0, nullptr, 0);
        while (left > 0) {
            gsf_off_t n = std::min(left, kChunk);
            auto* at =
                buffer ? reinterpret_cast<guint8*>(buffer(static_cast<size_t>(n))) : own.data();
            if (!gsf_input_read(in, static_cast<size_t>(n), at))
                return Error::damagedWorkbook(path, partFault(name, "无法解压"));
            left -= n;
            crc = crc32(crc, at, static_cast<uInt>(n));
            // A reader that stops before the last piece cannot have the part
            // checked; one that stops at it has seen every byte.
            if (!chunk({reinterpret_cast<const char*>(at), static_cast<size_t>(n)}) && left > 0)
                return Status::Ok();
        }
        auto recorded = crcs.find(std::string(name));
        if (recorded != crcs.end() && recorded->second != static_cast<uint32_t>(crc))
            return Error::damagedWorkbook(path, partFault(name, "的校验和不符（文件已损坏）"));
        return Status::Ok();
    }
};

ZipArchive::ZipArchive(std::unique_ptr<Handle> h) : h_(std::move(h)) {}
ZipArchive::~ZipArchive() = default;

Result<std::unique_ptr<ZipArchive>> ZipArchive::open(const std::filesystem::path& path) {
    gsf::ensureStarted();
    auto h = std::make_unique<Handle>();
    h->path = path;
    GError* error = nullptr;
    std::string why;
    h->file = gsf::openInput(path, why);
    if (!h->file) return Error::fileAccess(path, why);
    h->fileBytes = static_cast<uint64_t>(std::max<gsf_off_t>(gsf_input_size(h->file), 1));
    h->crcs = recordedCrcs(h->file);
    h->zip = gsf_infile_zip_new(h->file, &error);
    if (!h->zip) {
        if (error) g_error_free(error);
        return Error::damagedWorkbook(path, "无法读取压缩包目录（文件可能不完整）");
    }
    return std::unique_ptr<ZipArchive>(new ZipArchive(std::move(h)));
}

const std::filesystem::path& ZipArchive::path() const {
    return h_->path;
}

bool ZipArchive::has(std::string_view name) const {
    return h_->child(name) != nullptr;
}

Result<std::string> ZipArchive::read(std::string_view name, size_t limit) const {
    std::string out;
    bool tooBig = false;
    Status s = stream(name, [&](std::string_view chunk) {
        if (out.size() + chunk.size() > limit) {
            tooBig = true;
            return false;
        }
        out.append(chunk);
        return true;
    });
    if (!s.ok()) return s.error();
    if (tooBig) return Error::damagedWorkbook(h_->path, partFault(name, "过大"));
    return out;
}

Status ZipArchive::stream(std::string_view name,
                          const std::function<bool(std::string_view)>& chunk) const {
    InputPtr in = h_->child(name);
    if (!in) return Error::damagedWorkbook(h_->path, partFault(name, "不存在"));
    return h_->stream(in.get(), name, chunk);
}

Status ZipArchive::streamAhead(std::string_view name,
                               const std::function<bool(std::string_view)>& chunk) const {
    // Below a few chunks a thread costs more than the overlap saves.
    constexpr gsf_off_t kAheadFrom = 4 << 20;
    InputPtr in = h_->child(name);
    if (!in) return Error::damagedWorkbook(h_->path, partFault(name, "不存在"));
    if (gsf_input_size(in.get()) < kAheadFrom) return h_->stream(in.get(), name, chunk);
    Status inflated;
    auto inflate = [&](Handoff<std::string, 4>& queue) {
        // Pieces are inflated straight into the strings handed over.
        std::string piece;
        auto lend = [&](size_t n) {
            piece = queue.spare();
            piece.resize(n);
            return piece.data();
        };
        inflated = h_->stream(
            in.get(), name, [&](std::string_view) { return queue.put(std::move(piece)); }, lend);
    };
    if (!runHandedOff<std::string, 4>(inflate, [&](const std::string& c) { return chunk(c); }))
        return h_->stream(in.get(), name, chunk);
    return inflated;
}

bool isEncryptedPackage(const std::filesystem::path& path) {
    gsf::ensureStarted();
    std::string why;
    InputPtr file(gsf::openInput(path, why));
    if (!file) return false;
    InputPtr ole(reinterpret_cast<GsfInput*>(gsf_infile_msole_new(file.get(), nullptr)));
    if (!ole) return false;
    GsfInfile* dir = GSF_INFILE(ole.get());
    InputPtr info(gsf_infile_child_by_name(dir, "EncryptionInfo"));
    InputPtr package(gsf_infile_child_by_name(dir, "EncryptedPackage"));
    return info && package;
}

}  // namespace tabrovin::sheets
