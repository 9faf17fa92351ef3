// The find and replace panel below the editor: the search text with its history, the
// replacement, the options, the count and the list of hits. It searches on a worker thread
// over a copy of the nodes the window hands it (names and shared texts), so typing never
// waits for a search; a new search cancels the one running. What the hits are acted on
// (showing one, replacing) is the window's part.
#pragma once

#include "document/Matcher.h"

#include <QAbstractListModel>
#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

// The hits as a list: a row is made only when the view shows it, so a million hits cost
// nothing until they are looked at.
class TFindResultModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    void SetResult(std::shared_ptr<const std::vector<document::FindSource>> sources,
                   std::shared_ptr<const document::FindResult> result);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const std::vector<document::FindSource>> sources_;
    std::shared_ptr<const document::FindResult> result_;
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
    void Search(std::vector<document::FindSource> sources);
    // Waits for the running search and shows what it found.
    void FinishSearch();
    // Forgets the hits (the nodes they name may be gone).
    void Clear();
    bool HasResult() const { return result_ != nullptr; }
    // True from the start of a search until its result is shown (the last one stays shown).
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
        std::shared_ptr<const document::FindResult> result;  // set by the worker before it ends
    };

    void StopWorker();
    // Shows the finished job's result, once.
    void TakeResult();
    void ShowResult(std::shared_ptr<const document::FindResult> result);
    // The first hits of a search still running.
    void ShowPage(std::shared_ptr<const document::FindResult> page);

    TFindResultModel* model_ = nullptr;
    std::shared_ptr<const document::Matcher> matcher_;
    std::shared_ptr<const std::vector<document::FindSource>> sources_;
    std::shared_ptr<const document::FindResult> result_;
    std::thread worker_;
    std::shared_ptr<Job> job_;
    int current_ = -1;
};
