#include "core/undo.h"

#include "core/column_list.h"
#include "core/statements.h"
#include "core/working_files.h"
#include "platform/database.h"
#include "platform/safe_files.h"

namespace tabrovin {

const char* const kChoiceStep = "选择工作簿";

namespace {

namespace fs = std::filesystem;

// A step name is a few words; more is not a name.
constexpr size_t kMaxStepBytes = 256;

fs::path pending(const fs::path& p) {
    fs::path s = p;
    s += ".tmp";
    return s;
}

// The name under which the snapshot was taken: its first line.
std::string snapshotStep(const ProgramPaths& p) {
    auto text = readRegularFile(p.undoStep(), kMaxStepBytes);
    if (!text) return {};
    return text->substr(0, text->find_first_of("\r\n"));
}

// True while the working table is the blank one a choice left, under the
// choice's undo: a copy of it would put the table from before the choice
// out of reach.
bool blankAfterChoice(const Workspace& ws) {
    if (!canUndo(ws.paths) || snapshotStep(ws.paths) != kChoiceStep) return false;
    auto rows = ws.countRows();
    return rows.ok() && *rows == 0;
}

Status writeColumnList(const fs::path& to, const std::vector<std::string>& names) {
    auto file = FreshFile::create(to);
    if (!file) return file.error();
    if (!file->write(column_list::encode(names)) || !file->finish(false))
        return Error::fileAccess(to, "无法写入副本，请检查磁盘空间和文件夹的写入权限");
    return Status::Ok();
}

}  // namespace

PendingSnapshot::PendingSnapshot(PendingSnapshot&& o) noexcept
    : paths_(o.paths_), step_(std::move(o.step_)), copied_(o.copied_) {
    o.copied_ = false;
}

PendingSnapshot::~PendingSnapshot() {
    if (!copied_) return;
    std::error_code ec;
    fs::remove(pending(paths_.undoDb()), ec);
    fs::remove(pending(paths_.undoColumnList()), ec);
}

Status PendingSnapshot::keep() {
    if (!copied_) return Status::Ok();
    copied_ = false;
    const ProgramPaths& p = paths_;
    // The step name goes before the old copy and comes back last: a snapshot
    // without it is unusable, so a crash in between can never offer a
    // half-taken one.
    std::error_code ec;
    fs::remove(p.undoStep(), ec);
    Status moved = moveOver(pending(p.undoDb()), p.undoDb());
    if (moved.ok()) moved = moveOver(pending(p.undoColumnList()), p.undoColumnList());
    if (!moved.ok()) {
        fs::remove(pending(p.undoDb()), ec);
        fs::remove(pending(p.undoColumnList()), ec);
        return moved;
    }
    return replaceFileText(p.undoStep(), step_);
}

Result<PendingSnapshot> prepareSnapshot(Workspace& ws, const std::string& step) {
    const ProgramPaths& p = ws.paths;
    ws.conn.release();
    std::error_code ec;
    if (!fs::is_regular_file(p.workingDb(), ec) || blankAfterChoice(ws))
        return PendingSnapshot(p, step, false);
    // Owned from here on, so that a failure below leaves no copy behind.
    PendingSnapshot taken(p, step, true);
    TABROVIN_TRY(copyDatabase(p.workingDb(), pending(p.undoDb())));
    TABROVIN_TRY(writeColumnList(pending(p.undoColumnList()), column_list::load(p.columnList())));
    return taken;
}

Status takeSnapshot(Workspace& ws, const std::string& step) {
    auto taken = prepareSnapshot(ws, step);
    if (!taken) return taken.error();
    return taken->keep();
}

bool canUndo(const ProgramPaths& p) {
    std::error_code ec;
    return fs::is_regular_file(p.undoStep(), ec) && fs::is_regular_file(p.undoDb(), ec);
}

Result<UndoReport> undoLastStep(Workspace& ws) {
    const ProgramPaths& p = ws.paths;
    if (!canUndo(p)) return Error::refused("没有可以撤销的操作。");
    // Everything is read and checked before anything is replaced: a pipe at
    // the list's name would otherwise stop the undo halfway.
    if (isSpecialFile(p.undoColumnList()))
        return Error::fileAccess(p.undoColumnList(),
                                 "它不是普通文件（可能是文件夹、管道或设备），无法撤销");
    TABROVIN_TRY(refuseProtected(p.workingDb()));
    TABROVIN_TRY(refuseProtected(p.columnList()));
    UndoReport report;
    report.step = snapshotStep(p);
    report.columnNames = column_list::load(p.undoColumnList());
    ws.conn.release();
    TABROVIN_TRY(checkSnapshot(p.undoDb()));
    TABROVIN_TRY(restoreDatabase(p.undoDb(), p.workingDb()));
    TABROVIN_TRY(column_list::save(report.columnNames, p.columnList()));
    std::error_code ec;
    fs::remove(p.undoStep(), ec);
    TABROVIN_TRY(ws.openConn());
    auto rows = ws.countRows();
    if (!rows) return rows.error();
    report.rows = *rows;
    return report;
}

}  // namespace tabrovin
