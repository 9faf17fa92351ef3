// The main window's life: creating it, start-up (settings, the first document) and
// shut-down (the close query, settings written back).
#include "app/MainWindow.h"
#include "app/RecoveryWriter.h"
#include "settings/HxRegIni.h"
#include "settings/OldPreferences.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSessionManager>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

namespace {

bool IsExistingFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The first local file of a drop; further files are ignored.
QString FirstLocalFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

// Takes the drops of files on the window and on both panes, before the panes' own handling
// (the editor would insert the file's name as text).
class TFileDropFilter : public QObject {
public:
    TFileDropFilter(QObject* parent, std::function<void(const QString&)> open)
        : QObject(parent), open_(std::move(open))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (FirstLocalFile(drag->mimeData()).isEmpty())
                break;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = FirstLocalFile(drop->mimeData());
            if (path.isEmpty())
                break;
            drop->acceptProposedAction();
            open_(path);
            return true;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(const QString&)> open_;
};

}  // namespace

TForm1::TForm1(TFormStartup startup)
    : FStartup(std::move(startup))
{
    CreateWindowParts();
    CreateActions();
    CreateMenus();
    CreatePopupMenu();
    ConnectTreeDragDrop();
    Guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    FormDestroy();
    ReleaseTree();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    bool canClose = false;
    RunCommand([&] { FormCloseQuery(canClose); });
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TForm1::FormCreate()
{
    CreateSaveDialog();

    FHistoryMenu = std::make_unique<settings::THxHistoryFileMenu>();
    FHistoryMenu->OnClick = [this](settings::THxHistoryMenu& sender, const std::string& path) {
        HistoryClick(sender, path);
    };
    FHistoryMenu->AskRemove = [](const std::string& text) {
        return AskRemoveFromHistory(QString::fromStdString(text));
    };
    FHistoryMenuBinding = std::make_unique<THxHistoryMenuBinding>(
        *FHistoryMenu, *mnuHistory, true, [this](const std::function<void()>& body) { RunCommand(body); });

    setAcceptDrops(true);
    auto* drops = new TFileDropFilter(this, [this](const QString& path) { RunCommand([&] { FormDropFiles(path); }); });
    // A drag goes to the nearest widget that takes drops: the window, a pane or its viewport.
    for (QWidget* target : {static_cast<QWidget*>(this), static_cast<QWidget*>(Memo1), Memo1->viewport(),
                            static_cast<QWidget*>(TreeView1), TreeView1->viewport()})
        target->installEventFilter(drops);

    // Each step reports its own failure: settings that cannot be read still leave a document,
    // and a document that cannot be read leaves the new one that opening set up first.
    Guarded([this] { CreateRecovery(); });
    // A desktop session that ends asks, as quitting does, whether to save.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        Guarded([&] {
            StoreEditorText();
            if (!Modified())
                return;
            if (!manager.allowsInteraction()) {
                if (FRecovery)
                    FRecovery->WriteNow();
                FKeepRecovery = true;
                return;
            }
            const bool mayEnd = QuerySaveChanges();
            manager.release();
            if (!mayEnd) {
                manager.cancel();
                return;
            }
            // Saved or given up: a signal ending the session next keeps nothing of them.
            SetModified(false);
        });
    });

    QString editingFileName;
    Guarded([&] { editingFileName = LoadSettings(); });
    FStarting = true;
    Guarded([&] { OpenFirstDocument(editingFileName); });
    FStarting = false;
    if (!FRootNode)
        NewDocument();
    Guarded([this] { OfferRecovery(std::nullopt); });
}

QString TForm1::LoadSettings()
{
    if (!FStartup.settings)
        return {};
    const settings::SettingsEnvironment& environment = *FStartup.settings;
    if (platform::FileExists(settings::THxIniFile2::IniFileName(environment)) &&
        settings::IsOldSettingsFile(environment)) {
        LoadOldPreferences();
        SavePreferences();
        return {};
    }
    return LoadPreferences();
}

void TForm1::OpenFirstDocument(const QString& editingFileName)
{
    if (!FStartup.arguments.isEmpty() && IsExistingFile(FStartup.arguments.first()))
        OpenDocument(FStartup.arguments.first());
    else if (IsExistingFile(editingFileName))
        OpenDocument(editingFileName);
    else
        NewDocument();
}

void TForm1::FormDestroy()
{
    // A clean exit: the changes were saved or given up on closing.
    if (FRecovery && !FKeepRecovery)
        Guarded([this] { FRecovery->Discard(); });
    FRecovery.reset();
    if (FStartup.settings)
        Guarded([this] { SavePreferences(); });
    FHistoryMenuBinding.reset();
    FHistoryMenu.reset();
}

void TForm1::FormCloseQuery(bool& CanClose)
{
    CanClose = QuerySaveChanges();
}

