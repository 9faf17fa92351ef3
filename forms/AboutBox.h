// The program's version information in the About box, and its home page.
#pragma once

#include "forms/FormBase.h"
#include "forms/VersionInfo.h"

#include <memory>

// Builds the About box for a version record: an information dialog with OK, the About text,
// the caption "<application title>について" and the application's icon. Not yet shown.
std::unique_ptr<THxVistaMessageForm> CreateAboutBox(const forms::THxCVersionResourceRec& record);

// Reads the running executable's version record and shows the About box modally, centred on
// the screen. A record without a translation table throws EVersionInfoError.
void ShowAboutBox();

// Asks the desktop to open the maker's home page; the outcome is not reported.
void OpenHomePage();
