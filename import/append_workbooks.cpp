#include "import/append_workbooks.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "core/column_list.h"
#include "core/statements.h"
#include "core/undo.h"
#include "import/open_workbook.h"
#include "platform/encoding.h"
#include "platform/read_ahead.h"
#include "row_inserter.h"

namespace tabrovin {
namespace {

// One workbook of the step, opened and planned before any row is stored.
struct Source {
    std::filesystem::path file;
    std::shared_ptr<MeasuredSheet> sheet;
    RowSpan span;
    RowPlan plan;
};

// Which (heading, occurrence) pairs the user unticked.
using Unticked = std::set<std::pair<std::string, int>>;

Unticked untickedOf(const AppendRequest& r) {
    Unticked out;
    std::map<std::string, int> seen;
    for (size_t i = 0; i < r.listed.size(); ++i) {
        std::string key = headingKey(r.listed[i]);
        int occurrence = seen[key]++;
        if (i < r.ticked.size() && !r.ticked[i]) out.insert({key, occurrence});
    }
    return out;
}

// The ticked columns of one workbook's heading row, mapped into `names`;
// the source column first, so that it keeps the first 来源文件 column.
Result<RowPlan> planRows(std::vector<std::string>& names, const std::vector<std::string>& row,
                         const Unticked& unticked, const AppendRequest& r,
                         const std::filesystem::path& file) {
    RowPlan plan;
    std::vector<std::string> headings;
    if (r.sourceColumn) headings.emplace_back(kSourceColumnHeading);
    std::map<std::string, int> seen;
    for (size_t c = 0; c < row.size(); ++c) {
        std::string key = headingKey(row[c]);
        if (unticked.count({key, seen[key]++})) continue;
        plan.positions.push_back(static_cast<int>(c + 1));
        headings.push_back(row[c]);
    }
    auto targets = mapHeadings(names, headings);
    if (!targets) {
        if (targets.error().number != err::kRefused) return targets.error();
        return Error::refused("工作簿“" + utf8FromPath(file.filename()) + "”" +
                              targets.error().description);
    }
    if (r.sourceColumn) {
        plan.constant = utf8FromPath(file.filename());
        // The constant comes after the read cells in every buffered row.
        std::rotate(targets->begin(), targets->begin() + 1, targets->end());
    }
    plan.targets = std::move(*targets);
    return plan;
}

// The heading row of a workbook's sheet; none when it has no data rows.
Result<std::vector<std::string>> headingRow(MeasuredSheet& m, const RowSpan& span) {
    if (span.count() < 1) return std::vector<std::string>{};
    return readHeadings(m, span.headingRow);
}

// Opens and plans the `index`-th workbook; a refusal stops the step before
// anything changes, any other error only ends the list of sources there.
Result<Source> openSource(std::vector<std::string>& names, const AppendRequest& r,
                          const Unticked& unticked, size_t index) {
    const auto& file = r.workbooks[index];
    auto wrap = [&](const Error& e) {
        if (e.number == err::kRefused) return e;
        return Error::inWorkbookOfMany(e, file, static_cast<int>(index + 1), CellPlace(r.sheet));
    };
    auto m = openMeasuredSheet(file, r.sheet);
    if (!m) return wrap(m.error());
    auto span = rowSpan((*m)->usedRows, r.layout);
    if (!span)
        return Error::refused("工作簿“" + utf8FromPath(file.filename()) + "”：" +
                              span.error().description);
    auto row = headingRow(**m, *span);
    if (!row) return wrap(row.error());
    auto plan = planRows(names, *row, unticked, r, file);
    if (!plan) return wrap(plan.error());
    return Source{file, *m, *span, std::move(*plan)};
}

// The workbooks opened and planned in order, up to the first that fails,
// whose error is then `failed`; a refusal of any is the result itself.
Result<std::vector<Source>> openSources(std::vector<std::string>& names, const AppendRequest& r,
                                        std::optional<Error>& failed) {
    const Unticked unticked = untickedOf(r);
    std::vector<Source> sources;
    for (size_t i = 0; i < r.workbooks.size(); ++i) {
        auto source = openSource(names, r, unticked, i);
        if (!source && source.error().number == err::kRefused) return source.error();
        if (!source) {
            failed = source.error();
            break;
        }
        sources.push_back(std::move(*source));
    }
    return sources;
}

// The row to name beside an error: the readers name their own place, the
// engine does not, so a refused insert is placed at the last row read.
int64_t rowOfStore(const Status& st, int32_t reached) {
    const int n = st.error().number;
    return n >= err::kDatabaseBase && n < err::kDatabaseBase + 256 ? reached : 0;
}

// The rows of one workbook into wen, stored before the next one's: an
// engine's refusal is then named with its workbook.
Status appendSource(Source& s, RowInserter& inserter, const RowInserter::Share& share,
                    int32_t& reached) {
    reached = s.span.first - 1;
    auto sink = [&](int32_t row, const std::vector<std::string>& cells) {
        reached = row;
        return inserter(row, cells);
    };
    TABROVIN_TRY(inserter.startSheet(s.plan, s.span.first, s.span.last, share));
    Status read = s.span.count() < 1 ? Status::Ok()
                                     : readRowsAhead(*s.sheet->sheet, s.span.first, s.span.last,
                                                     s.sheet->lastColumn, sink);
    s.sheet.reset();  // its reader's memory goes before the next one's
    TABROVIN_TRY(read);
    return inserter.flush();
}

// The column list the appended rows join: none for an empty table, whose
// old names name nothing; only the first 51, which name columns.
Result<std::vector<std::string>> startingNames(Workspace& ws) {
    TABROVIN_TRY(ws.openConn());
    auto rows = ws.countRows();
    if (!rows) return rows.error();
    if (*rows == 0) return std::vector<std::string>{};
    auto names = column_list::load(ws.paths.columnList());
    if (names.size() > static_cast<size_t>(statements::kTableColumns))
        names.resize(statements::kTableColumns);
    return names;
}

}  // namespace

std::string headingKey(std::string_view heading) {
    return column_list::oneLineFeedPerBreak(encoding::trimBlanks(heading));
}

Result<std::vector<int>> mapHeadings(std::vector<std::string>& names,
                                     const std::vector<std::string>& headings) {
    std::vector<std::string> keys;
    for (const auto& n : names) keys.push_back(headingKey(n));
    std::vector<std::string> added;
    std::vector<int> targets;
    std::map<std::string, int> seen;
    for (const auto& h : headings) {
        std::string key = headingKey(h);
        int wanted = seen[key]++;
        int found = -1;
        for (size_t i = 0; i < keys.size() && found < 0; ++i)
            if (keys[i] == key && wanted-- == 0) found = static_cast<int>(i);
        if (found < 0) {
            if (keys.size() >= static_cast<size_t>(statements::kTableColumns))
                return Error::refused(
                    "带来新的列“" + h +
                    "”，追加后的列数会超过 51 "
                    "列。没有导入任何行；请在“选择你要导入的列”中取消勾选一些列后再试。");
            found = static_cast<int>(keys.size());
            keys.push_back(key);
            added.push_back(h);
        }
        targets.push_back(found);
    }
    names.insert(names.end(), added.begin(), added.end());
    return targets;
}

Result<AppendReport> appendWorkbooks(Workspace& ws, const AppendRequest& request,
                                     Progress& progress) {
    if (request.workbooks.empty()) return Error::refused("没有选择要追加导入的工作簿。");
    TABROVIN_TRY(checkLayout(request.layout));
    auto start = startingNames(ws);
    if (!start) return start.error();
    std::vector<std::string> names = std::move(*start);
    std::optional<Error> failed;
    auto opened = openSources(names, request, failed);
    if (!opened) return opened.error();
    std::vector<Source>& sources = *opened;
    if (sources.empty()) return *failed;
    AppendReport report;
    for (const auto& s : sources) report.dataRows += s.span.count();
    progress.count(Counter::Rows, report.dataRows);
    progress.count(Counter::Columns, static_cast<int64_t>(names.size()) - 1);
    progress.count(Counter::Done, 0);
    auto snapshot = prepareSnapshot(ws, "追加导入");
    if (!snapshot) return snapshot.error();
    TABROVIN_TRY(ws.openConn());
    RowInserter inserter(ws, progress, request.pauseEvery, names);
    TABROVIN_TRY(ws.conn.begin());
    Status read = Status::Ok();
    int64_t before = 0;
    int32_t reached = 0;
    for (size_t i = 0; i < sources.size() && read.ok(); ++i) {
        RowInserter::Share share{before - sources[i].span.first, before, report.dataRows};
        read = appendSource(sources[i], inserter, share, reached);
        if (!read.ok() && read.error().number != err::kCancelled)
            read = Error::inWorkbookOfMany(read.error(), sources[i].file, static_cast<int>(i + 1),
                                           CellPlace(request.sheet, rowOfStore(read, reached)));
        if (read.ok()) ++report.files;
        before += sources[i].span.count();
    }
    // As for one workbook: every row handed over stays, named.
    TABROVIN_TRY(inserter.finish(read, *snapshot));
    if (failed) return *failed;
    report.inserted = inserter.inserted();
    report.columnNames = names;
    progress.count(Counter::Done, report.dataRows);
    return report;
}

}  // namespace tabrovin
