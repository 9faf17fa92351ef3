#include "settings/OldPreferences.h"

#include "platform/file_io.h"
#include "xml/nanxml.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>

namespace settings {

bool IsOldSettingsFile(const SettingsEnvironment& environment) {
    const std::string path = THxIniFile2::IniFileName(environment);
    std::ifstream file(path, std::ios::binary);
    if (!file) throw platform::FileError(platform::CannotOpenMessage(path), std::strerror(errno));
    // Five characters after a UTF-8 byte-order mark, which an editor may have added.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    constexpr std::size_t kCharactersLooked = 5;
    std::string start;
    char c = 0;
    while (start.size() < kByteOrderMark.size() + kCharactersLooked && file.get(c) && c != '\r' && c != '\n') {
        start += c;
    }
    if (file.bad()) throw platform::FileError(platform::CannotOpenMessage(path), std::strerror(errno));
    const std::size_t skipped = std::string_view(start).starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    return start.substr(skipped, kCharactersLooked).find("xml") != std::string::npos;
}

void LoadOldPreferences(const SettingsEnvironment& environment, Preferences& preferences) {
    const std::string path = THxIniFile2::IniFileName(environment);
    if (!platform::FileExists(path)) return;
    nanxml::TNanXML document;
    document.LoadFromFile(path);

    if (const nanxml::TNanXMLElement* form = document.Root().FindElement("form")) {
        WindowBounds& bounds = preferences.Form.Bounds;
        bounds.Left = nanxml::GetIntAttribute(form, "left", bounds.Left);
        bounds.Top = nanxml::GetIntAttribute(form, "top", bounds.Top);
        bounds.Width = nanxml::GetIntAttribute(form, "width", bounds.Width);
        bounds.Height = nanxml::GetIntAttribute(form, "height", bounds.Height);
        preferences.Form.State = nanxml::GetIntAttribute(form, "state", preferences.Form.State);
        if (const nanxml::TNanXMLElement* left = form->FindElement("left")) {
            preferences.LeftPaneWidth = nanxml::GetIntAttribute(left, "size", preferences.LeftPaneWidth);
        }
        // Only the exact text "true" turns word wrap on; "True" turns it off.
        preferences.WordWrap = nanxml::GetBoolAttribute(form, "WardWrap", true);
    }
    if (const nanxml::TNanXMLElement* font = document.Root().FindElement("font")) {
        preferences.FontName = nanxml::GetChildText(*font, "name", preferences.FontName);
        preferences.FontSize = nanxml::GetIntAttribute(font, "size", preferences.FontSize);
    }
}

}  // namespace settings
