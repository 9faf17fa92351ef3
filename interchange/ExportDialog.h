// The export dialog: previews the whole tree as a text or HTML outline, copies the preview
// to the clipboard and saves it to a file. The preview is an ordinary editable text; what is
// copied or saved is what it holds at that moment.
#pragma once

#include "document/DocumentTree.h"
#include "forms/FormBase.h"

#include <QDialog>
#include <QString>

class QButtonGroup;
class QFileDialog;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;

class TExportDialog : public THxVistaForm<QDialog> {
    Q_OBJECT
public:
    enum Style { esText = 0, esHtml = 1 };

    TExportDialog();

    // The node whose subtree is exported; the tree owns it.
    const document::TreeNode* ExportNode = nullptr;

    QPlainTextEdit* Memo1;
    QGroupBox* rdoStyle;
    QPushButton* Button3;  // すべてコピー
    QPushButton* Button1;  // 名前を付けて保存...
    QPushButton* Button2;  // 閉じる
    QFileDialog* SaveDialog1;

    // The selected item of rdoStyle; setting it does not rebuild the preview.
    Style SelectedStyle() const;
    void SetSelectedStyle(Style style);

    // The preview's text as it is copied and saved: every line followed by CR LF.
    QString PreviewText() const;

    // Rebuilds the preview in the selected style, discarding edits.
    void rdoStyleClick();
    // Puts the preview on the clipboard.
    void Button3Click();
    // Asks for a file name for the selected style and saves the preview there.
    void Button1Click();

    // Sets SaveDialog1's only file type and default extension for the selected style.
    void PrepareSaveDialog();
    // Writes the preview (UTF-8, CR LF) to path by safe replace; throws FileError.
    void SaveToFile(const QString& path) const;

public slots:
    // Esc and "閉じる" close with the cancel result (2).
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Keeps the components at their places relative to the edges they are anchored to.
    void PlaceComponents();

    QButtonGroup* styleButtons_;
};

// Shows the export dialog modally for node and its subtree.
void ShowExportDialog(const document::TreeNode& node);
