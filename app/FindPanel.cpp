#include "app/FindPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>

#include <algorithm>
#include <climits>

using document::FindResult;
using document::FindSource;

namespace {

constexpr int kHistorySize = 20;
// Characters of the line shown around a hit in the list.
constexpr int kBefore = 30;
constexpr int kAfter = 60;

QString Flat(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return s;
}

}  // namespace

void TFindResultModel::SetResult(std::shared_ptr<const std::vector<FindSource>> sources,
                                 std::shared_ptr<const FindResult> result)
{
    beginResetModel();
    sources_ = std::move(sources);
    result_ = std::move(result);
    rows_ = std::min(Hits(), kEagerRows);
    endResetModel();
}

int TFindResultModel::Hits() const
{
    return result_ ? static_cast<int>(std::min<std::size_t>(result_->hits.size(), INT_MAX)) : 0;
}

void TFindResultModel::AddRows(int count)
{
    count = std::min(count, Hits() - rows_);
    if (count <= 0)
        return;
    beginInsertRows({}, rows_, rows_ + count - 1);
    rows_ += count;
    endInsertRows();
}

void TFindResultModel::Grown()
{
    AddRows(kEagerRows - rows_);
}

void TFindResultModel::ShowUpTo(int row)
{
    if (row >= rows_)
        AddRows(row + 1 - rows_);
}

int TFindResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

bool TFindResultModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && rows_ < Hits();
}

void TFindResultModel::fetchMore(const QModelIndex& parent)
{
    if (!parent.isValid())
        AddRows(kFetchRows);
}

QVariant TFindResultModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !result_ || index.row() < 0 || index.row() >= rowCount())
        return {};
    const document::FindHit& hit = result_->hits[static_cast<std::size_t>(index.row())];
    const FindSource& source = (*sources_)[hit.source];
    QString where = QString::fromStdString(document::SourcePath(*sources_, hit.source));
    std::string_view line;
    std::size_t at = 0;
    if (hit.field == document::HitField::name) {
        where += QStringLiteral("  (ノード名): ");
        line = source.name;
        at = hit.range.start;
    } else {
        const document::HitPlace place = document::PlaceOfHit(*source.text, hit.range);
        where += QStringLiteral("  %1 行: ").arg(place.line);
        line = *source.text;
        at = hit.range.start;
        // The line itself: from its start to its end.
        const std::size_t lineStart = hit.range.start - place.hitInLine;
        line = line.substr(lineStart);
        at -= lineStart;
    }
    const std::string_view text = line;
    std::size_t lineEnd = text.find("\r\n", at + hit.range.length);
    if (lineEnd == std::string_view::npos)
        lineEnd = text.size();
    QString before = Flat(text.substr(0, at));
    QString after = Flat(text.substr(at + hit.range.length, lineEnd - at - hit.range.length));
    if (before.size() > kBefore)
        before = QStringLiteral("…") + before.right(kBefore);
    if (after.size() > kAfter)
        after = after.left(kAfter) + QStringLiteral("…");
    return where + before + QStringLiteral("【") + Flat(text.substr(at, hit.range.length)) + QStringLiteral("】") + after;
}

