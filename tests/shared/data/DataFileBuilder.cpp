#include "shared/data/DataFileBuilder.h"

#include "Blowfish.h"
#include "Md5.h"

#include <algorithm>

namespace testdata {

namespace {

// n bytes of v at off, little- or big-endian; an offset outside the image throws.
void Put(Bytes& b, std::size_t off, std::uint32_t v, int n = 4, bool bigEndian = false)
{
    for (int i = n - 1; i >= 0; --i)   // the last byte first: nothing is written when it is outside
        b.at(off + i) = static_cast<unsigned char>(v >> (8 * (bigEndian ? n - 1 - i : i)));
}

std::uint32_t Get(const Bytes& b, std::size_t off, bool bigEndian = false)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(b.at(off + i)) << (8 * (bigEndian ? 3 - i : i));
    return v;
}

// 32 bytes, always NUL-terminated.
void PutName32(Bytes& b, std::size_t off, const std::string& name)
{
    std::copy(name.begin(), name.begin() + std::min<std::size_t>(name.size(), 31), b.begin() + off);
}

// A block: 56-byte header (size, tag, data offset, name, capacity, length
// in use, reserved), 0xEE up to the data offset, the data.
Bytes Block(const std::string& name, const Bytes& data, std::uint32_t dataOffset)
{
    Bytes b(dataOffset + data.size(), 0xEE);
    std::fill(b.begin(), b.begin() + 56, 0);
    const std::uint32_t size = static_cast<std::uint32_t>(data.size());
    Put(b, 0, static_cast<std::uint32_t>(b.size()));
    Put(b, 4, 0x1002, 2);
    Put(b, 8, dataOffset);
    PutName32(b, 12, name);
    Put(b, 44, size);
    Put(b, 48, size);
    Put(b, 52, 0x12345678);
    std::copy(data.begin(), data.end(), b.begin() + dataOffset);
    return b;
}

// Blowfish over whole 8-byte blocks, each taken as two big-endian words; a
// tail shorter than 8 bytes stays as it is.
void EncipherBE(Bytes& data, const std::string& password)
{
    NorvaneCommon::Blowfish bf;
    bf.Set_Passwd(password.c_str());
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        // The cipher takes its halves as native words; handing it the
        // big-endian values keeps this independent of the host's byte order.
        std::uint32_t halves[2] = {Get(data, i, true), Get(data, i + 4, true)};
        bf.Encrypt(halves, 8);
        Put(data, i, halves[0], 4, true);
        Put(data, i + 4, halves[1], 4, true);
    }
}

} // namespace

void PutLE32(Bytes& b, std::size_t off, std::uint32_t v) { Put(b, off, v); }
std::uint32_t GetLE32(const Bytes& b, std::size_t off) { return Get(b, off); }

Bytes DataFileBuilder::CategoryBlock(std::uint16_t renamed, const CategorySlot slots[16], std::uint8_t lastID)
{
    Bytes b(layout::CategoryBlock, 0);
    Put(b, 0, renamed, 2, true);
    for (int i = 0; i < 16; ++i) {
        std::copy(slots[i].name.begin(), slots[i].name.begin() + std::min<std::size_t>(slots[i].name.size(), 16),
                  b.begin() + 2 + 16 * i);
        b[258 + i] = slots[i].id;
    }
    b[274] = lastID;
    return b;
}

Bytes DataFileBuilder::BuildAppInfoData() const
{
    if (useAppInfoData)
        return appInfoData;
    Bytes b = CategoryBlock(renamedWord, categories, lastUniqueID);
    for (int i = 0; i < 32; ++i)   // kept as read
        b.push_back(static_cast<unsigned char>(0xA0 + i));
    Bytes d = digest;
    d.resize(16, 0);
    if (digest.empty() && hasPassword)
        NorvaneCommon::CMd5::Digest(password.data(), password.size(), d.data());
    b.insert(b.end(), d.begin(), d.end());
    b.insert(b.end(), hint.begin(), hint.end());
    b.push_back(0);
    b.insert(b.end(), appInfoTail.begin(), appInfoTail.end());
    return b;
}

Bytes DataFileBuilder::BuildRecordData(const RecordPlan& r) const
{
    Bytes data = r.data;
    if (!r.useData) {   // leading byte, zero, text, NUL, zeros to a multiple of 8
        data.assign((r.text.size() + 3 + 7) / 8 * 8, 0);
        data[0] = r.leading;
        std::copy(r.text.begin(), r.text.end(), data.begin() + 2);
    }
    if (hasPassword && r.encipher)
        EncipherBE(data, password);
    return data;
}

std::size_t DataFileBuilder::RecordOffset(std::size_t i) const
{
    std::size_t off = SortInfoOffset() + SortInfoSize();
    for (std::size_t k = 0; k < i; ++k)
        off += records.at(k).dataOffset + BuildRecordData(records[k]).size();
    return off;
}

Bytes DataFileBuilder::Build() const
{
    Bytes appInfo = hasAppInfo ? Block(dbName, BuildAppInfoData(), appInfoDataOffset) : Bytes();
    Bytes sort = hasSortInfo ? Block(dbName, sortInfo, 56) : Bytes();
    Bytes out(84, 0);
    Put(out, 0, 84);
    Put(out, 4, 1, 2);   // header version
    PutName32(out, 6, dbName);
    // Version, creator "Vqxa", type "DATA", attributes, dates and modification
    // number: values the library has no business changing.
    const std::uint32_t carried[] = {1, 0x56717861, 0x44415441, 0x0008, 0xB1C2D3E4, 17, 0xA1B2C3D4, 0xC1D2E3F4};
    for (int i = 0; i < 8; ++i)
        Put(out, 40 + 4 * i, carried[i]);
    Put(out, 72, static_cast<std::uint32_t>(records.size()));
    Put(out, 76, static_cast<std::uint32_t>(appInfo.size()));
    Put(out, 80, static_cast<std::uint32_t>(sort.size()));
    out.insert(out.end(), appInfo.begin(), appInfo.end());
    out.insert(out.end(), sort.begin(), sort.end());
    for (const RecordPlan& r : records) {
        Bytes data = BuildRecordData(r);
        Bytes rec(r.dataOffset, 0xEE);
        std::fill(rec.begin(), rec.begin() + 40, 0);
        Put(rec, 0, static_cast<std::uint32_t>(r.dataOffset + data.size()));
        Put(rec, 4, 0x1002, 2);
        Put(rec, 8, r.dataOffset);
        Put(rec, 16, r.id);
        Put(rec, 20, r.indexField);
        Put(rec, 24, r.attributes, 2);
        Put(rec, 28, r.category);
        Put(rec, 36, static_cast<std::uint32_t>(data.size()));
        out.insert(out.end(), rec.begin(), rec.end());
        out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), trailing.begin(), trailing.end());
    return out;
}

} // namespace testdata
