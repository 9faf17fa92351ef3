// Find and replace in the window: the four commands of the 編集 menu, the panel below the
// editor and what its hits do (show the node and the hit, replace).
#include "app/DocumentModel.h"
#include "app/FindPanel.h"
#include "app/MainWindow.h"
#include "app/MenuItemLink.h"

#include <QAction>
#include <QDockWidget>
#include <QLineEdit>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QTreeView>

using document::TreeNode;

void TForm1::CreateFindActions()
{
    struct Entry {
        QAction* TForm1::*member;
        const char* name;
        const char* caption;
        QKeySequence shortcut;
        void (TForm1::*execute)(QAction*);
    };
    const Entry entries[] = {
        {&TForm1::actFind, "actFind", "検索(&F)...", QKeySequence(Qt::CTRL | Qt::Key_F), &TForm1::actFindExecute},
        {&TForm1::actFindNext, "actFindNext", "次を検索(&N)", QKeySequence(Qt::Key_F3), &TForm1::actFindNextExecute},
        {&TForm1::actFindPrev, "actFindPrev", "前を検索(&V)", QKeySequence(Qt::SHIFT | Qt::Key_F3),
         &TForm1::actFindNextExecute},
        {&TForm1::actReplace, "actReplace", "置換(&R)...", QKeySequence(Qt::CTRL | Qt::Key_H), &TForm1::actFindExecute},
    };
    for (const Entry& entry : entries) {
        QAction* action = NewAction(entry.name, "編集", entry.caption, entry.execute);
        action->setShortcut(entry.shortcut);
        this->*entry.member = action;
        FFindActions.append(action);
        addAction(action);
    }

    FindPanel1 = new TFindPanel;
    FindDock = new QDockWidget(QStringLiteral("検索と置換"), this);
    FindDock->setObjectName(QStringLiteral("FindDock"));
    FindDock->setFeatures(QDockWidget::DockWidgetClosable);
    FindDock->setWidget(FindPanel1);
    addDockWidget(Qt::BottomDockWidgetArea, FindDock);
    FindDock->hide();

    connect(FindPanel1, &TFindPanel::searchRequested, this, [this] { RunCommand([this] { StartSearch(); }); });
    connect(FindPanel1, &TFindPanel::hitActivated, this, [this](int index) {
        RunCommand([&] {
            FindPanel1->RememberQuery();
            ShowHit(index);
        });
    });
    connect(FindPanel1, &TFindPanel::nextRequested, this, [this] { RunCommand([this] { StepHit(+1); }); });
    connect(FindPanel1, &TFindPanel::previousRequested, this, [this] { RunCommand([this] { StepHit(-1); }); });
    connect(FindPanel1, &TFindPanel::replaceRequested, this, [this] { RunCommand([this] { ReplaceCurrentHit(); }); });
    connect(FindPanel1, &TFindPanel::replaceAllRequested, this, [this] { RunCommand([this] { ReplaceAllHits(); }); });
    connect(FindPanel1, &TFindPanel::closeRequested, this, [this] {
        FindDock->hide();
        Memo1->setFocus();
    });
    // Any change the tree model shows (a node added, renamed or moved) is a change of the nodes
    // searched, also when it comes from outside the window's commands.
    connect(FModel, &QAbstractItemModel::rowsInserted, this, [this] { ++FDocumentRevision; });
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, [this] { ++FDocumentRevision; });
    connect(FModel, &QAbstractItemModel::rowsMoved, this, [this] { ++FDocumentRevision; });
    connect(FModel, &QAbstractItemModel::dataChanged, this, [this] { ++FDocumentRevision; });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { ++FDocumentRevision; });
    // The hits name nodes: when nodes go or the whole tree is replaced, they are searched anew.
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, [this] { RefreshSearch(); });
    connect(FModel, &QAbstractItemModel::rowsMoved, this, [this] { RefreshSearch(); });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { RefreshSearch(); });
}