TFindPanel::TFindPanel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("FindPanel1"));
    SearchBox = new QComboBox;
    SearchBox->setObjectName(QStringLiteral("SearchBox"));
    SearchBox->setEditable(true);
    SearchBox->setInsertPolicy(QComboBox::NoInsert);
    SearchBox->setMaxCount(kHistorySize);
    SearchBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ReplaceBox = new QLineEdit;
    ReplaceBox->setObjectName(QStringLiteral("ReplaceBox"));
    MatchCase = new QCheckBox(QStringLiteral("大文字と小文字を区別する"));
    FoldWidth = new QCheckBox(QStringLiteral("全角と半角を区別しない"));
    FoldWidth->setChecked(true);
    FoldKana = new QCheckBox(QStringLiteral("ひらがなとカタカナを区別しない"));
    Regex = new QCheckBox(QStringLiteral("正規表現"));
    ScopeBox = new QComboBox;
    ScopeBox->setObjectName(QStringLiteral("ScopeBox"));
    ScopeBox->addItems({QStringLiteral("このノード"), QStringLiteral("すべてのノード"), QStringLiteral("選択したノード以下")});
    ScopeBox->setCurrentIndex(1);
    TargetBox = new QComboBox;
    TargetBox->setObjectName(QStringLiteral("TargetBox"));
    TargetBox->addItems({QStringLiteral("本文"), QStringLiteral("ノード名"), QStringLiteral("両方")});
    NextButton = new QPushButton(QStringLiteral("次へ"));
    PrevButton = new QPushButton(QStringLiteral("前へ"));
    ReplaceButton = new QPushButton(QStringLiteral("置換"));
    ReplaceAllButton = new QPushButton(QStringLiteral("すべて置換"));
    CountLabel = new QLabel;
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    NoteLabel = new QLabel;
    NoteLabel->setObjectName(QStringLiteral("NoteLabel"));
    NoteLabel->setWordWrap(true);
    ResultList = new QListView;
    ResultList->setObjectName(QStringLiteral("ResultList"));
    // Rows are never measured one by one: a list of a million hits costs what a page does.
    ResultList->setUniformItemSizes(true);
    ResultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model_ = new TFindResultModel(this);
    ResultList->setModel(model_);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->addWidget(new QLabel(QStringLiteral("検索する文字列:")), 0, 0);
    grid->addWidget(SearchBox, 0, 1);
    grid->addWidget(NextButton, 0, 2);
    grid->addWidget(PrevButton, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("置換後の文字列:")), 1, 0);
    grid->addWidget(ReplaceBox, 1, 1);
    grid->addWidget(ReplaceButton, 1, 2);
    grid->addWidget(ReplaceAllButton, 1, 3);
    auto* options = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(MatchCase), static_cast<QWidget*>(FoldWidth),
                       static_cast<QWidget*>(FoldKana), static_cast<QWidget*>(Regex)})
        options->addWidget(w);
    options->addStretch();
    grid->addLayout(options, 2, 0, 1, 4);
    // Where and what on a line of their own, with the count and the note after them.
    auto* status = new QHBoxLayout;
    status->addWidget(new QLabel(QStringLiteral("範囲:")));
    status->addWidget(ScopeBox);
    status->addWidget(new QLabel(QStringLiteral("対象:")));
    status->addWidget(TargetBox);
    status->addSpacing(12);
    status->addWidget(CountLabel);
    status->addWidget(NoteLabel, 1);
    grid->addLayout(status, 3, 0, 1, 4);
    grid->addWidget(ResultList, 4, 0, 1, 4);

    connect(SearchBox, &QComboBox::editTextChanged, this, [this] { emit searchRequested(); });
    for (QCheckBox* box : {MatchCase, FoldWidth, FoldKana, Regex})
        connect(box, &QCheckBox::toggled, this, [this] { emit searchRequested(); });
    for (QComboBox* box : {ScopeBox, TargetBox})
        connect(box, &QComboBox::currentIndexChanged, this, [this] { emit searchRequested(); });
    connect(ResultList, &QListView::activated, this, [this](const QModelIndex& index) { emit hitActivated(index.row()); });
    connect(NextButton, &QPushButton::clicked, this, [this] { emit nextRequested(); });
    connect(PrevButton, &QPushButton::clicked, this, [this] { emit previousRequested(); });
    connect(ReplaceButton, &QPushButton::clicked, this, [this] { emit replaceRequested(); });
    connect(ReplaceAllButton, &QPushButton::clicked, this, [this] { emit replaceAllRequested(); });
    connect(SearchBox->lineEdit(), &QLineEdit::returnPressed, this, [this] { emit nextRequested(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] { emit closeRequested(); });
}

TFindPanel::~TFindPanel()
{
    StopWorker();
}

std::string TFindPanel::Pattern() const
{
    return SearchBox->currentText().toStdString();
}

document::FindOptions TFindPanel::Options() const
{
    return {MatchCase->isChecked(), FoldWidth->isChecked(), FoldKana->isChecked(), Regex->isChecked()};
}

document::FindScope TFindPanel::Scope() const
{
    return static_cast<document::FindScope>(ScopeBox->currentIndex());
}

document::FindTarget TFindPanel::Target() const
{
    return static_cast<document::FindTarget>(TargetBox->currentIndex());
}

void TFindPanel::StopWorker()
{
    if (job_)
        job_->cancel = true;
    if (worker_.joinable())
        worker_.join();
}

