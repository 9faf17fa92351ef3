#include "platform/key_store.h"

#include "platform/ascii_case.h"
#include "platform/file_io.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::vector<std::string_view> SplitKeyPath(std::string_view keyPath) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= keyPath.size(); ++i) {
        if (i == keyPath.size() || keyPath[i] == '\\' || keyPath[i] == '/') {
            if (i > start) parts.push_back(keyPath.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool IsDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// The existing subfolder of folder whose name matches component without regard to case.
std::optional<fs::path> FindFolderIgnoringCase(const fs::path& folder, std::string_view component) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (EqualsIgnoringAsciiCase(it->path().filename().string(), component) && IsDirectory(it->path())) {
            return it->path();
        }
    }
    return std::nullopt;
}

void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else {
                    out += c;
                }
        }
    }
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 'x': {
                if (i + 2 >= text.size()) return std::nullopt;
                const int high = HexDigitValue(text[i + 1]);
                const int low = HexDigitValue(text[i + 2]);
                if (high < 0 || low < 0) return std::nullopt;
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default: return std::nullopt;
        }
    }
    return out;
}

constexpr std::string_view kDwordTag = "REG_DWORD";
constexpr std::string_view kStringTag = "REG_SZ";
constexpr std::string_view kExpandStringTag = "REG_EXPAND_SZ";

std::string_view TagOf(KeyValueType type) {
    switch (type) {
        case KeyValueType::Dword: return kDwordTag;
        case KeyValueType::String: return kStringTag;
        case KeyValueType::ExpandString: return kExpandStringTag;
    }
    return kStringTag;
}

// One line of a values file; nothing when it is not a well-formed value.
std::optional<NamedKeyValue> ParseValueLine(std::string_view line) {
    const std::size_t firstTab = line.find('\t');
    if (firstTab == std::string_view::npos) return std::nullopt;
    const std::size_t secondTab = line.find('\t', firstTab + 1);
    if (secondTab == std::string_view::npos) return std::nullopt;
    const std::string_view tag = line.substr(0, firstTab);
    const auto name = Unescape(line.substr(firstTab + 1, secondTab - firstTab - 1));
    const std::string_view data = line.substr(secondTab + 1);
    if (!name) return std::nullopt;

    KeyValue value;
    if (tag == kDwordTag) {
        value.type = KeyValueType::Dword;
        const auto [end, error] = std::from_chars(data.data(), data.data() + data.size(), value.number);
        if (error != std::errc() || end != data.data() + data.size()) return std::nullopt;
    } else if (tag == kStringTag || tag == kExpandStringTag) {
        value.type = tag == kStringTag ? KeyValueType::String : KeyValueType::ExpandString;
        auto text = Unescape(data);
        if (!text) return std::nullopt;
        value.text = std::move(*text);
    } else {
        return std::nullopt;
    }
    return NamedKeyValue{std::move(*name), std::move(value)};
}

// Lines that are no well-formed value (a damaged file) are skipped.
std::vector<NamedKeyValue> ParseValues(std::string_view text) {
    std::vector<NamedKeyValue> values;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && line.front() != '#') {
            if (auto value = ParseValueLine(line)) values.push_back(std::move(*value));
        }
        start = end + 1;
    }
    return values;
}

std::string FormatValues(const std::vector<NamedKeyValue>& values) {
    std::string text = "# type<TAB>name<TAB>data\n";
    for (const auto& [name, value] : values) {
        text += TagOf(value.type);
        text += '\t';
        AppendEscaped(text, name);
        text += '\t';
        if (value.type == KeyValueType::Dword) {
            text += std::to_string(value.number);
        } else {
            AppendEscaped(text, value.text);
        }
        text += '\n';
    }
    return text;
}

