#include "app/qt/cleaning_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>

namespace tabrovin {
namespace {

QString qt(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

bool CleaningOptions::isDefault() const {
    return moreColumns.empty() && !trim && !width && match == MatchMode::Contains &&
           !severalKeywords;
}

std::string CleaningOptions::summary(const std::vector<std::string>& columnNames) const {
    std::vector<std::string> parts;
    std::string columns;
    for (int k : moreColumns)
        if (k >= 0 && static_cast<size_t>(k) < columnNames.size())
            columns += (columns.empty() ? "" : "、") + columnNames[static_cast<size_t>(k)];
    if (!columns.empty()) parts.push_back("另加列：" + columns);
    if (trim) parts.push_back("去空白");
    if (width) parts.push_back("全角→半角");
    if (match != MatchMode::Contains) parts.push_back(matchModeName(match));
    if (severalKeywords) parts.push_back("多个关键字");
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : " · ") + p;
    return out;
}

void CleaningOptions::applyTo(DedupeRequest& request, size_t columnCount) const {
    for (int k : moreColumns)
        if (k >= 0 && static_cast<size_t>(k) < columnCount) request.moreColumns.push_back(k);
    request.trim = trim;
    request.width = width;
}

void CleaningOptions::applyTo(DeleteRequest& request) const {
    request.match = match;
    if (!severalKeywords) return;
    // Nothing but bars leaves no keyword: the step refuses the empty one.
    std::vector<std::string> keywords = splitKeywords(request.keyword);
    request.keyword = keywords.empty() ? std::string() : keywords.front();
    request.moreKeywords.assign(keywords.begin() + (keywords.empty() ? 0 : 1), keywords.end());
}

CleaningOptions CleaningOptions::load(QSettings& settings) {
    CleaningOptions o;
    settings.beginGroup(QStringLiteral("cleaning"));
    for (const QVariant& k : settings.value(QStringLiteral("moreColumns")).toList())
        if (k.toInt() >= 0 && k.toInt() < 51) o.moreColumns.push_back(k.toInt());
    o.trim = settings.value(QStringLiteral("trim"), false).toBool();
    o.width = settings.value(QStringLiteral("width"), false).toBool();
    const int match = settings.value(QStringLiteral("match"), 0).toInt();
    // A value this version does not know reads as the default.
    if (match > 0 && match < static_cast<int>(std::size(kMatchModes)))
        o.match = static_cast<MatchMode>(match);
    o.severalKeywords = settings.value(QStringLiteral("severalKeywords"), false).toBool();
    settings.endGroup();
    return o;
}

void CleaningOptions::save(QSettings& settings) const {
    settings.beginGroup(QStringLiteral("cleaning"));
    QVariantList columns;
    for (int k : moreColumns) columns << k;
    settings.setValue(QStringLiteral("moreColumns"), columns);
    settings.setValue(QStringLiteral("trim"), trim);
    settings.setValue(QStringLiteral("width"), width);
    settings.setValue(QStringLiteral("match"), static_cast<int>(match));
    settings.setValue(QStringLiteral("severalKeywords"), severalKeywords);
    settings.endGroup();
}

CleaningDialog::CleaningDialog(QWidget* parent)
    : QWidget(parent, Qt::Dialog), counter_(new BackgroundWork(this)) {
    setObjectName(QStringLiteral("cleaningDialog"));
    setWindowTitle(QString::fromUtf8("清理选项"));
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    columns_ = new QListWidget(this);
    named(columns_, "dedupeColumns");
    columns_->setMaximumHeight(110);
    trim_ = new QCheckBox(QString::fromUtf8("忽略首尾空白（含全角空格）"), this);
    width_ = new QCheckBox(QString::fromUtf8("全角字母、数字和标点按半角比较"), this);
    named(trim_, "trimBlanks");
    named(width_, "foldWidth");
    auto* dedupe = new QGroupBox(QString::fromUtf8("3.过滤重复"), this);
    auto* d = new QVBoxLayout(dedupe);
    d->addWidget(
        new QLabel(QString::fromUtf8("除“处理相应的列”外，这些列也都相同才算重复："), this));
    d->addWidget(columns_);
    d->addWidget(trim_);
    d->addWidget(width_);
    d->addWidget(new QLabel(QString::fromUtf8("英文字母总是不分大小写。"), this));

    match_ = new QComboBox(this);
    named(match_, "matchMode");
    for (MatchMode mode : kMatchModes)
        match_->addItem(mode == MatchMode::Contains ? QString::fromUtf8("包含（% 和 _ 为通配符）")
                                                    : qt(matchModeName(mode)));
    several_ = new QCheckBox(QString::fromUtf8("关键字可用 | 分隔多个，任一相符即删除"), this);
    named(several_, "severalKeywords");
    auto* remove = new QGroupBox(QString::fromUtf8("4.删除相应的行"), this);
    auto* r = new QVBoxLayout(remove);
    auto* matchRow = new QHBoxLayout;
    matchRow->addWidget(new QLabel(QString::fromUtf8("匹配方式："), this));
    matchRow->addWidget(match_, 1);
    r->addLayout(matchRow);
    r->addWidget(several_);

    count_ = new QPushButton(QString::fromUtf8("统计将删除的行数"), this);
    named(count_, "countRemovals");
    counts_ = new QLabel(this);
    named(counts_, "removalCounts");
    counts_->setWordWrap(true);
    auto* close = new QPushButton(QString::fromUtf8("关闭"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dedupe);
    layout->addWidget(remove);
    layout->addWidget(count_);
    layout->addWidget(counts_);
    layout->addWidget(close, 0, Qt::AlignRight);

    auto emitChanged = [this] {
        if (!filling_) emit changed(read());
    };
    connect(columns_, &QListWidget::itemChanged, this, emitChanged);
    for (QCheckBox* box : {trim_, width_, several_})
        connect(box, &QCheckBox::toggled, this, emitChanged);
    connect(match_, &QComboBox::currentIndexChanged, this, emitChanged);
    connect(count_, &QPushButton::clicked, this, [this] {
        count_->setEnabled(false);
        counts_->setText(QString::fromUtf8("正在统计…"));
        emit countAsked();
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void CleaningDialog::showOptions(const CleaningOptions& options,
                                 const std::vector<std::string>& columnNames) {
    filling_ = true;
    columns_->clear();
    for (size_t k = 0; k < columnNames.size(); ++k) {
        auto* item = new QListWidgetItem(qt(columnNames[k]), columns_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        const bool on = std::find(options.moreColumns.begin(), options.moreColumns.end(),
                                  static_cast<int>(k)) != options.moreColumns.end();
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    trim_->setChecked(options.trim);
    width_->setChecked(options.width);
    match_->setCurrentIndex(static_cast<int>(options.match));
    several_->setChecked(options.severalKeywords);
    counts_->clear();
    filling_ = false;
    QWidget::show();
    raise();
}

std::vector<QWidget*> CleaningDialog::optionControls() const {
    return {columns_, trim_, width_, match_, several_, count_};
}

void CleaningDialog::count(std::function<std::string()> work) {
    counter_->start(std::move(work), [this](const std::string& text) { showCounts(text); });
}

void CleaningDialog::showCounts(const std::string& text) {
    counts_->setText(qt(text));
    count_->setEnabled(true);
}

CleaningOptions CleaningDialog::read() const {
    CleaningOptions o;
    for (int k = 0; k < columns_->count(); ++k)
        if (columns_->item(k)->checkState() == Qt::Checked) o.moreColumns.push_back(k);
    o.trim = trim_->isChecked();
    o.width = width_->isChecked();
    o.match = kMatchModes[std::clamp(match_->currentIndex(), 0, 3)];
    o.severalKeywords = several_->isChecked();
    return o;
}

}  // namespace tabrovin
