// The rules of a document's life without a window: new, open, save, the questions a save
// asks and what each answer does to the file, the name, the encoding and the modified flag.
#include "document/DocumentSession.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using namespace document;

namespace {

struct Asked {
    std::vector<std::string> questions;
    TShiftJisLossAnswer lossAnswer = TShiftJisLossAnswer::cancel;
    bool overwrite = false;

    TSaveQuestions Questions() {
        return {[this](std::size_t unmappable) {
                    questions.push_back("loss " + std::to_string(unmappable));
                    return lossAnswer;
                },
                [this](const std::string& path) {
                    questions.push_back("changed " + path);
                    return overwrite;
                }};
    }
};

void ExpectUnnamedAndNew(const DocumentSession& session) {
    EXPECT_EQ(session.FileName(), kUnnamedFileName);
    EXPECT_FALSE(session.IsNamed());
    EXPECT_FALSE(session.Modified());
    EXPECT_EQ(session.Encoding(), TDocumentEncoding::deShiftJIS);
    EXPECT_EQ(session.Tree().NodeCount(), 1u);
    EXPECT_EQ(session.Tree().Root().Name(), "ルート");
    EXPECT_FALSE(session.CanSaveInPlace());
}

TEST(DocumentSession, SavesAskWhatTheyMustAndKeepTheWorkWhenTheyDoNotSave) {
    TempFolder folder;
    const std::string path = folder.File("memo.trm");
    Asked asked;
    DocumentSession session;
    ExpectUnnamedAndNew(session);

    // A character Shift_JIS cannot hold: cancel writes nothing and keeps everything.
    session.Tree().Root().Data().SetText("a\xF0\x9F\x98\x80\r\n");  // a, 😀
    session.SetModified(true);
    EXPECT_FALSE(session.Save(path, &session.Tree().Root(), asked.Questions()));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(session.Modified());
    EXPECT_FALSE(session.IsNamed());
    EXPECT_EQ(session.Encoding(), TDocumentEncoding::deShiftJIS);

    // "?" in its place when the user says so; the file is named and saved.
    asked.lossAnswer = TShiftJisLossAnswer::saveWithQuestionMarks;
    EXPECT_TRUE(session.Save(path, &session.Tree().Root(), asked.Questions()));
    EXPECT_NE(ReadBytes(path).find("<text>a?\r\n</text>"), std::string::npos);
    EXPECT_EQ(session.FileName(), path);
    EXPECT_FALSE(session.Modified());
    EXPECT_TRUE(session.CanSaveInPlace());

    // Or UTF-8 from now on, which keeps it.
    asked.lossAnswer = TShiftJisLossAnswer::saveAsUtf8;
    EXPECT_TRUE(session.Save(path, nullptr, asked.Questions()));
    EXPECT_EQ(session.Encoding(), TDocumentEncoding::deUTF8);
    EXPECT_NE(ReadBytes(path).find("encoding=\"UTF-8\""), std::string::npos);
    EXPECT_NE(ReadBytes(path).find("a\xF0\x9F\x98\x80"), std::string::npos);
    EXPECT_EQ(asked.questions, (std::vector<std::string>{"loss 1", "loss 1", "loss 1"}));

    // Choosing an encoding keeps unsaved changes unsaved.
    session.SetModified(true);
    session.SetEncoding(TDocumentEncoding::deShiftJIS);
    EXPECT_TRUE(session.Modified());
    session.SetEncoding(TDocumentEncoding::deUTF8);

    // Another program changed the file: asked, and No leaves its file alone.
    const std::string theirs = "written by someone else";
    WriteBytes(path, theirs);
    EXPECT_FALSE(session.Save(path, nullptr, asked.Questions()));
    EXPECT_EQ(ReadBytes(path), theirs);
    EXPECT_TRUE(session.Modified());
    asked.overwrite = true;
    EXPECT_TRUE(session.Save(path, nullptr, asked.Questions()));
    EXPECT_NE(ReadBytes(path), theirs);
    EXPECT_EQ(asked.questions.back(), "changed " + path);
    // Our own save is no change by someone else.
    const std::size_t questionsSoFar = asked.questions.size();
    session.SetModified(true);
    EXPECT_TRUE(session.Save(path, nullptr, asked.Questions()));
    EXPECT_EQ(asked.questions.size(), questionsSoFar);

    // A write that fails throws and keeps the work unsaved and the old file whole.
    const std::string saved = ReadBytes(path);
    session.Tree().Root().Data().SetText("newer\r\n");
    session.SetModified(true);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_THROW(session.Save(path, nullptr, asked.Questions()), platform::FileError);
    EXPECT_THROW(session.Save(folder.File("gone/memo.trm"), nullptr, asked.Questions()), platform::FileError);
    EXPECT_EQ(ReadBytes(path), saved);
    EXPECT_TRUE(session.Modified());
    EXPECT_EQ(session.FileName(), path);

    // A file that went away is saved under a name chosen anew.
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    std::filesystem::remove(path);
    EXPECT_FALSE(session.CanSaveInPlace());
}

TEST(DocumentSession, OpeningNamesTheDocumentOrLeavesANewOne) {
    TempFolder folder;
    const std::string path = folder.File("doc.trm");
    DocumentSession writer;
    writer.Tree().AppendNode(writer.Tree().Root(), "子");
    writer.SetEncoding(TDocumentEncoding::deUTF8);
    ASSERT_TRUE(writer.Save(path, &writer.Tree().Root(), Asked().Questions()));

    DocumentSession session;
    session.SetModified(true);
    const TOpenResult opened = session.Open(path);
    EXPECT_EQ(session.FileName(), path);
    EXPECT_EQ(session.Encoding(), TDocumentEncoding::deUTF8);
    EXPECT_FALSE(session.Modified());
    EXPECT_EQ(session.Tree().NodeCount(), 2u);
    EXPECT_TRUE(opened.selected->IsRoot());
    EXPECT_TRUE(opened.warnings.empty());

    // A recovered document overwrites its file only after asking, when the file changed
    // since the recovered document last read or saved it, or when that is not known.
    const std::optional<platform::FileStamp> readStamp = session.Stamp();
    Asked asked;
    asked.overwrite = false;
    session.Restore(DocumentTree(), path, TDocumentEncoding::deUTF8, readStamp);
    EXPECT_TRUE(session.Modified());
    EXPECT_TRUE(session.Save(path, nullptr, asked.Questions()));  // unchanged: no question
    EXPECT_TRUE(asked.questions.empty());
    for (const bool known : {true, false}) {
        const std::string before = ReadBytes(path);
        WriteBytes(path, before + " ");  // another program's change
        session.Restore(DocumentTree(), path, TDocumentEncoding::deUTF8,
                        known ? readStamp : std::optional<platform::FileStamp>());
        EXPECT_FALSE(session.Save(path, nullptr, asked.Questions()));
        EXPECT_EQ(ReadBytes(path), before + " ");
    }
    EXPECT_EQ(asked.questions, (std::vector<std::string>{"changed " + path, "changed " + path}));

    const std::string text = folder.File("notes.txt");
    WriteBytes(text, "plain text");
    EXPECT_THROW(session.Open(text), NotADocumentError);
    ExpectUnnamedAndNew(session);
    EXPECT_THROW(session.Open(folder.File("missing.trm")), platform::FileError);
    ExpectUnnamedAndNew(session);
}

}  // namespace
