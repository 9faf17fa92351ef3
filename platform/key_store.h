// The per-user key store that stands in for the Windows registry under HKEY_CURRENT_USER.
//
// A key is a folder below the store's root, one folder per path component; the key exists
// exactly when its folder does. A key's values live in one small text file inside its
// folder, one value a line: type, name and data separated by tabs, e.g.
//   REG_DWORD	Form.Left	128
//   REG_SZ	Font.Name	Noto Sans CJK JP
// Tabs, line breaks, backslashes and other control characters in names and data are
// escaped (\t \n \r \\ \xHH). The file is rewritten by safe replace on every write.
//
// Key paths use "\" (or "/") between components; a leading separator is allowed. Key and
// value names are compared without regard to ASCII letter case, as in the registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class KeyValueType { Dword, String, ExpandString };

struct KeyValue {
    KeyValueType type = KeyValueType::String;
    std::uint32_t number = 0;  // Dword
    std::string text;          // String and ExpandString (kept unexpanded)
};

struct NamedKeyValue {
    std::string name;
    KeyValue value;
};

enum class ValueReadStatus { Missing, Found, Failed };

struct ValueRead {
    ValueReadStatus status = ValueReadStatus::Missing;
    KeyValue value;
};

class KeyStore {
public:
    // rootFolder stands in for HKEY_CURRENT_USER; it need not exist yet.
    explicit KeyStore(std::string rootFolder);

    // $XDG_CONFIG_HOME when set to an absolute path, otherwise $HOME/.config.
    static std::string DefaultRoot();

    // The name of the values file inside every key folder; no key may be called so.
    static constexpr std::string_view kValuesFileName = "values.txt";

    bool KeyExists(std::string_view keyPath) const;
    // Creates the key and its missing parents. True when the key exists afterwards.
    bool CreateKey(std::string_view keyPath) const;
    // Opens the key, creating it when create is true: true when it exists afterwards.
    bool OpenKey(std::string_view keyPath, bool create) const;
    // Deletes the key with all its subkeys and values. False when it is missing or when
    // anything of it could not be removed.
    bool DeleteKey(std::string_view keyPath) const;

    // A value of an existing key. Failed when the key's values file cannot be read.
    ValueRead ReadValue(std::string_view keyPath, std::string_view name) const;
    // The names of the values of an existing key, in file order (none for a missing key).
    // Nothing when the key's values file cannot be read.
    std::optional<std::vector<std::string>> ValueNames(std::string_view keyPath) const;
    // Sets values of an existing key, in order, and removes the values named in removed,
    // with one replace of its values file (each replace is synced to disk, so a section is
    // written at once rather than value by value). False when the key is missing or its
    // values file cannot be read or replaced; nothing is written then. Lines of a damaged
    // values file that hold no value are dropped.
    bool WriteValues(std::string_view keyPath, const std::vector<NamedKeyValue>& values,
                     const std::vector<std::string>& removed = {}) const;

private:
    // The folder of the key, or nothing when the path holds an invalid component.
    // Existing folders are matched without regard to letter case.
    std::optional<std::string> FolderOf(std::string_view keyPath) const;

    std::string root_;
};

}  // namespace platform
