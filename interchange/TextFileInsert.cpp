#include "interchange/TextFileInsert.h"

#include "interchange/TextImport.h"
#include "platform/file_io.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTextCursor>

QStringList TextFileFilters()
{
    return {QString::fromUtf8("テキストファイル (*.txt)"), QString::fromUtf8("すべてのファイル (*)")};
}

void InsertTextFile(QPlainTextEdit& editor, const QString& path, const std::function<void(const QString& text)>& insert)
{
    const std::string bytes = platform::ReadWholeFile(QFile::encodeName(path).toStdString());
    // The editor separates lines with LF; the inserted text keeps one break per line.
    QString text = QString::fromStdString(interchange::MakeImportText(bytes));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (insert) {
        insert(text);
        return;
    }
    QTextCursor cursor = editor.textCursor();
    cursor.insertText(text);
    editor.setTextCursor(cursor);
}
