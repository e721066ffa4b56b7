// Writes a fresh memo database file as a HotSync operation leaves it: the
// Unfiled category, the password digest (none for an empty password), the
// hint, and no records. The data core opens such files but never creates them.
#pragma once

#include <string>

namespace tessaly {

// Password and hint are Shift-JIS bytes. False when the file cannot be written.
bool WriteEmptyMemoFile(const std::string& path, const std::string& password, const std::string& hint);

} // namespace tessaly
