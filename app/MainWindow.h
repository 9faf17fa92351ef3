// The main window: the tree pane, the splitter, the editor, the menus and every command.
// It shows the document tree (owned here, plain C++) through TDocumentModel and exchanges
// the selected node's text with the editor.
//
// Editor text reaches the payload lazily: a change only marks the shown node's payload
// stale (copying a large text on every keystroke would make typing slow). The stale text is
// stored by StoreEditorText before anything else can read payloads: before another node is
// shown, and before every command and event handler of the window, all of which run through
// RunCommand. Code outside the window that reads payloads calls StoreEditorText first.
#pragma once

#include "document/DocumentSession.h"
#include "document/RecoveryStore.h"
#include "document/DocumentTree.h"
#include "document/Matcher.h"
#include "app/FormStartup.h"
#include "app/NodeTextEdit.h"
#include "document/TextPositions.h"
#include "app/TreeNodeView.h"
#include "document/TreeRules.h"
#include "forms/ErrorGuard.h"
#include "forms/FormBase.h"
#include "settings/HxHistoryMenuBinding.h"
#include "settings/HxRegIniDlg.h"
#include "settings/Preferences.h"
#include "xml/nanxml.h"

#include <QFont>
#include <QList>
#include <QMainWindow>
#include <QPersistentModelIndex>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QFileDialog;
class QMenu;
class QMenuBar;
class QSplitter;
class TDocumentModel;

class TRecoveryWriter;
class QDockWidget;
class TFindPanel;
class QTimer;
class TWindowTreeEditor;

class TForm1 : public THxVistaForm<QMainWindow> {
    Q_OBJECT
public:
    explicit TForm1(TFormStartup startup = {});
    ~TForm1() override;

    // Components.
    TTreeNodeView* TreeView1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    TNodeTextEdit* Memo1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* mnuHistory = nullptr;
    // The file-open dialog of actOpen and actOpenText; each sets its filter before showing it.
    QFileDialog* OpenDialog1 = nullptr;
    // The actions in their catalogue order; each carries its "category" as a property.
    QList<QAction*> ActionList1;
    QActionGroup* EncodingGroup = nullptr;

    QAction* actNew = nullptr;
    QAction* actOpen = nullptr;
    QAction* actSaveAs = nullptr;
    QAction* actAddChild = nullptr;
    QAction* actAddSibling = nullptr;
    QAction* actEditName = nullptr;
    QAction* actSave = nullptr;
    QAction* actDelete = nullptr;
    QAction* actNext = nullptr;
    QAction* actPrev = nullptr;
    QAction* actFont = nullptr;
    QAction* actWrap = nullptr;
    QAction* actAbout = nullptr;
    QAction* actSelectAll = nullptr;
    QAction* actOpenText = nullptr;
    QAction* actExit = nullptr;
    QAction* actExportText = nullptr;
    QAction* actCodeSJIS = nullptr;
    QAction* actCodeUTF8 = nullptr;
    QAction* actWebsite = nullptr;
    QAction* actIniStyle = nullptr;
    QAction* actFontTree = nullptr;
    QAction* actDateTime = nullptr;
    // Find and replace (MainWindowFind.cpp); not in ActionList1, the catalogue above.
    QAction* actFind = nullptr;
    QAction* actFindNext = nullptr;
    QAction* actFindPrev = nullptr;
    QAction* actReplace = nullptr;
    // Undo, redo and the editor's clipboard commands (MainWindowUndo.cpp); not in ActionList1.
    QAction* actUndo = nullptr;
    QAction* actRedo = nullptr;
    QAction* actCut = nullptr;
    QAction* actCopy = nullptr;
    QAction* actPaste = nullptr;
    QDockWidget* FindDock = nullptr;
    TFindPanel* FindPanel1 = nullptr;

