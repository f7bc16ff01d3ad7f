#pragma once
// A read-only look at the working table: a model that reads rows in blocks
// only as the view shows them, and a widget with the row count and a filter
// that matches as the keyword delete does. Both read over their own
// read-only connections, so the working database is never locked or changed
// by them; rows are counted on a thread of their own, so the window never
// waits for a big table to be counted.

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt/background_work.h"
#include "core/table_page.h"
#include "processing/text_match.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tabrovin {

class TableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kBlockRows = 200;  // rows read at once
    static constexpr int kKeptBlocks = 40;  // blocks kept; the oldest read goes first

    explicit TableModel(QObject* parent = nullptr);
    ~TableModel() override;

    // Shows the rows of `database` (those matching `filter`, when given) under
    // the headings kIdHeading and `columnNames` (at most 51). Opens the file
    // and starts counting the rows off the window's thread, with the whole
    // table's too when `countWhole`; the rows appear when counted(). On
    // failure the model is empty.
    Status load(const std::filesystem::path& database, const std::vector<std::string>& columnNames,
                std::optional<RowFilter> filter = std::nullopt, bool countWhole = false);
    // Empties the model and closes the file, so it may be replaced: waits
    // for counts still reading it (at most one count's time).
    void clear();

    int64_t totalRows() const { return total_; }
    bool counting() const { return counter_->pending(); }
    // What has been read so far, for tests and measurements.
    const TablePageReader& reader() const { return reader_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  signals:
    // A block could not be read (the file went away or was damaged); its
    // rows show empty until the next load().
    void readFailed(const QString& message) const;
    // The rows of the last load() are counted: `rows` shown, and `whole`
    // the whole table's when it was asked for (else -1).
    void counted(qint64 rows, qint64 whole);

  private:
    const std::vector<TableRow>& block(int64_t number) const;
    void startCount(const std::filesystem::path& database, std::optional<RowFilter> filter,
                    bool countWhole);
    void countArrived(Result<int64_t> rows, Result<int64_t> whole);

    QStringList headings_;
    int64_t total_ = 0;
    mutable TablePageReader reader_;
    mutable std::map<int64_t, std::vector<TableRow>> blocks_;
    mutable std::list<int64_t> recent_;  // block numbers, most recently read first
    BackgroundWork* counter_;
};

class DataView : public QWidget {
    Q_OBJECT

  public:
    explicit DataView(QWidget* parent = nullptr);

    // Shows `database` afresh, with `columnNames` as headings and choices of
    // the filter; call after anything changes the table or the names. A
    // filter in use stays when its column still exists. Errors show in the
    // count label; nothing is thrown or shown in a box.
    void reload(const std::filesystem::path& database, const std::vector<std::string>& columnNames);
    // Closes the file (e.g. before it is replaced) and empties the view.
    void release();

    TableModel* model() const { return model_; }
    // True while the rows are being counted; the count label then says so.
    bool counting() const { return model_->counting(); }

  private:
    // What the filter bar asks for: a column, a way of matching, a text.
    struct Filter {
        int column = 0;
        MatchMode mode = MatchMode::Contains;
        std::string text;
    };

    void applyFilter();
    void clearFilter();
    void showRows(std::optional<Filter> filter);
    void showCount(qint64 rows, qint64 whole);
    void showError(const QString& message);

    std::filesystem::path database_;
    std::vector<std::string> names_;
    std::optional<Filter> filter_;
    std::optional<int64_t> total_;  // the whole table's rows, counted once per reload
    TableModel* model_;
    QLabel* count_;
    QComboBox* column_;
    QComboBox* match_;
    QLineEdit* text_;
    QPushButton* apply_;
    QPushButton* clear_;
    QTableView* table_;
};

}  // namespace tabrovin
