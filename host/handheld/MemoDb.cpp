#include "MemoDb.h"

#include "Blowfish.h"
#include "Md5.h"
#include "TessalyTable.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace tessaly {

const char kMemoDbName[] = "Tessaly-Vqxa";
const char kMemoCreator[] = "Vqxa";
const char kMemoType[] = "DATA";

namespace {

std::uint16_t RenamedWord(const std::vector<std::uint8_t>& a)
{
    return static_cast<std::uint16_t>((a[0] << 8) | a[1]);
}

void SetRenamedWord(std::vector<std::uint8_t>& a, std::uint16_t w)
{
    a[0] = static_cast<std::uint8_t>(w >> 8);
    a[1] = static_cast<std::uint8_t>(w);
}

void SetName(std::vector<std::uint8_t>& a, unsigned index, const std::string& name)
{
    std::uint8_t* slot = a.data() + kCategoryNamesOffset + kCategoryNameSize * index;
    std::memset(slot, 0, kCategoryNameSize);
    std::memcpy(slot, name.data(), std::min<std::size_t>(name.size(), kCategoryNameSize - 1));
}

void Keyed(NorvaneCommon::CBlowfishCoder& coder, const std::string& password)
{
    coder.SetPassword(password.c_str());
}

} // namespace

PdbDatabase NewMemoDatabase(const std::string* pPassword, const std::string& hint)
{
    PdbDatabase db;
    db.name = kMemoDbName;
    db.type = FourCC(kMemoType);
    db.creator = FourCC(kMemoCreator);
    db.createDate = db.modDate = PalmNow();
    db.uniqueIdSeed = 1;
    db.hasAppInfo = true;
    db.appInfo.assign(kMemoHintOffset + hint.size() + 1, 0);
    SetName(db.appInfo, 0, "Unfiled");
    if (pPassword)
        NorvaneCommon::CMd5::Digest(pPassword->data(), pPassword->size(), db.appInfo.data() + kMemoDigestOffset);
    std::memcpy(db.appInfo.data() + kMemoHintOffset, hint.data(), hint.size());
    return db;
}

bool IsMemoAppInfo(const std::vector<std::uint8_t>& appInfo) { return appInfo.size() > kMemoHintOffset; }

bool HasPassword(const std::vector<std::uint8_t>& appInfo)
{
    if (!IsMemoAppInfo(appInfo))
        return false;
    const std::uint8_t* d = appInfo.data() + kMemoDigestOffset;
    return std::any_of(d, d + 16, [](std::uint8_t b) { return b != 0; });
}

bool PasswordMatches(const std::vector<std::uint8_t>& appInfo, const std::string& password)
{
    if (!HasPassword(appInfo))
        return false;
    unsigned char digest[16];
    NorvaneCommon::CMd5::Digest(password.data(), password.size(), digest);
    return std::memcmp(digest, appInfo.data() + kMemoDigestOffset, 16) == 0;
}

std::string Hint(const std::vector<std::uint8_t>& appInfo)
{
    if (!IsMemoAppInfo(appInfo))
        return std::string();
    auto begin = appInfo.begin() + kMemoHintOffset;
    return std::string(begin, std::find(begin, appInfo.end(), 0));
}

std::string CategoryName(const std::vector<std::uint8_t>& appInfo, unsigned index)
{
    if (index > 15 || appInfo.size() < kCategoryBlockSize)
        return std::string();
    auto slot = appInfo.begin() + kCategoryNamesOffset + kCategoryNameSize * index;
    // A name that fills its slot without a NUL is cut to the 15 bytes a name may have.
    auto end = std::find(slot, slot + kCategoryNameSize - 1, 0);
    return std::string(slot, end);
}

unsigned CategoryId(const std::vector<std::uint8_t>& appInfo, unsigned index)
{
    return index > 15 || appInfo.size() < kCategoryBlockSize ? 0 : appInfo[kCategoryIdsOffset + index];
}

bool CategoryRenamed(const std::vector<std::uint8_t>& appInfo, unsigned index)
{
    return index <= 15 && appInfo.size() >= kCategoryBlockSize && (RenamedWord(appInfo) >> index) & 1;
}

