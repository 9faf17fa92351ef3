// The document's life in the main window: new, open, save, the unsaved-changes prompt, the
// encoding commands, files dropped on the window and the recent-files menu.
#include "app/MainWindow.h"
#include "app/RecoveryWriter.h"
#include "platform/file_io.h"
#include "settings/HxRegIniDlg.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

using forms::TMsgDlgBtn;
using forms::TMsgDlgType;
using nanxml::TDocumentEncoding;

namespace {

QStringList DocumentFilters()
{
    return {QStringLiteral("ツリーメモ (*.trm)"), QStringLiteral("すべてのファイル (*)")};
}

std::string FileSystemPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

int TForm1::ExecFileDialog(QFileDialog& dialog)
{
    return dialog.exec();
}

void TForm1::CreateSaveDialog()
{
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setNameFilters(DocumentFilters());
    SaveDialog1->setDefaultSuffix(QStringLiteral("trm"));
}

// ---------------------------------------------------------------- the document's life

void TForm1::NewDocument()
{
    // The changes were saved or given up: their recovery copy goes.
    if (FRecovery)
        FRecovery->Discard();
    ReplaceDocument([this] {
        FSession.New();
        return nullptr;
    });
    ShowCaption();
}

void TForm1::OpenDocument(const QString& path)
{
    NewDocument();
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    document::TOpenResult opened;
    try {
        ReplaceDocument([&] {
            opened = FSession.Open(FileSystemPath(fullPath));
            return opened.selected;
        });
    } catch (const std::exception&) {
        // A save cut short may have left the file unreadable, and its old contents beside it.
        const std::optional<std::string> backup = platform::InterruptedRewriteBackup(FileSystemPath(fullPath));
        if (!backup || !OfferInterruptedSaveBackup(fullPath, *backup))
            throw;
        return;
    }
    ShowCaption();
    FHistoryMenu->AddFile(fullPath.toStdString());
    // The backup of a save cut short explains what is amiss better than the warnings would.
    if (opened.interruptedSaveBackup && OfferInterruptedSaveBackup(fullPath, *opened.interruptedSaveBackup))
        return;
    for (const std::string& warning : opened.warnings)
        MessageDlg(QString::fromStdString(warning), TMsgDlgType::mtWarning, forms::ButtonBit(TMsgDlgBtn::mbOK));
    if (!FStarting)
        OfferRecovery(FSession.FileName());
}

bool TForm1::QuerySaveChanges()
{
    if (!Modified())
        return true;
    const QString question = QStringLiteral("ファイル %1 の内容は変更されています。\r変更を保存しますか？").arg(FileName());
    switch (MessageDlg(question, TMsgDlgType::mtWarning, TMsgDlgBtn::mbYes | TMsgDlgBtn::mbNo | TMsgDlgBtn::mbCancel)) {
    case forms::mrYes:
        return SaveDocument();
    case forms::mrNo:
        return true;
    default:
        return false;
    }
}

bool TForm1::SaveDocument()
{
    if (FSession.CanSaveInPlace())
        return SaveDocumentTo(FileName());
    return SaveDocumentAs();
}

bool TForm1::SaveDocumentAs()
{
    ProposeSaveName();
    if (RunFileDialog(*SaveDialog1) != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return false;
    return SaveDocumentTo(SaveDialog1->selectedFiles().first());
}

// The document's name in its own folder (an unnamed one in the dialog's folder) or, when
// that folder is gone, in the nearest folder above it that still exists.
void TForm1::ProposeSaveName()
{
    const QFileInfo file(FileName());
    QString folder = !FSession.IsNamed() ? SaveDialog1->directory().absolutePath() : file.absolutePath();
    while (!folder.isEmpty() && !QFileInfo(folder).isDir())
        folder = QFileInfo(folder).path() == folder ? QString() : QFileInfo(folder).path();
    SaveDialog1->setDirectory(folder.isEmpty() || !QDir::isAbsolutePath(folder) ? QDir::homePath() : folder);
    SaveDialog1->selectFile(file.fileName());
}

bool TForm1::SaveDocumentTo(const QString& path)
{
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    const document::TSaveQuestions questions{
        [this](std::size_t unmappable) { return AskShiftJisLoss(unmappable); },
        [this](const std::string& changed) { return AskOverwriteChangedFile(changed); }};
    try {
        if (!FSession.Save(FileSystemPath(fullPath), Selected(), questions)) {
            ShowCaption();  // the answer may have chosen another encoding
            return false;
        }
    } catch (const platform::FileError& error) {
        // A save that fails silently would let the user believe the work is kept.
        ShowCaption();
        ShowApplicationError(QString::fromUtf8(error.what()) + QLatin1Char('\r') +
                             QString::fromStdString(error.reason()));
        return false;
    } catch (const std::exception& error) {
        ShowCaption();
        ShowApplicationError(QString::fromUtf8(error.what()));
        return false;
    }
    ShowCaption();
    FHistoryMenu->AddFile(fullPath.toStdString());
    if (FRecovery)
        FRecovery->Discard();
    return true;
}

// Another program (or another window) wrote the file since it was read or saved here: its
// work is not overwritten without asking.
bool TForm1::AskOverwriteChangedFile(const std::string& path)
{
    const QString question = QStringLiteral("ファイル %1 は、開いた後にほかのプログラムによって変更されています。\r"
                                            "上書きして保存しますか？")
                                 .arg(QFile::decodeName(path.c_str()));
    return MessageDlg(question, TMsgDlgType::mtWarning, TMsgDlgBtn::mbYes | TMsgDlgBtn::mbCancel) == forms::mrYes;
}

document::TShiftJisLossAnswer TForm1::AskShiftJisLoss(std::size_t unmappable)
{
    const QString question = QStringLiteral("この文書には Shift_JIS で保存できない文字が %1 個あります。\r\r"
                                            "UTF-8 に切り替えて保存しますか？\r"
                                            "「いいえ」を選ぶと、それらの文字を「?」に置き換えて Shift_JIS で保存します。")
                                 .arg(unmappable);
    switch (MessageDlg(question, TMsgDlgType::mtConfirmation,
                       TMsgDlgBtn::mbYes | TMsgDlgBtn::mbNo | TMsgDlgBtn::mbCancel)) {
    case forms::mrYes:
        return document::TShiftJisLossAnswer::saveAsUtf8;
    case forms::mrNo:
        return document::TShiftJisLossAnswer::saveWithQuestionMarks;
    default:
        return document::TShiftJisLossAnswer::cancel;
    }
}

void TForm1::SetEncoding(TDocumentEncoding encoding)
{
    // The caption shows the new encoding; unsaved work keeps its mark.
    FSession.SetEncoding(encoding);
    ShowCaption();
}

void TForm1::FormDropFiles(const QString& path)
{
    if (QuerySaveChanges())
        OpenDocument(path);
}

void TForm1::HistoryClick(settings::THxHistoryMenu&, const std::string& path)
{
    if (QuerySaveChanges())
        OpenDocument(QString::fromStdString(path));
}

// ---------------------------------------------------------------- commands

void TForm1::actNewExecute(QAction*)
{
    if (QuerySaveChanges())
        NewDocument();
}

void TForm1::actOpenExecute(QAction*)
{
    // The dialog is shared with the text import, which sets its own filter.
    OpenDialog1->setNameFilters(DocumentFilters());
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is taken as it is; reading it reports the error.
    OpenDialog1->setFileMode(QFileDialog::AnyFile);
    if (!QuerySaveChanges())
        return;
    if (RunFileDialog(*OpenDialog1) != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty())
        return;
    OpenDocument(OpenDialog1->selectedFiles().first());
}

void TForm1::actSaveExecute(QAction*)
{
    SaveDocument();
}

void TForm1::actSaveAsExecute(QAction*)
{
    SaveDocumentAs();
}

void TForm1::actCodeSJISExecute(QAction* Sender)
{
    SetEncoding(Sender == actCodeUTF8 ? TDocumentEncoding::deUTF8 : TDocumentEncoding::deShiftJIS);
}

void TForm1::actIniStyleExecute(QAction*)
{
    if (!FStartup.settings)
        return;
    const bool chosen = settings::THxIniFile2::ChooseStorage(
        *FStartup.settings, [this](const std::string& keyText, std::optional<settings::THxIniStyle>& kind) {
            return StorageDialog(QString::fromStdString(keyText), kind);
        });
    if (chosen)
        SavePreferences();
}

void TForm1::File1Click()
{
    mnuHistory->menuAction()->setEnabled(FHistoryMenu->VisibleItemCount() > 0);
}