    // The document.
    document::DocumentTree& Document() { return FSession.Tree(); }
    TDocumentModel& Model() { return *FModel; }
    document::TreeNode* RootNode() const { return FRootNode; }
    document::EditHistory& History() { return FSession.History(); }
    bool Modified() const { return FSession.Modified(); }
    document::TreeNode* Selected() const;

    // Replaces the document by tree, expands the nodes whose flag says so and shows
    // selected (the root when null). Not an edit: the modified flag is left to the caller.
    void SetDocument(document::DocumentTree tree, document::TreeNode* selected);
    void NewDocument();
    void SetFileName(const QString& fileName);
    void SetModified(bool flag);
    // Selects node, expanding its ancestors so that it can be seen.
    void SelectNode(document::TreeNode* node);
    // Expands every node that has children, in the flags and in the view.
    // Returns the nodes it opened.
    std::vector<document::TreeNode*> ExpandAllNodes();

    // Stores pending editor text and its caret into the shown node's payload.
    void StoreEditorText();

    // Tree and editor exchange.
    void TreeView1Change();
    void Memo1Change();
    void TreeView1Edited(document::TreeNode* node, const std::string& oldName);
    void TreeView1KeyDown(int key);
    void TreeView1ContextMenu(const QPoint& position);
    // Drag and drop inside the tree: X and Y in the tree's viewport; true accepts a drop.
    bool TreeView1DragOver(QObject* Source, int X, int Y);
    void TreeView1DragDrop(QObject* Source);
    void DrawDropMark(document::TreeNode* node, document::TDropPosition position);
    // Sets the editor's word wrap and scroll bars from actWrap's check state.
    void ApplyWordWrap();

    // The questions and the font choice of the commands, by default the real dialogs;
    // tests answer them here.
    std::function<int(const QString&, forms::TMsgDlgType, forms::TMsgDlgButtons)> MessageDlg =
        [](const QString& message, forms::TMsgDlgType type, forms::TMsgDlgButtons buttons) {
            return VistaMessageDlg(message, type, buttons);
        };
    std::function<std::optional<QFont>(const QFont& initial)> ChooseFont = [this](const QFont& initial) {
        return RunFontDialog(initial);
    };
    void ApplicationEvents1Idle();

    // Runs a command or event handler: pending editor text is stored first and after, and an
    // exception ends in the general error display.
    template <class F>
    void RunCommand(F&& body);

    // Execute handlers; one handler may serve two actions and tells them apart by Sender.
    void actNewExecute(QAction* Sender);
    void actOpenExecute(QAction* Sender);
    void actSaveAsExecute(QAction* Sender);
    void actAddChildExecute(QAction* Sender);
    void actEditNameExecute(QAction* Sender);
    void actSaveExecute(QAction* Sender);
    void actDeleteExecute(QAction* Sender);
    void actNextExecute(QAction* Sender);
    void actFontExecute(QAction* Sender);
    void actWrapExecute(QAction* Sender);
    void actAboutExecute(QAction* Sender);
    void actSelectAllExecute(QAction* Sender);
    void actOpenTextExecute(QAction* Sender);
    void actExitExecute(QAction* Sender);
    void actExportTextExecute(QAction* Sender);
    void actCodeSJISExecute(QAction* Sender);
    void actWebsiteExecute(QAction* Sender);
    void actIniStyleExecute(QAction* Sender);
    void actFontTreeExecute(QAction* Sender);
    void actDateTimeExecute(QAction* Sender);
    void actUndoExecute(QAction* Sender);
    void actCutExecute(QAction* Sender);
    void actFindExecute(QAction* Sender);
    void actFindNextExecute(QAction* Sender);
    // Shows hit number index of the panel's list: its node selected, the hit selected in the
    // editor. StepHit goes to the next (+1) or previous (-1) hit, wrapping at the ends.
    void ShowHit(int index);
    void StepHit(int direction);
    void ReplaceCurrentHit();
    void ReplaceAllHits();

