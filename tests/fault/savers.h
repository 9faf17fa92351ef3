// Every kind of file the program writes, each behind the same small interface, so that one
// set of fault tests runs against all of them: the document (small, and large enough to be
// written in pieces), the INI file, the key store's values file, an exported outline, and a
// file handed to the safe replace piece by piece.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace fault {

enum SaveOutcome {
    kSaved = 0,
    kRefused = 1,  // failed with the message the user is meant to see
    kOtherOutcome = 2,
};

struct Saver {
    const char* name;
    // The user names the file (document, export); the settings files live where they must.
    bool pathChosenByUser;
    // The file written, below folder.
    std::string (*target)(const std::string& folder);
    // Makes the folders and inputs the saver needs, before any save.
    void (*prepare)(const std::string& folder);
    // Saves the contents of generation 1, 2, ... (each several KiB, all different).
    SaveOutcome (*save)(const std::string& folder, int generation);
};

const std::vector<Saver>& AllSavers();

// Test output names a saver rather than dumping its bytes.
inline void PrintTo(const Saver& saver, std::ostream* out) { *out << saver.name; }

}  // namespace fault