void TForm1::RefreshSearch()
{
    FindPanel1->Clear();
    // Searched again once the change that removed or replaced nodes is over.
    if (FindDock->isVisible())
        QMetaObject::invokeMethod(this, [this] {
            if (FindDock->isVisible() && !FindPanel1->HasResult())
                RunCommand([this] { StartSearch(); });
        }, Qt::QueuedConnection);
}

void TForm1::actFindExecute(QAction* Sender)
{
    FindDock->show();
    // A selection of one line is what the user most likely wants to find.
    const QString selected = Memo1->textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator) && selected.size() < 200)
        FindPanel1->SearchBox->setEditText(selected);
    if (Sender == actReplace) {
        FindPanel1->ReplaceBox->setFocus();
        FindPanel1->ReplaceBox->selectAll();
    } else {
        FindPanel1->SearchBox->setFocus();
        FindPanel1->SearchBox->lineEdit()->selectAll();
    }
    if (!FindPanel1->HasResult())
        StartSearch();
}

void TForm1::actFindNextExecute(QAction* Sender)
{
    if (FindPanel1->SearchBox->currentText().isEmpty()) {
        actFindExecute(actFind);
        return;
    }
    StepHit(Sender == actFindPrev ? -1 : +1);
}

void TForm1::StartSearch()
{
    const document::FindScope scope = FindPanel1->Scope();
    TreeNode* selected = Selected();
    const TreeNode* top = scope == document::FindScope::allNodes || !selected ? &Document().Root() : selected;
    if (!FFindSources.sources || FFindSources.revision != FDocumentRevision || FFindSources.scope != scope ||
        FFindSources.top != top)
        FFindSources = {FDocumentRevision, scope, top,
                        std::make_shared<const std::vector<document::FindSource>>(
                            document::SourcesInScope(Document(), selected, scope))};
    FindPanel1->Search(FFindSources.sources);
}

void TForm1::StepHit(int direction)
{
    if (!FindPanel1->HasResult())
        StartSearch();
    FindPanel1->FinishSearch();
    FindPanel1->RememberQuery();
    const auto& hits = FindPanel1->Result().hits;
    if (hits.empty())
        return;
    const int count = static_cast<int>(hits.size());
    int next = FindPanel1->Current();
    if (next < 0) {
        // From the shown node's caret: the first hit after it, in tree order.
        const auto& sources = FindPanel1->Sources();
        std::size_t shown = sources.size();
        for (std::size_t i = 0; i < sources.size(); ++i)
            if (sources[i].node == FShownNode) {
                shown = i;
                break;
            }
        const std::size_t caret =
            FShownNode ? document::StoredOffsetOfEditorPosition(FShownNode->Data().Text(), Memo1->Selection().start) : 0;
        auto after = [&](const document::FindHit& h) {
            if (h.source != shown)
                return h.source > shown;
            return h.field == document::HitField::text && h.range.start >= caret;
        };
        next = direction > 0 ? 0 : count - 1;
        if (direction > 0) {
            for (int i = 0; i < count; ++i)
                if (after(hits[static_cast<std::size_t>(i)])) {
                    next = i;
                    break;
                }
        } else {
            for (int i = count - 1; i >= 0; --i)
                if (!after(hits[static_cast<std::size_t>(i)])) {
                    next = i;
                    break;
                }
        }
        FindPanel1->SetNote({});
    } else {
        next += direction;
        if (next >= count) {
            next = 0;
            FindPanel1->SetNote(QStringLiteral("最後まで検索したので、最初に戻りました"));
        } else if (next < 0) {
            next = count - 1;
            FindPanel1->SetNote(QStringLiteral("先頭まで検索したので、最後に戻りました"));
        } else {
            FindPanel1->SetNote({});
        }
    }
    ShowHit(next);
}

