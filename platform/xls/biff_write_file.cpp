#include "platform/xls/biff_write_file.h"

#include <gsf/gsf.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>

namespace tabrovin::xls {
namespace fs = std::filesystem;

std::string pathForMessage(const fs::path& p) {
    auto u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

namespace {

Status checkDestination(const fs::path& out) {
    std::error_code ec;
    fs::path folder = out.parent_path().empty() ? fs::path(".") : out.parent_path();
    if (!fs::is_directory(folder, ec))
        return Error{err::kPathNotFound, "找不到保存工作簿的文件夹: " + pathForMessage(folder)};
    auto st = fs::status(out, ec);
    if (ec || !fs::exists(st)) return Status::Ok();
    if (fs::is_directory(st))
        return Error{err::kFileAccess,
                     "无法写入工作簿 " + pathForMessage(out) + ": 同名文件夹已存在"};
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
        return Error{err::kFileAccess, "无法写入工作簿 " + pathForMessage(out) + ": 文件是只读的"};
    return Status::Ok();
}

struct Unref {
    void operator()(void* p) const {
        if (p) g_object_unref(p);
    }
};
using GsfPtr = std::unique_ptr<GsfOutput, Unref>;

// The container through libgsf. writeCompoundFile() cannot be used as is:
// closing the root storage already closes the file, and its second close of
// the file reports a failure, so every write would look failed.
Status writeContainer(const fs::path& path, const std::vector<Stream>& streams) {
    static bool ready = (gsf_init(), true);
    (void)ready;
    GError* gerr = nullptr;
#ifdef _WIN32
    std::string name = pathForMessage(path);  // GLib takes UTF-8 names on Windows
#else
    std::string name = path.string();
#endif
    GsfPtr file(GSF_OUTPUT(gsf_output_stdio_new(name.c_str(), &gerr)));
    if (!file) {
        if (gerr) g_error_free(gerr);
        return Error{err::kFileAccess, "无法创建文件 " + pathForMessage(path)};
    }
    GsfPtr root(GSF_OUTPUT(gsf_outfile_msole_new(file.get())));
    std::map<std::string, GsfPtr> dirs;  // by path; std::map closes parents after children below
    bool ok = true;
    for (const auto& s : streams) {
        GsfOutfile* parent = GSF_OUTFILE(root.get());
        size_t start = 0, slash;
        while ((slash = s.path.find('/', start)) != std::string::npos) {
            auto& dir = dirs[s.path.substr(0, slash)];
            if (!dir)
                dir.reset(gsf_outfile_new_child(parent, s.path.substr(start, slash - start).c_str(),
                                                TRUE));
            if (!dir)
                return Error{err::kWorkbookWrite, "无法在 " + pathForMessage(path) + " 中创建目录"};
            parent = GSF_OUTFILE(dir.get());
            start = slash + 1;
        }
        GsfPtr child(gsf_outfile_new_child(parent, s.path.substr(start).c_str(), FALSE));
        ok = ok && child && gsf_output_write(child.get(), s.data.size(), s.data.data());
        ok = child && gsf_output_close(child.get()) && ok;
    }
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it)
        ok = gsf_output_close(it->second.get()) && ok;
    ok = gsf_output_close(root.get()) && ok;
    if (!gsf_output_is_closed(file.get())) ok = gsf_output_close(file.get()) && ok;
    if (!ok) return Error{err::kWorkbookWrite, "写入工作簿 " + pathForMessage(path) + " 时失败"};
    return Status::Ok();
}

fs::path temporaryBeside(const fs::path& out) {
    static std::atomic<unsigned> counter{0};
    auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path name = out.filename();
    name += ".~" + std::to_string(tick % 1000000007) + "-" + std::to_string(counter++) + ".tmp";
    return out.parent_path() / name;
}

}  // namespace

Status writeWorkbookFile(const fs::path& out, const std::vector<Stream>& streams) {
    TABROVIN_TRY(checkDestination(out));
    fs::path tmp = temporaryBeside(out);
    Status written = writeContainer(tmp, streams);
    std::error_code ec;
    if (!written.ok()) {
        fs::remove(tmp, ec);
        int number = written.error().number == err::kPathNotFound ? err::kFileAccess
                                                                  : written.error().number;
        return Error{number,
                     "无法写入工作簿 " + pathForMessage(out) + ": " + written.error().description};
    }
    fs::rename(tmp, out, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return Error{err::kFileAccess,
                     "无法保存工作簿 " + pathForMessage(out) + ": 文件可能被占用或没有写入权限"};
    }
    return Status::Ok();
}

}  // namespace tabrovin::xls
