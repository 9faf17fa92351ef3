// The find and replace panel below the editor: the search text with its history, the
// replacement, the options, the count and the list of hits. It searches on a worker thread
// over a copy of the nodes the window hands it (names and shared texts), so typing never
// waits for a search; a new search cancels the one running, and the list grows as the
// worker hands on what it found. What the hits are acted on (showing one, replacing) is the
// window's part.
#pragma once

#include "document/Matcher.h"

#include <QAbstractListModel>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

// The hits as a list: a row's text is made only when the view shows it, and the rows
// themselves come a thousand at a time as the list is scrolled to its end (fetchMore), so a
// million hits cost nothing until they are looked at. Row i is hit i of the result.
class TFindResultModel : public QAbstractListModel {
public:
    // Rows added as hits come while the list is shorter; after that, as it is scrolled.
    static constexpr int kEagerRows = 1000;
    static constexpr int kFetchRows = 1000;

    using QAbstractListModel::QAbstractListModel;
    void SetResult(std::shared_ptr<const std::vector<document::FindSource>> sources,
                   std::shared_ptr<const document::FindResult> result);
    bool Shows(const document::FindResult* result) const { return result_.get() == result; }
    // The result shown got more hits at its end.
    void Grown();
    // Adds the rows up to row, when it is a hit not shown yet.
    void ShowUpTo(int row);
    int rowCount(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    int Hits() const;
    void AddRows(int count);

    std::shared_ptr<const std::vector<document::FindSource>> sources_;
    std::shared_ptr<const document::FindResult> result_;
    int rows_ = 0;
};

class TFindPanel : public QWidget {
    Q_OBJECT
public:
    explicit TFindPanel(QWidget* parent = nullptr);
    ~TFindPanel() override;

    QComboBox* SearchBox = nullptr;  // editable, the last 20 searches below
    QLineEdit* ReplaceBox = nullptr;
    QCheckBox* MatchCase = nullptr;
    QCheckBox* FoldWidth = nullptr;
    QCheckBox* FoldKana = nullptr;
    QCheckBox* Regex = nullptr;
    QComboBox* ScopeBox = nullptr;
    QComboBox* TargetBox = nullptr;
    QLabel* CountLabel = nullptr;
    QLabel* NoteLabel = nullptr;
    QListView* ResultList = nullptr;
    QPushButton* NextButton = nullptr;
    QPushButton* PrevButton = nullptr;
    QPushButton* ReplaceButton = nullptr;
    QPushButton* ReplaceAllButton = nullptr;

    std::string Pattern() const;
    document::FindOptions Options() const;
    document::FindScope Scope() const;
    document::FindTarget Target() const;
    std::shared_ptr<const document::Matcher> CurrentMatcher() const { return matcher_; }

    // Starts searching sources with the panel's query; the running search is cancelled.
    // The sources are shared, not copied: the window keeps them while the document is unchanged.
    void Search(std::shared_ptr<const std::vector<document::FindSource>> sources);
    // Waits for the running search and shows what it found.
    void FinishSearch();
    // The longest the worker keeps hits before handing them on (the first ones go at once).
    void SetBatchInterval(std::chrono::milliseconds interval) { batchInterval_ = interval; }
    // Forgets the hits (the nodes they name may be gone).
    void Clear();
    // True from the start of a search on; while it runs, the result holds the hits found so far.
    bool HasResult() const { return result_ != nullptr; }
    // True from the start of a search until all its hits are shown.
    bool Searching() const { return job_ != nullptr; }

    const document::FindResult& Result() const { return *result_; }
    const std::vector<document::FindSource>& Sources() const { return *sources_; }
    int Current() const { return current_; }
    void SetCurrent(int index);
    // One hit was replaced: it leaves the list, the later hits of the same text move by
    // delta bytes, and the copy of the node takes its new text or name.
    void HitReplaced(int index, std::ptrdiff_t delta, std::shared_ptr<const std::string> text, std::string name);
    void SetNote(const QString& note);
    // Puts the search text at the top of the history (20 at most).
    void RememberQuery();

signals:
    void searchRequested();
    void hitActivated(int index);
    void nextRequested();
    void previousRequested();
    void replaceRequested();
    void replaceAllRequested();
    void closeRequested();

private:
    struct Job {
        std::atomic<bool> cancel{false};
        std::mutex mutex;
        // Batches the worker handed on and the window has not taken yet; true marks the last.
        std::deque<std::pair<document::FindResult, bool>> batches;
    };

    void StopWorker();
    // Adds the running job's oldest batch to the result; false when there was none.
    bool TakeBatch();
    void ShowResult(std::shared_ptr<document::FindResult> result);
    void ShowCount();

    TFindResultModel* model_ = nullptr;
    std::shared_ptr<const document::Matcher> matcher_;
    std::shared_ptr<const std::vector<document::FindSource>> sources_;
    std::shared_ptr<document::FindResult> result_;
    std::thread worker_;
    std::shared_ptr<Job> job_;
    std::chrono::milliseconds batchInterval_{50};
    int current_ = -1;
};
