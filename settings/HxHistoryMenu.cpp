#include "settings/HxHistoryMenu.h"

#include "platform/file_io.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace settings {

using platform::EqualsIgnoringAsciiCase;

namespace {

// However large a damaged "Count" and "MaxCount" are, no more entries than this are read.
constexpr std::int32_t kMostEntriesRead = 4096;

// True for "Caption" or "Data" (in any letter case) numbered count or above.
bool IsEntryPast(std::string_view name, int count) {
    for (const std::string_view prefix : {std::string_view("Caption"), std::string_view("Data")}) {
        if (name.size() <= prefix.size() || !EqualsIgnoringAsciiCase(name.substr(0, prefix.size()), prefix)) continue;
        const std::string_view digits = name.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
        std::int64_t number = 0;
        for (const char c : digits) {
            number = number * 10 + (c - '0');
            if (number >= count) return true;
        }
        return false;
    }
    return false;
}

}  // namespace

void THxHistoryMenu::SetMaxCount(std::int32_t maxCount) { maxCount_ = maxCount < 0 ? kDefaultMaxCount : maxCount; }

void THxHistoryMenu::SetVisibleCount(std::int32_t visibleCount) {
    if (visibleCount < 0 || visibleCount > kMenuItemCount) return;
    visibleCount_ = visibleCount;
    UpdateMenu();
}

void THxHistoryMenu::Add(std::string data, std::string caption) {
    for (int i = 0; i < Count(); ++i) {
        if (EqualsIgnoringAsciiCase(dataList_[static_cast<std::size_t>(i)], data)) {
            MoveToTop(i);
            return;
        }
    }
    dataList_.insert(dataList_.begin(), std::move(data));
    captionList_.insert(captionList_.begin(), std::move(caption));
    ApplyMaxCount();
    UpdateMenu();
}

void THxHistoryMenu::MoveToTop(int index) {
    if (index < 0 || index >= Count()) return;
    const auto at = static_cast<std::ptrdiff_t>(index);
    std::rotate(dataList_.begin(), dataList_.begin() + at, dataList_.begin() + at + 1);
    std::rotate(captionList_.begin(), captionList_.begin() + at, captionList_.begin() + at + 1);
    UpdateMenu();
}

void THxHistoryMenu::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    EraseEntry(index);
    UpdateMenu();
}

void THxHistoryMenu::EraseEntry(int index) {
    dataList_.erase(dataList_.begin() + index);
    captionList_.erase(captionList_.begin() + index);
}

void THxHistoryMenu::Clear() {
    dataList_.clear();
    captionList_.clear();
    UpdateMenu();
}

void THxHistoryMenu::ApplyMaxCount() {
    const auto keep = static_cast<std::size_t>(std::max(maxCount_, 0));
    if (dataList_.size() > keep) {
        dataList_.resize(keep);
        captionList_.resize(keep);
    }
}

void THxHistoryMenu::UpdateMenu() {
    for (int k = 0; k < kMenuItemCount; ++k) {
        THxHistoryMenuItem& item = menuItems_[static_cast<std::size_t>(k)];
        item.Visible = k < visibleCount_ && k < Count();
        if (!item.Visible) continue;
        item.Caption = "&" + std::to_string(k + 1);
        item.Caption += ' ';
        item.Caption += captionList_[static_cast<std::size_t>(k)];
    }
    if (OnMenuUpdated) OnMenuUpdated();
}

int THxHistoryMenu::VisibleItemCount() const {
    return static_cast<int>(std::count_if(menuItems_.begin(), menuItems_.end(),
                                          [](const THxHistoryMenuItem& item) { return item.Visible; }));
}

void THxHistoryMenu::ItemClick(int itemIndex) {
    if (!OnClick || itemIndex < 0 || itemIndex >= Count() || itemIndex >= kMenuItemCount) return;
    const std::string data = dataList_[static_cast<std::size_t>(itemIndex)];
    OnClick(*this, data);
}

void THxHistoryMenu::LoadFrom(THxIniFile2& store, const std::string& section) {
    store.OpenSection(section, false);
    dataList_.clear();
    captionList_.clear();
    const std::int32_t count = store.ReadInteger("Count", 0);
    // Entries beyond MaxCount would be dropped at once, so they are not read at all.
    SetMaxCount(store.ReadInteger("MaxCount", maxCount_));
    const std::int32_t toRead = std::min({count, maxCount_, kMostEntriesRead});
    for (std::int32_t i = 0; i < toRead; ++i) {
        captionList_.push_back(store.ReadString("Caption" + std::to_string(i), ""));
        dataList_.push_back(store.ReadString("Data" + std::to_string(i), ""));
    }
    ApplyMaxCount();
    const std::int32_t visibleCount = store.ReadInteger("VisibleCount", visibleCount_);
    if (visibleCount >= 0 && visibleCount <= kMenuItemCount) visibleCount_ = visibleCount;
    // Also when the stored VisibleCount was rejected, so the loaded entries show at once.
    UpdateMenu();
}

void THxHistoryMenu::SaveTo(THxIniFile2& store, const std::string& section) const {
    store.OpenSection(section, true);
    store.WriteInteger("Count", Count());
    for (int i = 0; i < Count(); ++i) {
        store.WriteString("Caption" + std::to_string(i), captionList_[static_cast<std::size_t>(i)]);
        store.WriteString("Data" + std::to_string(i), dataList_[static_cast<std::size_t>(i)]);
    }
    // The entries of a longer earlier list go too: a path dropped from the list must not
    // linger in the settings.
    for (const std::string& name : store.ValueNames()) {
        if (IsEntryPast(name, Count())) store.DeleteValue(name);
    }
    store.WriteInteger("MaxCount", maxCount_);
    store.WriteInteger("VisibleCount", visibleCount_);
}

std::string THxHistoryFileMenu::RemovalQuestionText(const std::string& path) {
    return "ファイルが見つかりません。\r\n" + path + "\r\n履歴から削除しますか？";
}

void THxHistoryFileMenu::AddFile(const std::string& fileName) { Add(fileName, fileName); }

void THxHistoryFileMenu::RemoveMissing() {
    bool removed = false;
    for (int i = Count() - 1; i >= 0; --i) {
        if (!platform::FileExists(DataList()[static_cast<std::size_t>(i)])) {
            // Delete would rebuild the menu for every entry; one rebuild at the end suffices.
            EraseEntry(i);
            removed = true;
        }
    }
    if (removed) UpdateMenu();
}

void THxHistoryFileMenu::ItemClick(int itemIndex) {
    if (itemIndex < 0 || itemIndex >= Count() || itemIndex >= kMenuItemCount) return;
    const std::string path = DataList()[static_cast<std::size_t>(itemIndex)];
    if (platform::FileExists(path)) {
        if (OnClick) OnClick(*this, path);
        return;
    }
    if (RemoveMissingOnClick) {
        if (!ConfirmRemove || (AskRemove && AskRemove(RemovalQuestionText(path)))) Delete(itemIndex);
        return;
    }
    if (!SkipMissing && OnClick) OnClick(*this, path);
}

}  // namespace settings
