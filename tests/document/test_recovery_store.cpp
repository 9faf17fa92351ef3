// Recovery copies without a window: written privately, found only when their process is
// gone, read back as they were written, and a broken one kept aside, never deleted.
#include "document/RecoveryStore.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace document;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

TEST(RecoveryStore, CopiesAreFoundOnlyWhenNoRunningProcessHoldsThem) {
    TempFolder folder;
    const RecoveryStore store(folder.File("state/velmora/recovery"));
    DocumentTree tree;
    TreeNode& child = tree.AppendNode(tree.Root(), "子 \U0001F600");
    child.Data().SetText("未保存の行\r\n");
    child.Data().SelStart = 4;
    const DocumentSnapshot snapshot = TakeSnapshot(tree, &child);
    const TProcessIdentity self = TProcessIdentity::Current();

    // A copy whose process runs (another window) is not offered.
    const TRecoveryLock running = store.Claim(self);
    EXPECT_NE(store.Claim(self).Id(), running.Id());  // ids never repeat
    store.Write(running.Id(), snapshot, {"", TDocumentEncoding::deShiftJIS, 100, self, {}});
    EXPECT_EQ(ModeOf(store.Folder()), 0700u);
    EXPECT_EQ(ModeOf(folder.File("state/velmora")), 0700u);
    EXPECT_EQ(ModeOf(store.Folder() + "/" + running.Id() + ".trm"), 0600u);
    EXPECT_EQ(ModeOf(store.Folder() + "/" + running.Id() + ".info"), 0600u);

    // One whose process ended, however it ended, is.
    const TRecoveryRecord named{"/home/user/メモ\n%.trm", TDocumentEncoding::deUTF8, 300, self,
                                platform::FileStamp{1, 2, 3, 4, 5}};
    std::string ended;
    {
        const TRecoveryLock lock = store.Claim(self);
        ended = lock.Id();
        store.Write(ended, snapshot, named);
    }
    store.Write("older-without-lock", snapshot, {"", TDocumentEncoding::deShiftJIS, 200, self, {}});
    WriteBytes(store.Folder() + "/ended-without-copy.lock", "");  // litter of a process gone

    RecoveryStore::Found found = store.FindStale();
    ASSERT_EQ(found.stale.size(), 2u);
    EXPECT_TRUE(found.setAside.empty());
    EXPECT_EQ(found.stale[0].id, ended);  // the newest first
    EXPECT_EQ(found.stale[0].record.path, named.path);
    EXPECT_EQ(found.stale[0].record.encoding, TDocumentEncoding::deUTF8);
    EXPECT_EQ(found.stale[0].record.written, 300);
    EXPECT_EQ(found.stale[0].record.writer, self);
    EXPECT_EQ(found.stale[0].record.stamp, named.stamp);
    EXPECT_EQ(found.stale[1].id, "older-without-lock");
    EXPECT_FALSE(found.stale[1].record.stamp);
    EXPECT_FALSE(std::filesystem::exists(store.Folder() + "/ended-without-copy.lock"));
    EXPECT_TRUE(std::filesystem::exists(store.Folder() + "/" + running.Id() + ".lock"));

    // Read back: the document as it was, and its copy is UTF-8 whatever the document's encoding.
    const OpenedDocument read = store.Read(found.stale[0]);
    EXPECT_EQ(read.encoding, TDocumentEncoding::deUTF8);
    ASSERT_EQ(read.tree.NodeCount(), 2u);
    EXPECT_EQ(read.tree.Root().Child(0)->Name(), "子 \U0001F600");
    EXPECT_EQ(read.tree.Root().Child(0)->Data().Text(), "未保存の行\r\n");
    EXPECT_EQ(read.selected, read.tree.Root().Child(0));

    // Taken over by a running process, then removed.
    store.Adopt(found.stale[0], running.Id(), named);
    store.Remove(found.stale[1].id);
    EXPECT_TRUE(store.FindStale().stale.empty());
    EXPECT_TRUE(std::filesystem::exists(store.Folder() + "/" + running.Id() + ".trm"));
    store.Remove(running.Id());
    EXPECT_FALSE(std::filesystem::exists(store.Folder() + "/" + running.Id() + ".trm"));
}

TEST(RecoveryStore, BrokenCopiesAreSetAsideOnceAndNeverDeleted) {
    TempFolder folder;
    const RecoveryStore store(folder.File("recovery"));
    DocumentTree tree;
    store.Write("good", TakeSnapshot(tree, nullptr), {"", TDocumentEncoding::deShiftJIS, 1, TProcessIdentity::Current(), {}});
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
