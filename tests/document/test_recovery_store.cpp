// Recovery copies without a window: written privately, found only when their process is
// gone, read back as they were written, and a broken one kept aside, never deleted.
#include "document/RecoveryStore.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using namespace document;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

// The identity of a process that has ended.
TProcessIdentity GoneProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    TProcessIdentity gone = TProcessIdentity::Current();
    gone.pid = child;
    return gone;
}

TEST(RecoveryStore, CopiesAreFoundOnlyWhenTheirProcessIsGone) {
    TempFolder folder;
    const RecoveryStore store(folder.File("state/velmora/recovery"));
    DocumentTree tree;
    TreeNode& child = tree.AppendNode(tree.Root(), "子 \U0001F600");
    child.Data().SetText("未保存の行\r\n");
    child.Data().SelStart = 4;
    const DocumentSnapshot snapshot = TakeSnapshot(tree, &child);

    const TProcessIdentity self = TProcessIdentity::Current();
    EXPECT_TRUE(self.MayBeRunning());
    TRecoveryRecord live{"", TDocumentEncoding::deShiftJIS, 100, self};
    store.Write(RecoveryStore::IdOf(self), snapshot, live);
    EXPECT_EQ(ModeOf(store.Folder()), 0700u);
    EXPECT_EQ(ModeOf(folder.File("state/velmora")), 0700u);
    EXPECT_EQ(ModeOf(store.Folder() + "/" + RecoveryStore::IdOf(self) + ".trm"), 0600u);
    EXPECT_EQ(ModeOf(store.Folder() + "/" + RecoveryStore::IdOf(self) + ".info"), 0600u);

    // A copy of a process still running (another window) is not offered; one of a process
    // gone is, also when its pid now belongs to another process; one of another host is not.
    TProcessIdentity reused = self;
    reused.started += 1;
    TProcessIdentity elsewhere = GoneProcess();
    elsewhere.host += "-other";
    const TProcessIdentity gone = GoneProcess();
    const TRecoveryRecord named{"/home/user/メモ\n%.trm", TDocumentEncoding::deUTF8, 300, gone};
    store.Write(RecoveryStore::IdOf(gone), snapshot, named);
    store.Write(RecoveryStore::IdOf(reused), snapshot, {"", TDocumentEncoding::deShiftJIS, 200, reused});
    store.Write(RecoveryStore::IdOf(elsewhere), snapshot, {"", TDocumentEncoding::deShiftJIS, 400, elsewhere});

    RecoveryStore::Found found = store.FindStale();
    ASSERT_EQ(found.stale.size(), 2u);
    EXPECT_TRUE(found.setAside.empty());
    EXPECT_EQ(found.stale[0].id, RecoveryStore::IdOf(gone));  // the newest first
    EXPECT_EQ(found.stale[0].record.path, named.path);
    EXPECT_EQ(found.stale[0].record.encoding, TDocumentEncoding::deUTF8);
    EXPECT_EQ(found.stale[0].record.written, 300);
    EXPECT_EQ(found.stale[0].record.writer, gone);
    EXPECT_EQ(found.stale[1].record.writer, reused);

    // Read back: the document as it was, and its copy is UTF-8 whatever the document's encoding.
    const OpenedDocument read = store.Read(found.stale[0]);
    EXPECT_EQ(read.encoding, TDocumentEncoding::deUTF8);
    ASSERT_EQ(read.tree.NodeCount(), 2u);
    EXPECT_EQ(read.tree.Root().Child(0)->Name(), "子 \U0001F600");
    EXPECT_EQ(read.tree.Root().Child(0)->Data().Text(), "未保存の行\r\n");
    EXPECT_EQ(read.selected, read.tree.Root().Child(0));

    // Taken over by this process, then removed.
    const std::string mine = RecoveryStore::IdOf(self) + "-restored";
    store.Adopt(found.stale[0], mine, live);
    store.Remove(found.stale[1].id);
    store.Remove(RecoveryStore::IdOf(self));
    EXPECT_TRUE(store.FindStale().stale.empty());
    EXPECT_TRUE(std::filesystem::exists(store.Folder() + "/" + mine + ".trm"));
    store.Remove(mine);
    EXPECT_FALSE(std::filesystem::exists(store.Folder() + "/" + mine + ".trm"));
}

TEST(RecoveryStore, BrokenCopiesAreSetAsideOnceAndNeverDeleted) {
    TempFolder folder;
    const RecoveryStore store(folder.File("recovery"));
    DocumentTree tree;
    const TProcessIdentity gone = GoneProcess();
    store.Write("good", TakeSnapshot(tree, nullptr), {"", TDocumentEncoding::deShiftJIS, 1, gone});
    WriteBytes(store.Folder() + "/garbage.info", "not a record");
    WriteBytes(store.Folder() + "/garbage.trm", "what was typed");
    WriteBytes(store.Folder() + "/lost.info", ReadBytes(store.Folder() + "/good.info"));  // no .trm
    std::filesystem::create_directory(store.Folder() + "/folder.info");
    WriteBytes(store.Folder() + "/broken", "");  // the aside folder cannot be made: the copy stays

    RecoveryStore::Found found = store.FindStale();
    ASSERT_EQ(found.stale.size(), 1u);
    std::sort(found.setAside.begin(), found.setAside.end());
    EXPECT_EQ(found.setAside, (std::vector<std::string>{"garbage", "lost"}));
    std::filesystem::remove(store.Folder() + "/broken");

    found = store.FindStale();
    EXPECT_EQ(found.setAside.size(), 2u);  // moved now
    EXPECT_EQ(ReadBytes(store.Folder() + "/broken/garbage.trm"), "what was typed");
    EXPECT_TRUE(store.FindStale().setAside.empty());  // told once

    // A folder that does not exist has nothing in it.
    EXPECT_TRUE(RecoveryStore(folder.File("none")).FindStale().stale.empty());
}

}  // namespace