void TFindPanel::Search(std::shared_ptr<const std::vector<FindSource>> sources)
{
    StopWorker();
    job_.reset();
    current_ = -1;
    matcher_ = std::make_shared<const document::Matcher>(Pattern(), Options());
    sources_ = std::move(sources);
    if (!matcher_->Valid()) {
        // An empty search text finds nothing; a refused pattern says why, here and not in a dialog.
        ShowResult(std::make_shared<FindResult>());
        SetNote(matcher_->Error().empty() ? QString()
                                          : QStringLiteral("正規表現に誤りがあります: %1").arg(QString::fromStdString(matcher_->Error())));
        if (matcher_->Error().empty())
            CountLabel->clear();
        return;
    }
    // The list keeps the last search's hits until this one has found some: typing a word
    // letter by letter does not blank it at every key.
    result_ = std::make_shared<FindResult>();
    CountLabel->setText(QStringLiteral("検索しています…"));
    SetNote({});
    auto job = std::make_shared<Job>();
    job_ = job;
    worker_ = std::thread([this, job, matcher = matcher_, sources = sources_, target = Target(),
                           interval = batchInterval_] {
        // Each batch is taken by an event of its own, in the order they were found.
        document::FindInBatches(*matcher, *sources, target, interval, [&](FindResult batch, bool last) {
            {
                const std::lock_guard lock(job->mutex);
                job->batches.emplace_back(std::move(batch), last);
            }
            QMetaObject::invokeMethod(this, [this, job] {
                if (job == job_)
                    TakeBatch();
            }, Qt::QueuedConnection);
        }, &job->cancel);
    });
}

void TFindPanel::FinishSearch()
{
    if (worker_.joinable())
        worker_.join();
    while (TakeBatch()) {
    }
    job_.reset();
}

bool TFindPanel::TakeBatch()
{
    if (!job_)
        return false;
    std::pair<FindResult, bool> batch;
    {
        const std::lock_guard lock(job_->mutex);
        if (job_->batches.empty())
            return false;
        batch = std::move(job_->batches.front());
        job_->batches.pop_front();
    }
    const bool grewFromEnd = model_->Shows(result_.get()) && model_->rowCount() >= TFindResultModel::kEagerRows;
    result_->hits.Append(std::move(batch.first.hits));
    result_->nodes += batch.first.nodes;
    if (batch.second) {
        if (worker_.joinable())
            worker_.join();
        job_.reset();
    }
    if (!model_->Shows(result_.get())) {
        model_->SetResult(sources_, result_);
    } else {
        model_->Grown();
        // A list scrolled to its end takes the new rows at once, as scrolling there would.
        const QScrollBar* bar = ResultList->verticalScrollBar();
        if (grewFromEnd && bar->maximum() > 0 && bar->value() == bar->maximum())
            model_->fetchMore({});
    }
    ShowCount();
    return true;
}

void TFindPanel::ShowResult(std::shared_ptr<FindResult> result)
{
    result_ = std::move(result);
    model_->SetResult(sources_, result_);
    ShowCount();
}

void TFindPanel::ShowCount()
{
    const QString count = QString::fromStdString(document::CountText(*result_));
    CountLabel->setText(job_ ? count + QStringLiteral(" 検索しています…") : count);
}

void TFindPanel::Clear()
{
    StopWorker();
    job_.reset();
    current_ = -1;
    result_.reset();
    sources_.reset();
    model_->SetResult(nullptr, nullptr);
    CountLabel->clear();
}

void TFindPanel::SetCurrent(int index)
{
    current_ = index;
    if (index >= 0) {
        model_->ShowUpTo(index);
        const QModelIndex row = model_->index(index);
        ResultList->setCurrentIndex(row);
        ResultList->scrollTo(row);
    }
}

void TFindPanel::HitReplaced(int index, std::ptrdiff_t delta, std::shared_ptr<const std::string> text, std::string name)
{
    auto sources = std::make_shared<std::vector<FindSource>>(*sources_);
    auto result = std::make_shared<FindResult>(*result_);
    const document::FindHit replaced = result->hits[static_cast<std::size_t>(index)];
    (*sources)[replaced.source].text = std::move(text);
    (*sources)[replaced.source].name = std::move(name);
    result->hits.erase(result->hits.begin() + index);
    for (auto it = result->hits.begin() + index; it != result->hits.end(); ++it) {
        if (it->source != replaced.source || it->field != replaced.field)
            break;
        it->range.start = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(it->range.start) + delta);
    }
    const bool nodeStillHit = std::any_of(result->hits.begin(), result->hits.end(),
                                          [&](const document::FindHit& h) { return h.source == replaced.source; });
    if (!nodeStillHit)
        --result->nodes;
    sources_ = std::move(sources);
    ShowResult(std::move(result));
}

void TFindPanel::SetNote(const QString& note)
{
    NoteLabel->setText(note);
}

void TFindPanel::RememberQuery()
{
    const QString query = SearchBox->currentText();
    if (query.isEmpty())
        return;
    const QSignalBlocker quiet(SearchBox);
    const int at = SearchBox->findText(query, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at == 0)
        return;
    if (at > 0)
        SearchBox->removeItem(at);
    if (SearchBox->count() >= kHistorySize)
        SearchBox->removeItem(SearchBox->count() - 1);  // the combo box takes no more than its maximum
    SearchBox->insertItem(0, query);
    SearchBox->setCurrentIndex(0);
    SearchBox->setEditText(query);
}