    // Update handlers, run at idle time.
    void actAddSiblingUpdate(QAction* Sender);
    void actDeleteUpdate(QAction* Sender);
    void actNextUpdate(QAction* Sender);
    void actSelectAllUpdate(QAction* Sender);
    void actOpenTextUpdate(QAction* Sender);
    void actCodeSJISUpdate(QAction* Sender);
    void actUndoUpdate(QAction* Sender);
    void actCutUpdate(QAction* Sender);

    void File1Click();
    void PopupMenu1Popup();
    void popDeleteClick(QAction* Sender);
    void FormCloseQuery(bool& CanClose);

    // The document's life (MainWindowFile.cpp).
    QFileDialog* SaveDialog1 = nullptr;
    // How the document's file dialogs are run, exec() by default; tests answer them here.
    static int ExecFileDialog(QFileDialog& dialog);
    std::function<int(QFileDialog&)> RunFileDialog = &TForm1::ExecFileDialog;
    // The storage dialog of actIniStyle; tests answer it here.
    std::function<bool(const QString& keyText, std::optional<settings::THxIniStyle>& kind)> StorageDialog =
        [this](const QString& keyText, std::optional<settings::THxIniStyle>& kind) {
            return THxIniStyleDialog::Execute(this, keyText, kind);
        };
    // Replaces the document by the file's; on failure the new unnamed document remains.
    void OpenDocument(const QString& path);
    // True when the document may be discarded: unmodified, saved, or the user said No.
    bool QuerySaveChanges();
    bool SaveDocument();
    bool SaveDocumentAs();
    void FormDropFiles(const QString& path);
    void HistoryClick(settings::THxHistoryMenu& Sender, const std::string& path);
    settings::THxHistoryFileMenu& HistoryMenu() { return *FHistoryMenu; }
    const THxHistoryMenuBinding& HistoryMenuBinding() const { return *FHistoryMenuBinding; }

    // Remembered settings (MainWindowPreferences.cpp).
    settings::Preferences CurrentPreferences() const;
    void ApplyPreferences(const settings::Preferences& preferences);
    // Returns the document that was being edited.
    QString LoadPreferences();
    void LoadOldPreferences();
    void SavePreferences();

    // Unsaved work kept for a crash (MainWindowRecovery.cpp). The program is being ended from
    // outside (a signal): the recovery copy and the settings are written at once, and the
    // copy stays for the next start.
    void EndFromOutside();

