#include "interchange/ExportDialog.h"

#include "document/TVLNodeData.h"
#include "forms/ErrorGuard.h"
#include "interchange/TreeExport.h"
#include "platform/file_io.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include <vector>

namespace {

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 320;
// The right-hand column keeps its distance to the right edge when the dialog grows.
constexpr int kColumnFromRight = kClientWidth - 504;
constexpr int kColumnWidth = 129;
constexpr int kButtonHeight = 25;
constexpr int kCloseFromBottom = kClientHeight - 288;
constexpr int kMemoRightMargin = kClientWidth - 8 - 489;
constexpr int kMemoBottomMargin = kClientHeight - 8 - 305;
constexpr int kCancelResult = 2;

struct SaveEntry {
    const char* filter;
    const char* suffix;
};
constexpr SaveEntry kTextEntry{"テキストファイル (*.txt)", "txt"};
constexpr SaveEntry kHtmlEntry{"HTMLファイル (*.html)", "html"};

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// The lines as the preview shows them: each ends a line, so after the last one the caret
// can stand on an empty line, as in the rendering's own text.
QString PreviewOf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return QString::fromStdString(text);
}

}  // namespace

TExportDialog::TExportDialog()
    : THxVistaForm<QDialog>(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(Utf8("書き出し"));
    QFont font(Utf8("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab stops every eight average characters, as in a classic edit control, so the
    // HTML outline's indentation stays readable.
    Memo1->setTabStopDistance(8 * QFontMetricsF(font).averageCharWidth());

    rdoStyle = new QGroupBox(Utf8("形式"), this);
    rdoStyle->setObjectName(QStringLiteral("rdoStyle"));
    styleButtons_ = new QButtonGroup(this);
    auto* styleLayout = new QVBoxLayout(rdoStyle);
    for (const char* item : {"テキスト形式", "HTML形式"}) {
        auto* radio = new QRadioButton(Utf8(item), rdoStyle);
        styleButtons_->addButton(radio, static_cast<int>(styleButtons_->buttons().size()));
        styleLayout->addWidget(radio);
    }
    SetSelectedStyle(esHtml);
    connect(styleButtons_, &QButtonGroup::idClicked, this, [this] { Guarded([this] { rdoStyleClick(); }); });

    Button3 = new QPushButton(Utf8("すべてコピー"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    connect(Button3, &QPushButton::clicked, this, [this] { Guarded([this] { Button3Click(); }); });
    Button1 = new QPushButton(Utf8("名前を付けて保存..."), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
    Button2 = new QPushButton(Utf8("閉じる"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { reject(); }); });
    for (QPushButton* button : {Button3, Button1, Button2}) button->setAutoDefault(false);

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    // Saving over an existing file replaces it without a question.
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, true);

    setTabOrder(Memo1, Button2);
    setTabOrder(Button2, styleButtons_->button(esText));
    setTabOrder(styleButtons_->button(esText), styleButtons_->button(esHtml));
    setTabOrder(styleButtons_->button(esHtml), Button3);
    setTabOrder(Button3, Button1);

    resize(kClientWidth, kClientHeight);
    PlaceComponents();
}

TExportDialog::Style TExportDialog::SelectedStyle() const
{
    return styleButtons_->checkedId() == esText ? esText : esHtml;
}

void TExportDialog::SetSelectedStyle(Style style)
{
    styleButtons_->button(style)->setChecked(true);
}

QString TExportDialog::PreviewText() const
{
    return QString::fromStdString(document::NormalizeNodeText(Memo1->toPlainText().toStdString()));
}

void TExportDialog::rdoStyleClick()
{
    Memo1->clear();
    if (!ExportNode) return;
    const std::vector<std::string> lines = SelectedStyle() == esText ? interchange::MakeTextOutline(*ExportNode)
                                                                     : interchange::MakeHtmlOutline(*ExportNode);
    Memo1->setPlainText(PreviewOf(lines));
}

void TExportDialog::Button3Click()
{
    QGuiApplication::clipboard()->setText(PreviewText());
}

void TExportDialog::PrepareSaveDialog()
{
    const SaveEntry& entry = SelectedStyle() == esText ? kTextEntry : kHtmlEntry;
    SaveDialog1->setNameFilters({Utf8(entry.filter)});
    SaveDialog1->setDefaultSuffix(Utf8(entry.suffix));
}

void TExportDialog::Button1Click()
{
    PrepareSaveDialog();
    if (SaveDialog1->exec() != QDialog::Accepted) return;
    const QStringList files = SaveDialog1->selectedFiles();
    if (files.isEmpty()) return;
    SaveToFile(files.first());
}

void TExportDialog::SaveToFile(const QString& path) const
{
    platform::SafeReplaceFile(QFile::encodeName(path).toStdString(), PreviewText().toStdString());
}

void TExportDialog::reject()
{
    done(kCancelResult);
}

void TExportDialog::showEvent(QShowEvent* event)
{
    THxVistaForm<QDialog>::showEvent(event);
    if (!event->spontaneous()) Guarded([this] { rdoStyleClick(); });
}

void TExportDialog::resizeEvent(QResizeEvent* event)
{
    THxVistaForm<QDialog>::resizeEvent(event);
    PlaceComponents();
}

void TExportDialog::PlaceComponents()
{
    const int w = width();
    const int h = height();
    const int column = w - kColumnFromRight;
    Memo1->setGeometry(8, 8, w - 8 - kMemoRightMargin, h - 8 - kMemoBottomMargin);
    rdoStyle->setGeometry(column, 8, kColumnWidth, 81);
    Button3->setGeometry(column, 96, kColumnWidth, kButtonHeight);
    Button1->setGeometry(column, 128, kColumnWidth, kButtonHeight);
    Button2->setGeometry(column, h - kCloseFromBottom, kColumnWidth, kButtonHeight);
}

void ShowExportDialog(const document::TreeNode& node)
{
    TExportDialog dialog;
    dialog.ExportNode = &node;
    dialog.exec();
}
