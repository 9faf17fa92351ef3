// The node text editor, which holds a very long line as several blocks ("pieces").
//
// Qt's plain-text editor lays out a changed paragraph in full after every key: in a line of
// 1 MB that is 150 to 500 ms a key. So a line longer than kLongestLine is held as pieces of
// about kPieceLength, cut where the line may wrap anyway, joined by soft breaks: block
// boundaries that exist only here, never in the node's text or the file. A block that
// continues the line of the block before it carries a mark in its block format (a format,
// unlike the block's user state, comes back with undo and redo, and a merged block keeps the
// first block's).
//
// With word wrap on a soft break shows at most as a shorter screen row. With it off each
// piece is a row of its own: accepted for lines this long, which no one reads scrolling
// sideways. Backspace at the start of a piece (Delete at its end) removes only the soft
// break: the text stays as it was, and the change is not reported as an edit.
//
// Positions and text that leave or enter the editor go through this class, which counts
// one per real line break, as the window does (the QTextDocument counts soft breaks too).
// A text with no line over the limit is shown with setPlainText as any, and every
// translation is skipped while no soft break was made since the text was shown.
#pragma once

#include "document/TextPositions.h"

#include <QPlainTextEdit>

class TPiecedTextEdit : public QPlainTextEdit {
public:
    // Lines longer than this, in UTF-16 units, are held in pieces. Measured: a key in a
    // block this long costs about 4 ms even as one run without a place to break wrapped at
    // word boundaries (Qt measures such a run again for every screen line), 10 ms at twice it.
    static constexpr int kLongestLine = 8192;
    // The length a piece is cut at when the line cannot wrap near it; otherwise at most this.
    static constexpr int kPieceLength = 4096;

    using QPlainTextEdit::QPlainTextEdit;

    // Replaces the text and clears the undo history, as setPlainText.
    void ShowText(const QString& text);
    // The text exactly as typed (toPlainText would turn no-break spaces into spaces and line
    // separators into line breaks), lines separated by LF, soft breaks left out.
    QString Text() const;
    document::TextSelection Selection() const;
    void Select(const document::TextSelection& selection);
    // Replaces the selection by text as a paste does, long lines in pieces; the caret ends
    // after it.
    void InsertText(const QString& text);
    // Cuts the caret's block again when typing made it longer than kLongestLine; part of
    // the last undo step. Cheap when it is not: for the idle step.
    void CutCaretBlock();

    // Soft breaks made since the text was shown (some may be gone again): none means the
    // document is the text.
    int SoftBreaksMade() const { return FSoftBreaksMade; }

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int RealPosition(int documentPosition) const;
    int DocumentPosition(int realPosition) const;
    // Replaces the cursor's selection by text, with a soft break before each of cuts
    // (positions in text, ascending).
    void InsertWithCuts(QTextCursor& cursor, QStringView text, const QList<qsizetype>& cuts);

    int FSoftBreaksMade = 0;
};
