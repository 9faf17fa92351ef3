#include "forms/VersionInfo.h"

#include "platform/version_record.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

namespace forms {
namespace {

struct KeyField {
    const char* key;
    std::string THxCVersionResourceRec::*field;
};

constexpr std::array<KeyField, 12> kKeyTable{{
    {"Comments", &THxCVersionResourceRec::Comments},
    {"CompanyName", &THxCVersionResourceRec::CompanyName},
    {"FileDescription", &THxCVersionResourceRec::FileDescription},
    {"FileVersion", &THxCVersionResourceRec::FileVersion},
    {"InternalName", &THxCVersionResourceRec::InternalName},
    {"LegalCopyright", &THxCVersionResourceRec::LegalCopyright},
    {"LegalTrademarks", &THxCVersionResourceRec::LegalTrademarks},
    {"OriginalFilename", &THxCVersionResourceRec::OriginalFilename},
    {"PrivateBuild", &THxCVersionResourceRec::PrivateBuild},
    {"ProductName", &THxCVersionResourceRec::ProductName},
    {"ProductVersion", &THxCVersionResourceRec::ProductVersion},
    {"SpecialBuild", &THxCVersionResourceRec::SpecialBuild},
}};

std::string FourHexDigits(unsigned value)
{
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04X", value & 0xFFFFu);
    return digits;
}

}  // namespace

EVersionInfoError::EVersionInfoError() : std::runtime_error("情報の取得に失敗しました") {}

void GetVersionResource(const std::string& path, THxCVersionResourceRec& record)
{
    const std::string resource = platform::ReadVersionRecord(path);
    if (resource.empty()) return;

    const std::optional<std::string_view> translation =
        platform::QueryVersionValue(resource, "\\VarFileInfo\\Translation");
    // A table too short for one entry counts as none rather than being read past its end.
    if (!translation || translation->size() < 4) throw EVersionInfoError();

    auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>((*translation)[i])); };
    const unsigned entry = byte(0) | (byte(1) << 8) | (byte(2) << 16) | (byte(3) << 24);
    const std::string language = FourHexDigits(entry & 0xFFFFu);
    const std::string codePage = FourHexDigits(entry >> 16);

    for (const KeyField& k : kKeyTable) {
        const std::string query =
            "\\StringFileInfo\\" + language.substr(0, 4) + codePage.substr(0, 4) + "\\" + k.key;
        const std::optional<std::string_view> value = platform::QueryVersionValue(resource, query);
        std::string text;
        if (value && !value->empty()) text = std::string(value->substr(0, value->find('\0')));
        record.*k.field = std::move(text);
    }
}

std::string MakeAboutText(const THxCVersionResourceRec& record)
{
    return record.Comments + record.ProductName + " version" + record.ProductVersion + "\r" +
           record.LegalCopyright + "\r" + kHomePageAddress;
}

}  // namespace forms