void TForm1::ShowHit(int index)
{
    FindPanel1->FinishSearch();
    if (!FindPanel1->HasResult() || index < 0 || index >= static_cast<int>(FindPanel1->Result().hits.size()))
        return;
    const document::FindHit& hit = FindPanel1->Result().hits[static_cast<std::size_t>(index)];
    const document::FindSource& source = FindPanel1->Sources()[hit.source];
    auto* node = const_cast<TreeNode*>(source.node);
    FindPanel1->SetCurrent(index);
    SelectNode(node);
    TreeView1->scrollTo(FModel->IndexOf(node));
    if (hit.field != document::HitField::text)
        return;
    if (node->Data().SharedText() != source.text) {
        // The text changed since it was searched: search again rather than show a wrong place.
        FindPanel1->SetNote(QStringLiteral("本文が変わったため、検索し直しました"));
        StartSearch();
        return;
    }
    const document::HitPlace place = document::PlaceOfHit(*source.text, hit.range);
    Memo1->Select({place.editorStart, place.editorLength});
    Memo1->ensureCursorVisible();
}

void TForm1::ReplaceCurrentHit()
{
    FindPanel1->FinishSearch();
    const int index = FindPanel1->Current();
    if (!FindPanel1->HasResult() || index < 0) {
        StepHit(+1);
        return;
    }
    const document::FindHit hit = FindPanel1->Result().hits[static_cast<std::size_t>(index)];
    const document::FindSource& source = FindPanel1->Sources()[hit.source];
    auto* node = const_cast<TreeNode*>(source.node);
    const std::string replacement = FindPanel1->ReplaceBox->text().toStdString();
    const std::size_t before = hit.field == document::HitField::name ? node->Name().size() : node->Data().Text().size();
    const std::string oldName = node->Name();
    const std::shared_ptr<const std::string> oldText = node->Data().SharedText();
    const document::TextSelection oldCaret{node->Data().SelStart, node->Data().SelLength};
    if (!document::ReplaceHit(*node, hit.field, hit.range, *FindPanel1->CurrentMatcher(), replacement)) {
        FindPanel1->SetNote(QStringLiteral("文書が変わったため、検索し直しました"));
        StartSearch();
        return;
    }
    const std::size_t after = hit.field == document::HitField::name ? node->Name().size() : node->Data().Text().size();
    if (hit.field == document::HitField::name) {
        if (node->Name() != oldName)
            RecordChange(document::NodeRename{document::PathOf(*node), oldName, node->Name()});
    }
    else
        RecordTextEdit(*node, oldText, oldCaret);
    SetModified(true);
    if (node == FShownNode && hit.field == document::HitField::text)
        ShowNodeText(node);
    TreeView1->viewport()->update();
    FindPanel1->HitReplaced(index, static_cast<std::ptrdiff_t>(after) - static_cast<std::ptrdiff_t>(before),
                            node->Data().SharedText(), node->Name());
    FindPanel1->SetNote(QStringLiteral("1 件置換しました"));
    // The next hit now has the replaced one's place in the list.
    FindPanel1->SetCurrent(index - 1);
    if (index < static_cast<int>(FindPanel1->Result().hits.size()))
        ShowHit(index);
}

void TForm1::ReplaceAllHits()
{
    FindPanel1->FinishSearch();
    const auto matcher = std::make_shared<const document::Matcher>(FindPanel1->Pattern(), FindPanel1->Options());
    const document::ContentSnapshot before(*FRootNode);
    const std::size_t count =
        document::ReplaceAllInTree(Document(), Selected(), FindPanel1->Scope(), FindPanel1->Target(), *matcher,
                                   FindPanel1->ReplaceBox->text().toStdString());
    if (count > 0) {
        // One step, however many nodes it changed.
        const document::EditHistory::Group step(History());
        for (document::TreeChange& change : before.ChangesSince(*FRootNode))
            RecordChange(std::move(change));
        SetModified(true);
        if (FShownNode)
            ShowNodeText(FShownNode);
        TreeView1->viewport()->update();
    }
    FindPanel1->RememberQuery();
    StartSearch();
    FindPanel1->SetNote(QStringLiteral("%1 件置換しました").arg(count));
}
