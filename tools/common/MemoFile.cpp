#include "MemoFile.h"

#include "Category.h"
#include "Md5.h"
#include "TessalyTable.h"

#include <cstring>
#include <ctime>

namespace tessaly {

using namespace NorvaneCommon;

namespace {
void Put32(std::string& s, size_t at, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

const char kDatabaseName[] = "Tessaly-Vqxa";
} // namespace

bool WriteEmptyMemoFile(const std::string& path, const std::string& password, const std::string& hint)
{
    std::string data(kAppInfoHintOffset + hint.size() + 1, '\0');
    std::memcpy(&data[kCategoryNamesOffset], "Unfiled", 7);
    if (!password.empty())
        CMd5::Digest(password.data(), password.size(), reinterpret_cast<unsigned char*>(&data[kAppInfoDigestOffset]));
    std::memcpy(&data[kAppInfoHintOffset], hint.data(), hint.size());
    while (data.size() % 4)
        data += '\0';

    const DWORD blockSize = kBlockHeaderSize + static_cast<DWORD>(data.size());
    std::string block(kBlockHeaderSize, '\0');
    Put32(block, 0, blockSize);
    Put32(block, 4, kFormatTag);
    Put32(block, 8, kBlockHeaderSize);
    std::memcpy(&block[12], kDatabaseName, sizeof kDatabaseName - 1);
    Put32(block, 44, static_cast<DWORD>(data.size()));
    Put32(block, 48, static_cast<DWORD>(data.size()));

    const DWORD now = static_cast<DWORD>(std::time(nullptr) + 2082844800u);   // handheld dates count from 1904
    std::string header(kHeaderSize, '\0');
    Put32(header, 0, kHeaderSize);
    header[4] = 1;
    std::memcpy(&header[6], kDatabaseName, sizeof kDatabaseName - 1);
    Put32(header, 44, 0x56717861);   // 'Vqxa'
    Put32(header, 48, 0x44415441);   // 'DATA'
    Put32(header, 56, now);
    Put32(header, 64, now);
    Put32(header, 76, blockSize);

    std::string image = header + block + data;
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite))
        return false;
    try {
        file.Write(image.data(), static_cast<UINT>(image.size()));
        file.Close();
    } catch (const CFileException&) {
        file.Abort();
        CFile::Remove(path.c_str());
        return false;
    }
    return true;
}

} // namespace tessaly
