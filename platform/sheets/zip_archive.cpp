#include "platform/sheets/zip_archive.h"

#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/file_names.h"

namespace tabrovin::sheets {
namespace {

void initGsf() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

std::string damaged(std::string_view part, std::string_view what) {
    return "工作簿文件已损坏：压缩包中的“" + std::string(part) + "”" + std::string(what) + "。";
}

// Unrefs a GObject on scope exit.
struct Unref {
    void operator()(void* p) const {
        if (p) g_object_unref(p);
    }
};
using InputPtr = std::unique_ptr<GsfInput, Unref>;

}  // namespace

struct ZipArchive::Handle {
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
};

ZipArchive::ZipArchive(std::unique_ptr<Handle> h) : h_(std::move(h)) {}
ZipArchive::~ZipArchive() = default;

Result<std::unique_ptr<ZipArchive>> ZipArchive::open(const std::filesystem::path& path) {
    initGsf();
    auto h = std::make_unique<Handle>();
    GError* error = nullptr;
    h->file = gsf_input_stdio_new(glibFileName(path).c_str(), &error);
    if (!h->file) {
        if (error) g_error_free(error);
        return Error{err::kFileAccess, "无法打开工作簿文件“" + utf8FromPath(path) + "”。"};
    }
    h->zip = gsf_infile_zip_new(h->file, &error);
    if (!h->zip) {
        if (error) g_error_free(error);
        return Error{err::kDamagedWorkbook, "工作簿文件“" + utf8FromPath(path) +
                                                "”已损坏：无法读取压缩包目录（文件可能不完整）。"};
    }
    return std::unique_ptr<ZipArchive>(new ZipArchive(std::move(h)));
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
    if (tooBig) return Error{err::kDamagedWorkbook, damaged(name, "过大")};
    return out;
}

Status ZipArchive::stream(std::string_view name,
                          const std::function<bool(std::string_view)>& chunk) const {
    InputPtr in = h_->child(name);
    if (!in) return Error{err::kDamagedWorkbook, damaged(name, "不存在")};
    constexpr gsf_off_t kChunk = 1 << 18;
    std::vector<guint8> buf(kChunk);
    gsf_off_t left = gsf_input_size(in.get());
    while (left > 0) {
        gsf_off_t n = std::min(left, kChunk);
        if (!gsf_input_read(in.get(), static_cast<size_t>(n), buf.data()))
            return Error{err::kDamagedWorkbook, damaged(name, "无法解压")};
        left -= n;
        if (!chunk({reinterpret_cast<const char*>(buf.data()), static_cast<size_t>(n)})) break;
    }
    return Status::Ok();
}

}  // namespace tabrovin::sheets
