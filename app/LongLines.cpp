#include "app/LongLines.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>

#include <algorithm>

namespace {

// The block format property that marks a block continuing the line of the block before it.
constexpr int kContinuesLine = QTextFormat::UserProperty + 1;

QTextBlockFormat ContinuingFormat()
{
    QTextBlockFormat format;
    format.setProperty(kContinuesLine, true);
    return format;
}

// Whether a block continues the line before it. Blocks share a few formats, so the format is
// looked up only when the block's format index differs from the last one asked about.
class TContinuationTest {
public:
    bool operator()(const QTextBlock& block)
    {
        const int index = block.blockFormatIndex();
        if (index != FIndex) {
            FIndex = index;
            FContinues = block.blockFormat().hasProperty(kContinuesLine);
        }
        return FContinues;
    }

private:
    int FIndex = -1;
    bool FContinues = false;
};

bool ContinuesLine(const QTextBlock& block)
{
    return block.blockFormat().hasProperty(kContinuesLine);
}

// The characters QTextCursor::insertText starts a new block at (CR LF counts once).
bool IsBlockBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1);
}

qsizetype FirstBlockBreak(QStringView text)
{
    const auto at = std::find_if(text.begin(), text.end(), IsBlockBreak);
    return at == text.end() ? -1 : at - text.begin();
}

qsizetype BreakLength(QStringView text, qsizetype at)
{
    return text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1;
}

// Where a piece starting at start (and the line at end) is cut: at the last place within
// half a piece before kPieceLength where the line may wrap, else at kPieceLength, not
// inside a surrogate pair.
qsizetype CutAfter(QStringView text, qsizetype start, qsizetype end)
{
    qsizetype target = start + TPiecedTextEdit::kPieceLength;
    const qsizetype windowStart = start + TPiecedTextEdit::kPieceLength / 2;
    // A few characters past the target, as a break opportunity depends on what follows.
    const qsizetype windowEnd = std::min(end, target + 16);
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text.data() + windowStart, windowEnd - windowStart);
    breaks.setPosition(target - windowStart);
    const qsizetype at = breaks.isAtBoundary() ? breaks.position() : breaks.toPreviousBoundary();
    if (at > 0)
        return windowStart + at;
    if (text[target - 1].isHighSurrogate())
        --target;
    return target;
}

// The positions in text before which soft breaks go: each line longer than kLongestLine is
// cut into pieces of at most kPieceLength.
QList<qsizetype> CutsOf(QStringView text)
{
    QList<qsizetype> cuts;
    if (text.size() <= TPiecedTextEdit::kLongestLine)
        return cuts;
    qsizetype start = 0;
    while (start <= text.size()) {
        const qsizetype found = FirstBlockBreak(text.sliced(start));
        const qsizetype end = found < 0 ? text.size() : start + found;
        if (end - start > TPiecedTextEdit::kLongestLine) {
            for (qsizetype piece = start; end - piece > TPiecedTextEdit::kPieceLength;) {
                piece = CutAfter(text, piece, end);
                cuts.append(piece);
            }
        }
        if (found < 0)
            break;
        start = end + BreakLength(text, end);
    }
    return cuts;
}

qsizetype CutsBefore(const QList<qsizetype>& cuts, qsizetype position)
{
    return std::lower_bound(cuts.begin(), cuts.end(), position) - cuts.begin();
}

// Inserts text, which has no soft break, at the cursor. Qt gives the blocks a line break
// starts the format of the block it is typed in: after the first break a block must not
// continue a line.
void InsertRun(QTextCursor& cursor, QStringView text)
{
    const qsizetype at = ContinuesLine(cursor.block()) ? FirstBlockBreak(text) : -1;
    if (at < 0) {
        cursor.insertText(text.toString());
        return;
    }
    cursor.insertText(text.first(at).toString());
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(text.sliced(at + BreakLength(text, at)).toString());
}

}  // namespace

void TPiecedTextEdit::InsertWithCuts(QTextCursor& cursor, QStringView text, const QList<qsizetype>& cuts)
{
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        InsertRun(cursor, text.sliced(from, cut - from));
        cursor.insertBlock(ContinuingFormat());
        from = cut;
    }
    InsertRun(cursor, text.sliced(from));
    cursor.endEditBlock();
    FSoftBreaksMade += static_cast<int>(cuts.size());
}

void TPiecedTextEdit::ShowText(const QString& text)
{
    FSoftBreaksMade = 0;
    const QList<qsizetype> cuts = CutsOf(text);
    if (cuts.isEmpty()) {
        setPlainText(text);
        return;
    }
    // Built in one edit, which Qt lays out lazily as it does a new text; no undo step.
    QTextDocument& document = *this->document();
    const bool undo = document.isUndoRedoEnabled();
    setPlainText(QString());
    document.setUndoRedoEnabled(false);
    QTextCursor cursor(&document);
    InsertWithCuts(cursor, text, cuts);
    document.setUndoRedoEnabled(undo);
    document.setModified(false);
    setTextCursor(QTextCursor(&document));
}

