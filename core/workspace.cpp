#include "core/workspace.h"

#include "core/statements.h"

namespace tabrovin {

Status requireFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return Status::Ok();
    if (!std::filesystem::is_directory(path.parent_path(), ec))
        return Error::folderNotFound(path.parent_path());
    return Error::fileNotFound(path);
}

Status Workspace::openConn() {
    conn.release();
    TABROVIN_TRY(requireFile(paths.workingDb()));
    return conn.open(paths.workingDb());
}

Status Workspace::openReader(Database& reader) const {
    TABROVIN_TRY(requireFile(paths.workingDb()));
    return reader.open(paths.workingDb(), Database::Mode::ReadOnly);
}

Result<int32_t> Workspace::countRows() const {
    Database reader;
    TABROVIN_TRY(openReader(reader));
    return reader.readNumber(statements::countRows());
}

}  // namespace tabrovin
