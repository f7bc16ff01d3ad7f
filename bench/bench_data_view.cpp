// How long the data view takes to show its first screen, its last screen and
// a filter on 300,000 and 1,000,000 rows x 10 columns (files just written,
// so read from the system's cache), in three rounds. Built without the Qt window, only the
// page reader beneath the view is measured.

#include <chrono>
#include <cstdio>
#include <functional>

#include "bench/bench_fill.h"
#include "bench/bench_support.h"
#include "core/table_page.h"

#if __has_include(<QApplication>)
#include <QApplication>
#include <QScrollBar>
#include <QTableView>

#include "app/qt/data_view.h"
#define BENCH_WITH_QT 1
#endif

namespace {

double millis(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

const std::vector<std::string> kNames = {"c0", "c1", "c2", "c3", "c4",
                                         "c5", "c6", "c7", "c8", "c9"};

void measureReader(const bench::fs::path& file, int rows) {
    tabrovin::TablePageReader reader;
    double first = millis([&] {
        if (!reader.open(file, 10).ok() || !reader.rowCount().ok()) std::exit(1);
        (void)reader.page(0, 200);
    });
    double count = millis([&] {
        tabrovin::TablePageReader again;
        (void)again.open(file, 10);
        (void)again.rowCount();
    });
    double last = millis([&] { (void)reader.page(rows - 200, 200); });
    double middle = millis([&] { (void)reader.page(rows / 2, 200); });
    std::printf(
        "  reader: open+count+first page %.1f ms (count alone %.1f ms), last page %.1f ms,"
        " page in the middle %.1f ms (%lld ids stepped over)\n",
        first, count, last, middle, static_cast<long long>(reader.idsSkipped()));
    tabrovin::TablePageReader filtered;
    double filter = millis([&] {
        (void)filtered.open(
            file, 10, tabrovin::RowFilter{tabrovin::statements::containsParam("a1", 1), {"9-1"}});
        (void)filtered.rowCount();
        (void)filtered.page(0, 200);
    });
    std::printf("  filter \"c1 contains 9-1\": count + first page %.1f ms (%lld rows)\n", filter,
                static_cast<long long>(*filtered.rowCount()));
}

#ifdef BENCH_WITH_QT
void measureView(const bench::fs::path& file) {
    tabrovin::DataView view;
    view.resize(1000, 700);
    double first = millis([&] {
        view.reload(file, kNames);
        view.show();
        auto* table = view.findChild<QTableView*>("dataTable");
        table->viewport()->repaint();
        QApplication::processEvents();
    });
    auto* table = view.findChild<QTableView*>("dataTable");
    const long long firstRows = view.model()->reader().rowsRead();
    double end = millis([&] {
        table->scrollToBottom();
        table->viewport()->repaint();
    });
    double middle = millis([&] {
        table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum() / 2);
        table->viewport()->repaint();
    });
    std::printf(
        "  view: first screen %.1f ms (%lld rows read), scrolled to the end %.1f ms,"
        " dragged to the middle %.1f ms\n",
        first, firstRows, end, middle);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef BENCH_WITH_QT
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    (void)argc;
    (void)argv;
    std::printf("(built without the Qt window: the page reader only)\n");
#endif
    for (int rows : {300000, 1000000}) {
        auto home =
            bench::programFolder(bench::fs::temp_directory_path() / "tabrovin-bench-data-view");
        if (!bench::fillTable(home, rows)) return 1;
        auto file = tabrovin::ProgramPaths(home).workingDb();
        std::printf("%d rows x 10 columns:\n", rows);
        // Three rounds: the machine may be shared, and the best round shows the cost.
        for (int round = 1; round <= 3; ++round) {
            std::printf(" round %d\n", round);
            measureReader(file, rows);
#ifdef BENCH_WITH_QT
            measureView(file);
#endif
        }
        bench::fs::remove_all(home);
    }
    return 0;
}
