#include "platform/sheets/zip_archive.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
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

}  // namespace

struct ZipArchive::Handle {
    std::filesystem::path path;
    uint64_t fileBytes = 0;
    GsfInput* file = nullptr;
    GsfInfile* zip = nullptr;
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
    // turn until it returns false. The declared size is all that will be
    // inflated, so a bomb is refused here, before any of it is.
    Status stream(GsfInput* in, std::string_view name,
                  const std::function<bool(std::string_view)>& chunk) const {
        gsf_off_t left = gsf_input_size(in);
        const auto bytes = static_cast<uint64_t>(std::max<gsf_off_t>(left, 0));
        if (bytes > kMaxPartBytes ||
            (bytes > kRatioCheckedFrom && bytes / fileBytes > kMaxCompressionRatio))
            return Error::damagedWorkbook(
                path, partFault(name, "解压后有 " + std::to_string(bytes >> 20) +
                                          " MB，超出了任何真实工作簿（可能是压缩炸弹）"));
        constexpr gsf_off_t kChunk = 1 << 18;
        std::vector<guint8> buf(kChunk);
        while (left > 0) {
            gsf_off_t n = std::min(left, kChunk);
            if (!gsf_input_read(in, static_cast<size_t>(n), buf.data()))
                return Error::damagedWorkbook(path, partFault(name, "无法解压"));
            left -= n;
            if (!chunk({reinterpret_cast<const char*>(buf.data()), static_cast<size_t>(n)})) break;
        }
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
        inflated = h_->stream(in.get(), name, [&](std::string_view c) {
            std::string copy = queue.spare();
            copy.assign(c);
            return queue.put(std::move(copy));
        });
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