int FindCategory(const std::vector<std::uint8_t>& appInfo, const std::string& name)
{
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    const std::string want = lower(name);
    for (unsigned i = 0; i < 16; ++i) {
        std::string n = CategoryName(appInfo, i);
        if (!n.empty() && lower(n) == want)
            return static_cast<int>(i);
    }
    return -1;
}

int AddCategory(std::vector<std::uint8_t>& appInfo, const std::string& name)
{
    unsigned index = 1;
    while (index < 16 && !CategoryName(appInfo, index).empty())
        ++index;
    if (index == 16)
        return -1;
    // The handheld numbers its own categories from 1 to 127, after the last one it gave.
    std::unordered_set<unsigned> used;
    for (unsigned i = 0; i < 16; ++i)
        if (!CategoryName(appInfo, i).empty())
            used.insert(CategoryId(appInfo, i));
    unsigned id = appInfo[kCategoryLastIdOffset];
    do {
        id = id >= 127 ? 1 : id + 1;
    } while (used.count(id));
    SetName(appInfo, index, name);
    appInfo[kCategoryIdsOffset + index] = static_cast<std::uint8_t>(id);
    appInfo[kCategoryLastIdOffset] = static_cast<std::uint8_t>(id);
    SetRenamedWord(appInfo, static_cast<std::uint16_t>(RenamedWord(appInfo) & ~(1u << index)));
    return static_cast<int>(index);
}

void RenameCategory(std::vector<std::uint8_t>& appInfo, unsigned index, const std::string& name)
{
    SetName(appInfo, index, name);
    SetRenamedWord(appInfo, static_cast<std::uint16_t>(RenamedWord(appInfo) | (1u << index)));
}

void RemoveCategory(std::vector<std::uint8_t>& appInfo, unsigned index)
{
    SetName(appInfo, index, std::string());
    appInfo[kCategoryIdsOffset + index] = 0;
    SetRenamedWord(appInfo, static_cast<std::uint16_t>(RenamedWord(appInfo) & ~(1u << index)));
}

std::vector<std::uint8_t> EncodeMemo(std::uint8_t leading, const std::string& text, const std::string* pPassword)
{
    std::vector<std::uint8_t> data((text.size() + 3 + 7) & ~std::size_t(7), 0);
    data[0] = leading;
    std::memcpy(data.data() + 2, text.data(), text.size());
    if (pPassword) {
        NorvaneCommon::CBlowfishCoder coder;
        Keyed(coder, *pPassword);
        NorvaneCommon::EncodeMemoData(&coder, data.data(), static_cast<DWORD>(data.size()));
    }
    return data;
}

bool DecodeMemo(const std::vector<std::uint8_t>& stored, const std::string* pPassword, std::uint8_t& leading,
                std::string& text)
{
    if (stored.size() < 3)
        return false;
    std::vector<std::uint8_t> data = stored;
    if (pPassword) {
        NorvaneCommon::CBlowfishCoder coder;
        Keyed(coder, *pPassword);
        NorvaneCommon::DecodeMemoData(&coder, data.data(), static_cast<DWORD>(data.size()));
    }
    auto end = std::find(data.begin() + 2, data.end(), 0);
    if (end == data.end())
        return false;
    leading = data[0];
    text.assign(data.begin() + 2, end);
    return true;
}

std::uint32_t NextUniqueId(PdbDatabase& db)
{
    std::unordered_set<std::uint32_t> used;
    used.reserve(db.records.size() * 2);
    for (const PdbRecord& r : db.records)
        used.insert(r.uniqueId);
    std::uint32_t seed = db.uniqueIdSeed;
    for (std::uint32_t tries = 0; tries < kPdbMaxUniqueId; ++tries, ++seed) {
        if (seed == 0 || seed > kPdbMaxUniqueId)
            seed = 1;
        if (!used.count(seed)) {
            db.uniqueIdSeed = seed + 1;
            return seed;
        }
    }
    return 0;
}

} // namespace tessaly
