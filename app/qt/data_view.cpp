#include "app/qt/data_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "core/statements.h"

namespace tabrovin {
namespace {

constexpr size_t kMaxNames = statements::kTableColumns;

QString qt(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Counts on its own connection: the model's reader stays the window's.
Result<int64_t> countRows(const std::filesystem::path& database, std::optional<RowFilter> filter) {
    TablePageReader reader;
    TABROVIN_TRY(reader.open(database, 0, std::move(filter)));
    return reader.rowCount();
}

}  // namespace

TableModel::TableModel(QObject* parent)
    : QAbstractTableModel(parent), counter_(new BackgroundWork(this)) {}

TableModel::~TableModel() = default;

Status TableModel::load(const std::filesystem::path& database,
                        const std::vector<std::string>& columnNames,
                        std::optional<RowFilter> filter, bool countWhole) {
    counter_->drop();
    beginResetModel();
    blocks_.clear();
    recent_.clear();
    headings_.clear();
    total_ = 0;
    const size_t columns = std::min(columnNames.size(), kMaxNames);
    Status status = reader_.open(database, static_cast<int>(columns), filter);
    if (status.ok()) {
        headings_ << qt(kIdHeading);
        for (size_t k = 0; k < columns; ++k) headings_ << qt(columnNames[k]);
    } else {
        reader_.close();
    }
    endResetModel();
    if (status.ok()) startCount(database, std::move(filter), countWhole);
    return status;
}

// A count takes a tenth of a second and more on a million rows; the window
// shows the headings meanwhile and the rows once counted.
void TableModel::startCount(const std::filesystem::path& database, std::optional<RowFilter> filter,
                            bool countWhole) {
    counter_->start(
        [database, filter = std::move(filter), countWhole] {
            Result<int64_t> rows = countRows(database, filter);
            Result<int64_t> whole = int64_t{-1};
            if (rows.ok() && countWhole) whole = filter ? countRows(database, std::nullopt) : rows;
            return std::pair{rows, whole};
        },
        [this](const std::pair<Result<int64_t>, Result<int64_t>>& counted) {
            countArrived(counted.first, counted.second);
        });
}

void TableModel::countArrived(Result<int64_t> rows, Result<int64_t> whole) {
    if (!rows.ok() || !whole.ok()) {
        emit readFailed(qt((rows.ok() ? whole : rows).error().description));
        return;
    }
    reader_.takeRowCount(*rows);  // so that pages near the end step back from it
    if (*rows > 0) {
        beginInsertRows({}, 0, static_cast<int>(std::min<int64_t>(*rows, INT_MAX) - 1));
        total_ = *rows;
        endInsertRows();
    }
    emit counted(*rows, *whole);
}

void TableModel::clear() {
    counter_->release();
    beginResetModel();
    reader_.close();
    blocks_.clear();
    recent_.clear();
    headings_.clear();
    total_ = 0;
    endResetModel();
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::min<int64_t>(total_, INT_MAX));
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

// The rows of block `number`, read now unless kept from before. A block that
// fails to read is kept empty, so painting does not retry it endlessly.
const std::vector<TableRow>& TableModel::block(int64_t number) const {
    if (auto kept = blocks_.find(number); kept != blocks_.end()) {
        recent_.remove(number);
        recent_.push_front(number);
        return kept->second;
    }
    std::vector<TableRow> rows;
    auto read = reader_.page(number * kBlockRows, kBlockRows);
    if (read.ok())
        rows = std::move(*read);
    else
        emit readFailed(qt(read.error().description));
    if (recent_.size() >= static_cast<size_t>(kKeptBlocks)) {
        blocks_.erase(recent_.back());
        recent_.pop_back();
    }
    recent_.push_front(number);
    return blocks_[number] = std::move(rows);
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (index.isValid() && role == Qt::TextAlignmentRole && index.column() == 0)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const auto& rows = block(index.row() / kBlockRows);
    const size_t at = static_cast<size_t>(index.row() % kBlockRows);
    if (at >= rows.size()) return {};
    const TableRow& row = rows[at];
    if (index.column() == 0) return QString::number(row.id);
    const size_t column = static_cast<size_t>(index.column() - 1);
    return column < row.values.size() ? qt(row.values[column]) : QVariant();
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return section >= 0 && section < headings_.size() ? headings_[section] : QVariant();
}

DataView::DataView(QWidget* parent) : QWidget(parent), model_(new TableModel(this)) {
    setObjectName(QStringLiteral("dataView"));
    auto* filterLabel = new QLabel(QStringLiteral("筛选："), this);
    column_ = new QComboBox(this);
    column_->setObjectName(QStringLiteral("filterColumn"));
    // The ways the keyword delete matches, in the same code; the first names
    // its wildcards, which a bare "包含" would hide.
    match_ = new QComboBox(this);
    match_->setObjectName(QStringLiteral("filterMatch"));
    for (MatchMode mode : kMatchModes)
        match_->addItem(mode == MatchMode::Contains ? QStringLiteral("包含（% 和 _ 为通配符）")
                                                    : qt(matchModeName(mode)),
                        static_cast<int>(mode));
    match_->setToolTip(
        QStringLiteral("与“删除相应的行”的匹配方式相同；英文字母不分大小写，空值不相符。"));
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("filterText"));
    text_->setPlaceholderText(QStringLiteral("要查找的文字"));
    apply_ = new QPushButton(QStringLiteral("筛选"), this);
    apply_->setObjectName(QStringLiteral("applyFilter"));
    clear_ = new QPushButton(QStringLiteral("显示全部"), this);
    clear_->setObjectName(QStringLiteral("clearFilter"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("rowCountLabel"));
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("dataTable"));
    table_->setModel(model_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();  // the id column names each row
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    auto* bar = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{filterLabel, column_, match_, text_, apply_, clear_})
        bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(count_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(table_);

    connect(apply_, &QPushButton::clicked, this, &DataView::applyFilter);
    connect(text_, &QLineEdit::returnPressed, this, &DataView::applyFilter);
    connect(clear_, &QPushButton::clicked, this, &DataView::clearFilter);
    // Queued: a failed read is noticed while the table paints.
    connect(model_, &TableModel::readFailed, this, &DataView::showError, Qt::QueuedConnection);
    connect(model_, &TableModel::counted, this, &DataView::showCount);
    clear_->setEnabled(false);
}

void DataView::reload(const std::filesystem::path& database,
                      const std::vector<std::string>& columnNames) {
    database_ = database;
    total_.reset();
    names_.assign(columnNames.begin(),
                  columnNames.begin() + std::min(columnNames.size(), kMaxNames));
    column_->clear();
    for (const auto& name : names_) column_->addItem(qt(name));
    const bool any = !names_.empty();
    for (QWidget* w : std::initializer_list<QWidget*>{column_, match_, text_, apply_})
        w->setEnabled(any);
    if (filter_ && filter_->column < static_cast<int>(names_.size())) {
        column_->setCurrentIndex(filter_->column);
        match_->setCurrentIndex(match_->findData(static_cast<int>(filter_->mode)));
        text_->setText(qt(filter_->text));
    } else {
        filter_.reset();
        text_->clear();
    }
    showRows(filter_);
}

void DataView::release() {
    model_->clear();
    total_.reset();
    count_->clear();
}

void DataView::applyFilter() {
    const std::string text = text_->text().toStdString();
    if (text.empty() || column_->currentIndex() < 0) return clearFilter();
    showRows(Filter{column_->currentIndex(), static_cast<MatchMode>(match_->currentData().toInt()),
                    text});
}

void DataView::clearFilter() {
    text_->clear();
    showRows(std::nullopt);
}

// The whole table is counted once per reload, beside the first rows shown:
// filters change nothing in it.
void DataView::showRows(std::optional<Filter> filter) {
    filter_ = filter;
    clear_->setEnabled(filter.has_value());
    std::optional<RowFilter> rows;
    if (filter) {
        auto condition = matchCondition(filter->column, {{filter->text}, filter->mode});
        if (!condition) return showError(qt(condition.error().description));
        rows = RowFilter{condition->text, condition->params};
    }
    Status status = model_->load(database_, names_, std::move(rows), !total_);
    if (!status.ok()) return showError(qt(status.error().description));
    count_->setText(QStringLiteral("正在计数…"));
}

void DataView::showCount(qint64 rows, qint64 whole) {
    if (whole >= 0) total_ = whole;
    if (!filter_) {
        count_->setText(QStringLiteral("共 %1 行").arg(rows));
        return;
    }
    count_->setText(
        QStringLiteral("共 %1 行，其中 %2 行的“%3”%4“%5”")
            .arg(total_.value_or(0))
            .arg(rows)
            .arg(qt(names_[filter_->column]), qt(matchModeName(filter_->mode)), qt(filter_->text)));
}

void DataView::showError(const QString& message) {
    count_->setText(QStringLiteral("无法显示数据：") + message);
}

}  // namespace tabrovin
