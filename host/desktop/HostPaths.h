// How the desktop stand-in finds users and an add-on's data file, the same
// way hotsync does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desktop {

// The four characters of a packed creator ID (first character in the most
// significant byte); empty when one of them could not name a registry key.
std::string CreatorText(LONG creator);

// The folder the Conduit Manager has registered for a creator ID
// (HKCU\Software\HotSync\Conduits\<creator>, value Directory); false when
// the creator has no registration.
bool RegisteredFolder(const std::string& creator, std::string& folder);

// <root>\<user>\<registered folder>\<data file name>: the path of the data
// file that `hotsync sync --user <user> --desktop <root>` writes. Without a
// registration the add-on's name stands for the folder; without a data file
// name, "GenericDB.DAT", as the conduit takes it.
std::string DataFilePath(const std::string& root, const std::string& user, LONG creator,
                         const std::string& dataFileName, const std::string& addOnName);

// The users of a HotSync root: its folders, sorted.
std::vector<std::string> ListUsers(const std::string& root);

// One argument of a command line, quoted so that the C runtime of the
// program started reads it back unchanged.
std::string QuoteArg(const std::string& arg);

} // namespace desktop