    // The window's position and client size when it was last in normal state.
    QRect NormalBounds() const;
    QString FileName() const;
    nanxml::TDocumentEncoding Encoding() const { return FSession.Encoding(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TWindowTreeEditor;
    void CreateWindowParts();
    void ReleaseTree();
    void CreateSaveDialog();
    void CreateRecovery();
    document::TRecoveryRecord RecoveryRecord() const;
    // Offers the copies that gone processes left: all of them, or those of one file.
    void OfferRecovery(const std::optional<std::string>& forPath);
    bool RestoreRecovery(const document::TRecoveryCopy& copy);
    // True when the user took the backup's contents as the document.
    bool OfferInterruptedSaveBackup(const QString& path, const std::string& backup);
    void CreateActions();
    void CreateMenus();
    void CreatePopupMenu();
    // An action with its caption, name and category whose trigger runs execute as a command.
    QAction* NewAction(const char* name, const char* category, const char* caption,
                       void (TForm1::*execute)(QAction*));
    void CreateFindActions();
    void CreateUndoActions();
    void ShowEditorContextMenu(const QPoint& position);
    bool IsEditorShortcut(const QKeyCombination& key) const;
    // A caret jump in the editor, which ends a run of typing as a step.
    bool EndsTypingStep(QObject* watched, QEvent* event) const;
    void RecordChange(document::TreeChange change);
    void RecordTextEdit(document::TreeNode& node, const std::shared_ptr<const std::string>& before,
                        document::TextSelection caretBefore);
    // The modified flag after an undo or redo: set unless the history is at the save point.
    void FollowSavePoint();
    void StartSearch();
    void RefreshSearch();
    void FormCreate();
    QString LoadSettings();
    void OpenFirstDocument(const QString& editingFileName);
    void FormDestroy();
    // Writes the document after the questions the save needs; a failure is shown and gives
    // false.
    bool SaveDocumentTo(const QString& path);
    document::TShiftJisLossAnswer AskShiftJisLoss(std::size_t unmappable);
    bool AskOverwriteChangedFile(const std::string& path);
    void ProposeSaveName();
    void SetEncoding(nanxml::TDocumentEncoding encoding);
    // The caption for the session's file name, encoding and modified flag.
    void ShowCaption();
    // Lets change replace the session's tree while the view shows none, then shows the new
    // tree with the node change returns selected (the root when null), also when it throws.
    void ReplaceDocument(const std::function<document::TreeNode*()>& change);
    void ShowNodeText(document::TreeNode* node);
    void StoreCaret();
    void ForgetNodesUnder(document::TreeNode* node);
    void ApplyExpandedFlags(document::TreeNode& node);
    void MirrorExpanded(const QModelIndex& index, bool expanded);
    bool IsActionShortcut(const QKeyCombination& key) const;
    void ConnectTreeDragDrop();
    std::optional<QFont> RunFontDialog(const QFont& initial);

    TFormStartup FStartup;
    std::unique_ptr<settings::THxHistoryFileMenu> FHistoryMenu;
    std::unique_ptr<THxHistoryMenuBinding> FHistoryMenuBinding;
    int FNormalLeft = 0;
    int FNormalTop = 0;
    int FNormalClientWidth = 0;
    int FNormalClientHeight = 0;

    // The document, its file, encoding and modified flag.
    document::DocumentSession FSession;
    std::unique_ptr<TRecoveryWriter> FRecovery;
    bool FKeepRecovery = false;
    bool FStarting = false;
    document::TreeNode* FRootNode = nullptr;
    TDocumentModel* FModel = nullptr;
    // The node whose text the editor shows, and whether the editor holds changes of it
    // that its payload does not have yet.
    document::TreeNode* FShownNode = nullptr;
    bool FEditorTextPending = false;
    // Ends a run of typing as one step once the user pauses.
    QTimer* FTypingPause = nullptr;
    // The editor's selection when it was last stored into the shown node's payload.
    std::optional<document::TextSelection> FStoredCaret;
    // The subtree being removed, while the view is told of it.
    document::TreeNode* FRemovingNode = nullptr;
    document::TreeNode* FSelectAfterRemoval = nullptr;
    document::TreeNode* FPopupNode = nullptr;
    // The node under the pointer at the last drag-over, and where the dragged node would go.
    QPersistentModelIndex DropTarget;
    document::TDropPosition DropPosition = document::TDropPosition::dpBefore;
    bool FInIdle = false;
    QList<QPair<QAction*, void (TForm1::*)(QAction*)>> FUpdateHandlers;
    QList<QAction*> FItemShortcuts;
    QList<QAction*> FFindActions;
    // Counts the changes of the document (SetModified, a text stored, a tree replaced, a change
    // the tree model shows), so that what depends on its contents can tell whether it is still
    // current. Code that changes names or texts otherwise must count its change here.
    std::uint64_t FDocumentRevision = 0;
    // The nodes last handed to a search, kept while the document is unchanged: typing a
    // search text searches the same nodes at every key, and copying 100,000 of them costs more
    // than the search takes to show its first hits.
    struct TFindSources {
        std::uint64_t revision = 0;
        document::FindScope scope = document::FindScope::allNodes;
        const document::TreeNode* top = nullptr;
        std::shared_ptr<const std::vector<document::FindSource>> sources;
    };
    TFindSources FFindSources;
};

template <class F>
void TForm1::RunCommand(F&& body)
{
    // Stored before and after: the command is a step of its own, apart from any typing.
    Guarded([&] {
        StoreEditorText();
        body();
        StoreEditorText();
    });
}