// The values of the key in folder; nothing when its values file exists but cannot be read.
std::optional<std::vector<NamedKeyValue>> LoadValues(const fs::path& folder) {
    const std::string path = (folder / KeyStore::kValuesFileName).string();
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error))) return std::vector<NamedKeyValue>{};
    try {
        return ParseValues(ReadWholeFile(path));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

}  // namespace

KeyStore::KeyStore(std::string rootFolder) : root_(std::move(rootFolder)) {}

std::string KeyStore::DefaultRoot() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') return configHome;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

std::optional<std::string> KeyStore::FolderOf(std::string_view keyPath) const {
    fs::path folder = root_;
    bool parentExists = IsDirectory(folder);
    for (std::string_view component : SplitKeyPath(keyPath)) {
        if (component == "." || component == ".." || EqualsIgnoringAsciiCase(component, kValuesFileName)) {
            return std::nullopt;
        }
        fs::path exact = folder / component;
        if (parentExists && !IsDirectory(exact)) {
            if (auto match = FindFolderIgnoringCase(folder, component)) exact = std::move(*match);
        }
        parentExists = parentExists && IsDirectory(exact);
        folder = std::move(exact);
    }
    return folder.string();
}

bool KeyStore::KeyExists(std::string_view keyPath) const {
    const auto folder = FolderOf(keyPath);
    return folder && IsDirectory(*folder);
}

bool KeyStore::CreateKey(std::string_view keyPath) const {
    const auto folder = FolderOf(keyPath);
    if (!folder) return false;
    std::error_code error;
    fs::create_directories(*folder, error);
    return IsDirectory(*folder);
}

bool KeyStore::OpenKey(std::string_view keyPath, bool create) const {
    return create ? CreateKey(keyPath) : KeyExists(keyPath);
}

bool KeyStore::DeleteKey(std::string_view keyPath) const {
    const auto folder = FolderOf(keyPath);
    if (!folder || !IsDirectory(*folder)) return false;
    std::error_code error;
    fs::remove_all(*folder, error);
    return !error && !IsDirectory(*folder);
}

ValueRead KeyStore::ReadValue(std::string_view keyPath, std::string_view name) const {
    const auto folder = FolderOf(keyPath);
    if (!folder || !IsDirectory(*folder)) return {};
    const auto values = LoadValues(*folder);
    if (!values) return {ValueReadStatus::Failed, {}};
    for (const NamedKeyValue& stored : *values) {
        if (EqualsIgnoringAsciiCase(stored.name, name)) return {ValueReadStatus::Found, stored.value};
    }
    return {};
}

std::optional<std::vector<std::string>> KeyStore::ValueNames(std::string_view keyPath) const {
    const auto folder = FolderOf(keyPath);
    if (!folder || !IsDirectory(*folder)) return std::vector<std::string>{};
    const auto values = LoadValues(*folder);
    if (!values) return std::nullopt;
    std::vector<std::string> names;
    for (const NamedKeyValue& value : *values) names.push_back(value.name);
    return names;
}

bool KeyStore::WriteValues(std::string_view keyPath, const std::vector<NamedKeyValue>& values,
                           const std::vector<std::string>& removed) const {
    const auto folder = FolderOf(keyPath);
    if (!folder || !IsDirectory(*folder)) return false;
    auto stored = LoadValues(*folder);
    if (!stored) return false;
    for (const std::string& name : removed) {
        std::erase_if(*stored, [&](const auto& existing) { return EqualsIgnoringAsciiCase(existing.name, name); });
    }
    for (const NamedKeyValue& value : values) {
        const auto same = std::find_if(stored->begin(), stored->end(), [&](const NamedKeyValue& existing) {
            return EqualsIgnoringAsciiCase(existing.name, value.name);
        });
        if (same != stored->end()) {
            same->value = value.value;
        } else {
            stored->push_back(value);
        }
    }
    try {
        SafeReplaceFile((fs::path(*folder) / kValuesFileName).string(), FormatValues(*stored));
    } catch (const FileError&) {
        return false;
    }
    return true;
}

}  // namespace platform
