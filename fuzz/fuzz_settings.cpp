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
    // The name on the input's first line, as a value name that may well be there.
    const std::string_view firstLine = input.substr(0, input.find('\n'));
    const std::size_t tab = firstLine.find('\t');
    const std::string_view name = tab == std::string_view::npos ? firstLine : firstLine.substr(tab + 1, firstLine.find('\t', tab + 1) - tab - 1);
    for (const std::string_view asked : {name, std::string_view("Form.Left")}) {
        const platform::ValueRead read = store.ReadValue("Key", asked);
        if (read.status == platform::ValueReadStatus::Failed) Fail("a values file that exists could not be read");
    }
}

}  // namespace fuzz
