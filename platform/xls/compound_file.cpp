#include "platform/xls/compound_file.h"

#include <gsf/gsf.h>

#include <cstring>
#include <fstream>
#include <map>

#include "platform/file_names.h"
#include "platform/gsf_support.h"

namespace tabrovin::xls {
namespace {

template <class T>
using GPtr = gsf::Ptr<T>;

Status readChildren(const std::filesystem::path& file, GsfInfile* dir, const std::string& prefix,
                    std::vector<Stream>& out, int depth) {
    if (depth > 32) return Error::damagedWorkbook(file, "复合文档的目录嵌套过深");
    int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        const char* name = gsf_infile_name_by_index(dir, i);
        GPtr<GsfInput> child(gsf_infile_child_by_index(dir, i));
        if (!child || !name) return Error::damagedWorkbook(file, "复合文档的目录项无法读取");
        std::string path = prefix.empty() ? name : prefix + "/" + name;
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            TABROVIN_TRY(readChildren(file, GSF_INFILE(child.get()), path, out, depth + 1));
            continue;
        }
        gsf_off_t size = gsf_input_size(child.get());
        if (size < 0 || size > (gsf_off_t(1) << 31))
            return Error::damagedWorkbook(file, "复合文档中数据流“" + path + "”的长度无效");
        Stream s{path, std::vector<uint8_t>(static_cast<size_t>(size))};
        if (size > 0 && !gsf_input_read(child.get(), size, s.data.data()))
            return Error::damagedWorkbook(file, "复合文档中数据流“" + path + "”无法完整读取");
        out.push_back(std::move(s));
    }
    return Status::Ok();
}

}  // namespace

Result<std::vector<Stream>> readCompoundFile(const std::filesystem::path& path) {
    gsf::ensureStarted();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return Error::fileNotFound(path);
    GError* gerr = nullptr;
    std::string why;
    GPtr<GsfInput> input(gsf::openInput(path, why));
    if (!input) return Error::fileAccess(path, why);
    GPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &gerr));
    if (!ole) {
        if (gerr) g_error_free(gerr);
        return Error::notWorkbook(path, "不是有效的复合文档（.xls），或文件已被截断");
    }
    std::vector<Stream> streams;
    TABROVIN_TRY(readChildren(path, ole.get(), "", streams, 0));
    return streams;
}

Status writeCompoundFile(const std::filesystem::path& path, const std::vector<Stream>& streams) {
    gsf::ensureStarted();
    GError* gerr = nullptr;
    GPtr<GsfOutput> output(gsf_output_stdio_new(glibFileName(path).c_str(), &gerr));
    if (!output) {
        std::string why = gerr ? gerr->message : "";
        if (gerr) g_error_free(gerr);
        std::error_code ec;
        std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
        if (!std::filesystem::is_directory(folder, ec)) return Error::folderNotFound(folder);
        return Error::fileAccess(path, "无法创建它（" + why + "）");
    }
    GPtr<GsfOutfile> root(gsf_outfile_msole_new(output.get()));
    std::map<std::string, GsfOutfile*> dirs;  // owned by `root`'s tree, unref'd at the end
    std::vector<GPtr<GsfOutput>> keep;
    bool ok = true;
    for (const auto& s : streams) {
        GsfOutfile* parent = root.get();
        std::string prefix;
        size_t start = 0, slash;
        while ((slash = s.path.find('/', start)) != std::string::npos) {
            std::string part = s.path.substr(start, slash - start);
            prefix += "/" + part;
            auto it = dirs.find(prefix);
            if (it == dirs.end()) {
                GsfOutput* d = gsf_outfile_new_child(parent, part.c_str(), TRUE);
                keep.emplace_back(d);
                it = dirs.emplace(prefix, GSF_OUTFILE(d)).first;
            }
            parent = it->second;
            start = slash + 1;
        }
        GPtr<GsfOutput> child(gsf_outfile_new_child(parent, s.path.substr(start).c_str(), FALSE));
        ok = ok && child && gsf_output_write(child.get(), s.data.size(), s.data.data());
        if (child) gsf_output_close(child.get());
    }
    // Storages close deepest first, so each is complete when its parent closes.
    for (auto it = keep.rbegin(); it != keep.rend(); ++it) gsf_output_close(it->get());
    ok = gsf_output_close(GSF_OUTPUT(root.get())) && ok;
    // Closing the root storage closes the file beneath it too.
    if (!gsf_output_is_closed(output.get())) ok = gsf_output_close(output.get()) && ok;
    if (!ok) return Error::workbookWrite(path, "写入时出错，磁盘可能已满");
    return Status::Ok();
}

}  // namespace tabrovin::xls
