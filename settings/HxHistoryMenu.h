// The recent-files list: a most-recently-used list of (data, caption) pairs shown as up to
// 16 numbered menu items. This is the list and the state of its 16 items; the Qt menu
// mirrors MenuItems() whenever OnMenuUpdated fires.
#pragma once

#include "settings/HxRegIni.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace settings {

// One of the 16 history items of the menu. A hidden item keeps its last caption.
struct THxHistoryMenuItem {
    bool Visible = false;
    std::string Caption;
};

class THxHistoryMenu {
public:
    static constexpr int kMenuItemCount = 16;
    static constexpr std::int32_t kDefaultMaxCount = 32;
    static constexpr std::int32_t kDefaultVisibleCount = 8;

    using ClickEvent = std::function<void(THxHistoryMenu& sender, const std::string& data)>;

    virtual ~THxHistoryMenu() = default;

    const std::vector<std::string>& DataList() const { return dataList_; }
    const std::vector<std::string>& CaptionList() const { return captionList_; }
    int Count() const { return static_cast<int>(dataList_.size()); }

    std::int32_t MaxCount() const { return maxCount_; }
    // A negative count means the default; the list is cut to it only by ApplyMaxCount.
    void SetMaxCount(std::int32_t maxCount);
    std::int32_t VisibleCount() const { return visibleCount_; }
    // Accepted from 0 to 16; any other value changes nothing.
    void SetVisibleCount(std::int32_t visibleCount);

    // Puts a new entry at the top, or moves an entry with the same data (compared without
    // regard to ASCII letter case) there, keeping its stored spelling and caption.
    void Add(std::string data, std::string caption);
    void MoveToTop(int index);
    void Delete(int index);
    void Clear();
    // Drops the oldest entries beyond MaxCount.
    void ApplyMaxCount();

    // Rebuilds the visibility and captions of the 16 items: item k shows "&", k + 1, " "
    // and caption k when k is below both VisibleCount and the number of entries.
    void UpdateMenu();
    const std::array<THxHistoryMenuItem, kMenuItemCount>& MenuItems() const { return menuItems_; }
    int VisibleItemCount() const;

    // The menu item at itemIndex (0 to 15) was chosen.
    virtual void ItemClick(int itemIndex);

    // Replaces the list and the counts from the section of the store.
    void LoadFrom(THxIniFile2& store, const std::string& section);
    // Writes the list and the counts to the section and removes the entries numbered Count
    // or above that an earlier, longer list left there.
    void SaveTo(THxIniFile2& store, const std::string& section) const;

    ClickEvent OnClick;
    // Fires at the end of every UpdateMenu.
    std::function<void()> OnMenuUpdated;

protected:
    // Removes the entry from both lists without rebuilding the menu.
    void EraseEntry(int index);

private:
    std::vector<std::string> dataList_;
    std::vector<std::string> captionList_;
    std::int32_t maxCount_ = kDefaultMaxCount;
    std::int32_t visibleCount_ = kDefaultVisibleCount;
    std::array<THxHistoryMenuItem, kMenuItemCount> menuItems_;
};

// The list for file paths: checks that a chosen file still exists and offers to drop an
// entry whose file is gone.
class THxHistoryFileMenu : public THxHistoryMenu {
public:
    // Asked before removing an entry whose file is missing; true for the answer Yes.
    using RemovalQuestion = std::function<bool(const std::string& text)>;

    // "ファイルが見つかりません。", the path and "履歴から削除しますか？", on lines ending in CR LF.
    static std::string RemovalQuestionText(const std::string& path);

    // Adds the path as data and as caption.
    void AddFile(const std::string& fileName);
    // Drops every entry whose file does not exist.
    void RemoveMissing();

    void ItemClick(int itemIndex) override;

    bool RemoveMissingOnClick = true;
    bool ConfirmRemove = true;
    bool SkipMissing = true;
    // Shows the removal question (title "確認", Yes the default, No on Escape). When it is
    // not set, nothing is removed.
    RemovalQuestion AskRemove;
};

}  // namespace settings