QString TPiecedTextEdit::Text() const
{
    QString text = document()->toRawText();
    if (FSoftBreaksMade > 0) {
        // The separator before each continuing block goes; the text moves up over it.
        QChar* const data = text.data();
        qsizetype kept = 0;
        qsizetype from = 0;
        TContinuationTest continues;
        for (QTextBlock block = document()->firstBlock().next(); block.isValid(); block = block.next()) {
            if (!continues(block))
                continue;
            const qsizetype separator = block.position() - 1;
            std::copy(data + from, data + separator, data + kept);
            kept += separator - from;
            from = separator + 1;
        }
        std::copy(data + from, data + text.size(), data + kept);
        text.truncate(kept + text.size() - from);
    }
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

// Both sides of a soft break are the same real position.
int TPiecedTextEdit::RealPosition(int documentPosition) const
{
    if (FSoftBreaksMade == 0)
        return documentPosition;
    int softBreaks = 0;
    TContinuationTest continues;
    for (QTextBlock block = document()->firstBlock().next(); block.isValid() && block.position() <= documentPosition;
         block = block.next())
        softBreaks += continues(block) ? 1 : 0;
    return documentPosition - softBreaks;
}

// A real position at a soft break is put at the end of the piece before it.
int TPiecedTextEdit::DocumentPosition(int realPosition) const
{
    if (FSoftBreaksMade == 0)
        return realPosition;
    int softBreaks = 0;
    TContinuationTest continues;
    QTextBlock block = document()->firstBlock();
    for (QTextBlock next = block.next(); next.isValid(); block = next, next = next.next()) {
        const int continuing = continues(next) ? 1 : 0;
        // The real position where the next block starts.
        if (realPosition < next.position() - softBreaks - continuing)
            break;
        if (realPosition == next.position() - softBreaks - continuing && continuing)
            break;
        softBreaks += continuing;
    }
    return std::min(realPosition + softBreaks, block.position() + block.length() - 1);
}

document::TextSelection TPiecedTextEdit::Selection() const
{
    const QTextCursor cursor = textCursor();
    const int start = RealPosition(cursor.selectionStart());
    return {start, RealPosition(cursor.selectionEnd()) - start};
}

void TPiecedTextEdit::Select(const document::TextSelection& selection)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(DocumentPosition(selection.start));
    cursor.setPosition(DocumentPosition(selection.start + selection.length), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void TPiecedTextEdit::InsertText(const QString& text)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QTextBlock block = cursor.block();
    const int blockStart = block.position();
    if (block.length() - 1 + text.size() <= kLongestLine) {
        InsertWithCuts(cursor, text, {});
    } else {
        // The block's text with the new text in it, cut as a whole: pieces stay short
        // however often a paste lands in the same one.
        const QString blockText = block.text();
        const int offset = cursor.positionInBlock();
        const QString joined = blockText.first(offset) + text + blockText.sliced(offset);
        const QList<qsizetype> cuts = CutsOf(joined);
        if (cuts.isEmpty()) {
            InsertWithCuts(cursor, text, {});
        } else {
            cursor.setPosition(blockStart);
            cursor.setPosition(blockStart + static_cast<int>(blockText.size()), QTextCursor::KeepAnchor);
            InsertWithCuts(cursor, joined, cuts);
            const qsizetype after = offset + text.size();
            cursor.setPosition(blockStart + static_cast<int>(after + CutsBefore(cuts, after)));
        }
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TPiecedTextEdit::CutCaretBlock()
{
    QTextCursor caret = textCursor();
    const QTextBlock block = caret.block();
    if (block.length() - 1 <= kLongestLine)
        return;
    const QString text = block.text();
    const QList<qsizetype> cuts = CutsOf(text);
    const int start = block.position();
    const int end = start + block.length() - 1;
    const auto moved = [&](int position) {
        if (position > end)
            return position + static_cast<int>(cuts.size());
        if (position < start)
            return position;
        return position + static_cast<int>(CutsBefore(cuts, position - start));
    };
    const int anchor = moved(caret.anchor());
    const int position = moved(caret.position());
    // The text stays as it is: not an edit for the window.
    const QSignalBlocker quiet(this);
    QTextCursor cursor(document());
    cursor.joinPreviousEditBlock();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    InsertWithCuts(cursor, text, cuts);
    cursor.endEditBlock();
    caret.setPosition(anchor);
    caret.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(caret);
}

QMimeData* TPiecedTextEdit::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    if (FSoftBreaksMade == 0 || !cursor.hasSelection())
        return QPlainTextEdit::createMimeDataFromSelection();
    // As Qt's copy of a plain text, without the soft breaks.
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QString text;
    int from = start;
    TContinuationTest continues;
    for (QTextBlock block = document()->findBlock(start).next(); block.isValid() && block.position() <= end;
         block = block.next()) {
        if (!continues(block))
            continue;
        QTextCursor part(document());
        part.setPosition(from);
        part.setPosition(block.position() - 1, QTextCursor::KeepAnchor);
        text += part.selectedText();
        from = block.position();
    }
    QTextCursor part(document());
    part.setPosition(from);
    part.setPosition(end, QTextCursor::KeepAnchor);
    text += part.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::Nbsp, QLatin1Char(' '));
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void TPiecedTextEdit::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || !source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    InsertText(source->text());
}

void TPiecedTextEdit::keyPressEvent(QKeyEvent* event)
{
    if (FSoftBreaksMade == 0 || isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    QTextCursor cursor = textCursor();
    if (event->matches(QKeySequence::InsertParagraphSeparator)) {
        // Qt would give the new block the format of the piece it splits.
        cursor.insertBlock(QTextBlockFormat());
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    const bool backspace = event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
    const bool atSoftBreak =
        !cursor.hasSelection() &&
        ((backspace && cursor.atBlockStart() && cursor.block().previous().isValid() && ContinuesLine(cursor.block())) ||
         (event->matches(QKeySequence::Delete) && cursor.atBlockEnd() && ContinuesLine(cursor.block().next())));
    if (atSoftBreak) {
        // Only the soft break goes: the text is unchanged, so the window hears of no edit.
        const QSignalBlocker quiet(this);
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
