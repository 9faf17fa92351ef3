// Reading the version strings of an executable, and the About text built from them.
#pragma once

#include <stdexcept>
#include <string>

namespace forms {

// The twelve standard version strings; each is the value of the key of the same name, or
// empty. Text is UTF-8.
struct THxCVersionResourceRec {
    std::string Comments;
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string LegalTrademarks;
    std::string OriginalFilename;
    std::string PrivateBuild;
    std::string ProductName;
    std::string ProductVersion;
    std::string SpecialBuild;
};

// "情報の取得に失敗しました": the record has no translation table.
class EVersionInfoError : public std::runtime_error {
public:
    EVersionInfoError();
};

// Fills record from the version record of the executable at path, using the string table of
// the first translation. A file without a record (or one that cannot be read) leaves record
// unchanged. Throws EVersionInfoError when the record has no translation table.
void GetVersionResource(const std::string& path, THxCVersionResourceRec& record);

// The maker's home page, opened by the web-site command and shown in the About box.
inline constexpr const char* kHomePageAddress = "https://quillworks.example/velmora/";

// Three lines separated by a single CR: "<Comments><ProductName> version<ProductVersion>",
// the legal notice and the home-page address.
std::string MakeAboutText(const THxCVersionResourceRec& record);

}  // namespace forms
