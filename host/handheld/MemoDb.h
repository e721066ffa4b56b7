// The memo database as the handheld application keeps it: the application-
// info block (category list, kept bytes, password digest, hint) and memo
// records (leading byte, zero, text, NUL, padding; enciphered when the
// database has a password). Texts here are Shift-JIS with "\n" line breaks.
#pragma once

#include "PdbFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

extern const char kMemoDbName[];    // "Tessaly-Vqxa"
extern const char kMemoCreator[];   // "Vqxa"
extern const char kMemoType[];      // "DATA"

enum : std::size_t {
    kCategoryBlockSize = 276,
    kCategoryNameSize = 16,
    kCategoryNamesOffset = 2,
    kCategoryIdsOffset = 258,
    kCategoryLastIdOffset = 274,
    kMemoKeptOffset = 276,
    kMemoDigestOffset = 308,
    kMemoHintOffset = 324,
    kMemoMaxText = 65477
};

// A fresh memo database: 'Unfiled' alone, the digest of the password when
// one is given, the hint.
PdbDatabase NewMemoDatabase(const std::string* pPassword, const std::string& hint);

// Whether the block is long enough to be a memo application-info block.
bool IsMemoAppInfo(const std::vector<std::uint8_t>& appInfo);
bool HasPassword(const std::vector<std::uint8_t>& appInfo);
bool PasswordMatches(const std::vector<std::uint8_t>& appInfo, const std::string& password);
std::string Hint(const std::vector<std::uint8_t>& appInfo);

// Category list of the block.
std::string CategoryName(const std::vector<std::uint8_t>& appInfo, unsigned index);
unsigned CategoryId(const std::vector<std::uint8_t>& appInfo, unsigned index);
bool CategoryRenamed(const std::vector<std::uint8_t>& appInfo, unsigned index);
// The index of the category whose name equals name, ignoring ASCII case; -1 if none.
int FindCategory(const std::vector<std::uint8_t>& appInfo, const std::string& name);
// The new category's index, or -1 when all 15 places are taken.
int AddCategory(std::vector<std::uint8_t>& appInfo, const std::string& name);
void RenameCategory(std::vector<std::uint8_t>& appInfo, unsigned index, const std::string& name);
void RemoveCategory(std::vector<std::uint8_t>& appInfo, unsigned index);

// Memo data as stored; the password (when given) enciphers it.
std::vector<std::uint8_t> EncodeMemo(std::uint8_t leading, const std::string& text, const std::string* pPassword);
// False when the data holds no memo (empty, or no NUL after the text).
bool DecodeMemo(const std::vector<std::uint8_t>& data, const std::string* pPassword, std::uint8_t& leading,
                std::string& text);

// A unique ID below 2^24 that no record of the database has; advances the seed.
// 0 when there is none left.
std::uint32_t NextUniqueId(PdbDatabase& db);

} // namespace tessaly
