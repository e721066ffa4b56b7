#include "HostPaths.h"

#include "afx/mbcs.h"

#include <algorithm>

namespace desktop {

std::string CreatorText(LONG creator)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned char c = static_cast<unsigned char>((static_cast<unsigned long>(creator) >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E || c == '\\')
            return std::string();
        s += static_cast<char>(c);
    }
    return s;
}

bool RegisteredFolder(const std::string& creator, std::string& folder)
{
    folder.clear();
    if (creator.empty())
        return false;
    HKEY key;
    std::string path = "Software\\HotSync\\Conduits\\" + creator;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buf[1024];
    DWORD type = 0, size = sizeof buf - 1;
    if (RegQueryValueExA(key, "Directory", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        buf[size] = '\0';
        folder = buf;
    }
    RegCloseKey(key);
    return true;
}

std::string DataFilePath(const std::string& root, const std::string& user, LONG creator,
                         const std::string& dataFileName, const std::string& addOnName)
{
    std::string folder;
    if (!RegisteredFolder(CreatorText(creator), folder))
        folder = addOnName;
    // As hotsync joins them, and then the conduit the file name.
    std::string path = (root.empty() ? std::string(".") : root) + "\\" + user + "\\" + folder;
    if (!afx::EndsWithChar932(path.data(), path.size(), '\\'))
        path += '\\';
    return path + (dataFileName.empty() ? std::string("GenericDB.DAT") : dataFileName);
}

std::vector<std::string> ListUsers(const std::string& root)
{
    std::vector<std::string> users;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return users;
    do {
        std::string name = fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
            users.push_back(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(users.begin(), users.end());
    return users;
}

std::string QuoteArg(const std::string& arg)
{
    // Unquoted when it can be: then no parser has to tell a backslash from
    // a double-byte character's trail byte before a closing quote.
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (size_t i = 0; i < arg.size(); ++i) {
        char c = arg[i];
        // A double-byte character's trail byte may look like a backslash.
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < arg.size()) {
            out.append(backslashes, '\\');
            backslashes = 0;
            out += c;
            out += arg[++i];
            continue;
        }
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

} // namespace desktop
