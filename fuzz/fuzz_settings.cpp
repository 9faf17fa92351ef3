#include "fuzz/harnesses.h"

#include "platform/key_store.h"
#include "settings/IniImage.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace fuzz {

void FuzzIni(std::string_view input)
{
    const std::string formatted = settings::IniImage::Parse(input).Format();
    if (settings::IniImage::Parse(formatted).Format() != formatted) Fail("an INI file read back formats differently");
    (void)settings::ParseIniInteger(input);
}

void FuzzKeyStore(std::string_view input)
{
    static const std::string root = ScratchFolder() + "/keys";
    static const std::string values = [] {
        std::filesystem::create_directories(root + "/Key");
        return root + "/Key/" + std::string(platform::KeyStore::kValuesFileName);
    }();
    std::ofstream(values, std::ios::binary | std::ios::trunc).write(input.data(), static_cast<std::streamsize>(input.size()));

    const platform::KeyStore store(root);
    // Also the name on the first line (type, tab, name, tab, data), a value that may well be there.
    const std::string_view firstLine = input.substr(0, input.find('\n'));
    const std::size_t tab = firstLine.find('\t');
    const std::string_view afterType = tab == std::string_view::npos ? std::string_view() : firstLine.substr(tab + 1);
    const std::string_view name = afterType.substr(0, afterType.find('\t'));
    for (const std::string_view asked : {name, std::string_view("Form.Left")}) {
        if (store.ReadValue("Key", asked).status == platform::ValueReadStatus::Failed)
            Fail("a values file that exists could not be read");
    }
}

}  // namespace fuzz
