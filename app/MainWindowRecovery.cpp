// Unsaved work that survives a crash: the recovery copy written while the document has
// unsaved changes, the offer to restore a copy that a gone process left, the program ended
// from outside, and the backup that a cut-short save left beside a file.
#include "app/MainWindow.h"
#include "app/RecoveryWriter.h"

#include <QDateTime>
#include <QFile>

#include <ctime>

using forms::TMsgDlgBtn;
using forms::TMsgDlgType;

namespace {

QString PathText(const std::string& path)
{
    return QFile::decodeName(path.c_str());
}

}  // namespace

void TForm1::CreateRecovery()
{
    if (!FStartup.recoveryFolder)
        return;
    FRecovery = std::make_unique<TRecoveryWriter>(
        document::RecoveryStore(*FStartup.recoveryFolder),
        [this] {
            StoreEditorText();
            return TRecoveryWriter::Job{document::TakeSnapshot(FSession.Tree(), Selected()), RecoveryRecord()};
        });
    connect(FRecovery.get(), &TRecoveryWriter::failed, this, [this](const QString& reason) {
        MessageDlg(QStringLiteral("復元用のコピーを書き込めません。編集は続けられますが、異常終了したときに"
                                  "変更を復元できません。\r") +
                       reason,
                   TMsgDlgType::mtWarning, forms::ButtonBit(TMsgDlgBtn::mbOK));
    });
}

document::TRecoveryRecord TForm1::RecoveryRecord() const
{
    return {FSession.IsNamed() ? FSession.FileName() : std::string(), FSession.Encoding(),
            static_cast<std::int64_t>(std::time(nullptr)), FRecovery->Writer(), FSession.Stamp()};
}

void TForm1::OfferRecovery(const std::optional<std::string>& forPath)
{
    if (!FRecovery)
        return;
    const document::RecoveryStore& store = FRecovery->Store();
    const document::RecoveryStore::Found found = store.FindStale();
    if (!found.setAside.empty()) {
        QStringList names;
        for (const std::string& id : found.setAside)
            names << QString::fromStdString(id);
        MessageDlg(QStringLiteral("読み込めない復元用のコピー (%1) を %2 に移しました。")
                       .arg(names.join(QStringLiteral(", ")), PathText(store.Folder() + "/broken")),
                   TMsgDlgType::mtWarning, forms::ButtonBit(TMsgDlgBtn::mbOK));
    }
    for (const document::TRecoveryCopy& copy : found.stale) {
        if (forPath && copy.record.path != *forPath)
            continue;
        const QString document =
            copy.record.path.empty() ? QString::fromUtf8(document::kUnnamedFileName.data(),
                                                         static_cast<qsizetype>(document::kUnnamedFileName.size()))
                                     : PathText(copy.record.path);
        const QString written =
            QDateTime::fromSecsSinceEpoch(copy.record.written).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        const QString question = QStringLiteral("保存されていない変更を含む文書を復元できます。\r\r文書: %1\r"
                                                "書き込んだ時刻: %2\r\r"
                                                "「はい」で復元し、「いいえ」で破棄します。"
                                                "「キャンセル」なら、次に起動したときにもう一度たずねます。")
                                     .arg(document, written);
        switch (MessageDlg(question, TMsgDlgType::mtConfirmation,
                           TMsgDlgBtn::mbYes | TMsgDlgBtn::mbNo | TMsgDlgBtn::mbCancel)) {
        case forms::mrYes:
            if (QuerySaveChanges() && RestoreRecovery(copy))
                return;  // one window holds one document: the others wait for another start
            break;
        case forms::mrNo:
            store.Remove(copy.id);
            break;
        default:
            break;
        }
    }
}

bool TForm1::RestoreRecovery(const document::TRecoveryCopy& copy)
{
    const document::RecoveryStore& store = FRecovery->Store();
    document::OpenedDocument opened;
    try {
        opened = store.Read(copy);
    } catch (const std::exception& error) {
        store.SetAside(copy.id);
        MessageDlg(QStringLiteral("復元用のコピーを読み込めないため、%1 に移しました。\r")
                           .arg(PathText(store.Folder() + "/broken")) +
                       QString::fromUtf8(error.what()),
                   TMsgDlgType::mtWarning, forms::ButtonBit(TMsgDlgBtn::mbOK));
        return false;
    }
    ReplaceDocument([&] {
        FSession.Restore(std::move(opened.tree), copy.record.path, copy.record.encoding, copy.record.stamp);
        return opened.selected;
    });
    ShowCaption();
    // The copy is this window's now: it stays until the changes are saved or discarded.
    Guarded([&] { FRecovery->TakeOver(copy, RecoveryRecord()); });
    return true;
}

bool TForm1::OfferInterruptedSaveBackup(const QString& path, const std::string& backup)
{
    const QString question = QStringLiteral("ファイル %1 の前回の保存は途中で終わったため、内容が壊れているおそれが"
                                            "あります。保存する前の内容がバックアップ %2 に残っています。\r\r"
                                            "バックアップの内容を開きますか？ ファイルとバックアップは、"
                                            "保存するまでそのまま残ります。")
                                 .arg(path, PathText(backup));
    if (MessageDlg(question, TMsgDlgType::mtWarning, TMsgDlgBtn::mbYes | TMsgDlgBtn::mbNo) != forms::mrYes)
        return false;
    ReplaceDocument([&] { return FSession.OpenInterruptedSaveBackup(QFile::encodeName(path).toStdString(), backup); });
    ShowCaption();
    if (FRecovery)
        FRecovery->Changed();
    return true;
}

void TForm1::EndFromOutside()
{
    Guarded([this] {
        StoreEditorText();
        if (FRecovery && Modified())
            FRecovery->WriteNow();
    });
    FKeepRecovery = true;
    if (FStartup.settings)
        Guarded([this] { SavePreferences(); });
}
