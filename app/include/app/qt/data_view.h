#pragma once
// A read-only look at the working table: a model that reads rows in blocks
// only as the view shows them, and a widget with the row count and a
// "column contains text" filter. Both read over their own read-only
// connection, so the working database is never locked or changed by them.

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/table_page.h"

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

    // Shows the rows of `database` (those matching `filter`, when given) under
    // the headings kIdHeading and `columnNames` (at most 51). Counts the rows
    // and reads nothing else. On failure the model is empty.
    Status load(const std::filesystem::path& database, const std::vector<std::string>& columnNames,
                std::optional<RowFilter> filter = std::nullopt);
    // Empties the model and closes the file, so it may be replaced.
    void clear();

    int64_t totalRows() const { return total_; }
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

  private:
    const std::vector<TableRow>& block(int64_t number) const;

    QStringList headings_;
    int64_t total_ = 0;
    mutable TablePageReader reader_;
    mutable std::map<int64_t, std::vector<TableRow>> blocks_;
    mutable std::list<int64_t> recent_;  // block numbers, most recently read first
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

  private:
    void applyFilter();
    void clearFilter();
    void showRows(std::optional<RowFilter> filter);
    void showError(const QString& message);
    Result<int64_t> wholeTableRows();

    std::filesystem::path database_;
    std::vector<std::string> names_;
    std::optional<RowFilter> filter_;
    std::optional<int64_t> total_;  // the whole table's rows, counted once per reload
    TableModel* model_;
    QLabel* count_;
    QComboBox* column_;
    QLineEdit* text_;
    QPushButton* apply_;
    QPushButton* clear_;
    QTableView* table_;
};

}  // namespace tabrovin
