#include "shared/data/DataFileBuilder.h"

#include "Blowfish.h"
#include "Md5.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace testdata {

// ------------------------------------------------------------------- bytes

static void Need(const Bytes& b, std::size_t off, std::size_t n)
{
    if (off > b.size() || n > b.size() - off)
        throw std::out_of_range("offset outside the image");
}

void PutLE16(Bytes& b, std::size_t off, std::uint16_t v)
{
    Need(b, off, 2);
    b[off] = static_cast<unsigned char>(v);
    b[off + 1] = static_cast<unsigned char>(v >> 8);
}

void PutLE32(Bytes& b, std::size_t off, std::uint32_t v)
{
    Need(b, off, 4);
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutBE16(Bytes& b, std::size_t off, std::uint16_t v)
{
    Need(b, off, 2);
    b[off] = static_cast<unsigned char>(v >> 8);
    b[off + 1] = static_cast<unsigned char>(v);
}

static void PutBE32(Bytes& b, std::size_t off, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

static std::uint32_t GetBE32(const Bytes& b, std::size_t off)
{
    return static_cast<std::uint32_t>(b[off]) << 24 | static_cast<std::uint32_t>(b[off + 1]) << 16 |
           static_cast<std::uint32_t>(b[off + 2]) << 8 | b[off + 3];
}

std::uint16_t GetLE16(const Bytes& b, std::size_t off)
{
    Need(b, off, 2);
    return static_cast<std::uint16_t>(b[off] | b[off + 1] << 8);
}

std::uint32_t GetLE32(const Bytes& b, std::size_t off)
{
    Need(b, off, 4);
    return static_cast<std::uint32_t>(b[off]) | static_cast<std::uint32_t>(b[off + 1]) << 8 |
           static_cast<std::uint32_t>(b[off + 2]) << 16 | static_cast<std::uint32_t>(b[off + 3]) << 24;
}

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

void Truncate(Bytes& b, std::size_t newSize)
{
    if (newSize < b.size())
        b.resize(newSize);
}

static void PutName32(Bytes& b, std::size_t off, const std::string& name)
{
    // 32 bytes, always NUL-terminated.
    std::size_t n = std::min<std::size_t>(name.size(), 31);
    std::copy(name.begin(), name.begin() + n, b.begin() + off);
}

// ----------------------------------------------------------------- records

RecordPlan RecordPlan::Memo(const std::string& text, std::uint8_t leading)
{
    RecordPlan r;
    r.text = text;
    r.leading = leading;
    return r;
}

RecordPlan RecordPlan::Raw(const Bytes& data)
{
    RecordPlan r;
    r.useData = true;
    r.data = data;
    r.encipher = false;
    return r;
}

// ----------------------------------------------------------------- builder

DataFileBuilder::DataFileBuilder()
    : dbName("Tessaly-Vqxa"), creator(FourCC("Vqxa")), type(FourCC("DATA")), kept(32, 0)
{
    for (int i = 0; i < 32; ++i)
        kept[i] = static_cast<unsigned char>(0xA0 + i);
}

std::uint32_t DataFileBuilder::FourCC(const char code[4])
{
    // Held as a 32-bit integer whose most significant byte is the first letter.
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<unsigned char>(code[3]);
}

RecordPlan& DataFileBuilder::AddMemo(const std::string& text, std::uint32_t id, std::uint16_t attributes,
                                     std::uint32_t category)
{
    RecordPlan r = RecordPlan::Memo(text);
    r.id = id;
    r.attributes = attributes;
    r.category = category;
    records.push_back(r);
    return records.back();
}

Bytes DataFileBuilder::CategoryBlock(std::uint16_t renamed, const CategorySlot slots[16], std::uint8_t lastID)
{
    Bytes b(layout::CategoryBlock, 0);
    PutBE16(b, 0, renamed);
    for (int i = 0; i < 16; ++i) {
        std::size_t n = std::min<std::size_t>(slots[i].name.size(), 16);
        std::copy(slots[i].name.begin(), slots[i].name.begin() + n, b.begin() + 2 + 16 * i);
        b[258 + i] = slots[i].id;
    }
    b[274] = lastID;
    return b;
}

Bytes DataFileBuilder::MemoPlain(std::uint8_t leading, const std::string& text)
{
    std::size_t length = (text.size() + 3 + 7) / 8 * 8;
    Bytes b(length, 0);
    b[0] = leading;
    std::copy(text.begin(), text.end(), b.begin() + 2);
    return b;
}

static void Cipher(Bytes& data, const std::string& password, bool encipher)
{
    NorvaneCommon::Blowfish bf;
    bf.Set_Passwd(password.c_str());
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        // The cipher takes its halves as native words; handing it the
        // big-endian values keeps this independent of the host's byte order.
        std::uint32_t halves[2] = {GetBE32(data, i), GetBE32(data, i + 4)};
        if (encipher)
            bf.Encrypt(halves, 8);
        else
            bf.Decrypt(halves, 8);
        PutBE32(data, i, halves[0]);
        PutBE32(data, i + 4, halves[1]);
    }
}

void DataFileBuilder::EncipherBE(Bytes& data, const std::string& password) { Cipher(data, password, true); }
void DataFileBuilder::DecipherBE(Bytes& data, const std::string& password) { Cipher(data, password, false); }

Bytes DataFileBuilder::BuildAppInfoData() const
{
    if (useAppInfoData)
        return appInfoData;
    Bytes b = CategoryBlock(renamedWord, categories, lastUniqueID);
    Bytes k = kept;
    k.resize(32, 0);
    b.insert(b.end(), k.begin(), k.end());
    Bytes d(16, 0);
    if (!digest.empty()) {
        d = digest;
        d.resize(16, 0);
    } else if (hasPassword) {
        NorvaneCommon::CMd5::Digest(password.data(), password.size(), d.data());
    }
    b.insert(b.end(), d.begin(), d.end());
    b.insert(b.end(), hint.begin(), hint.end());
    b.push_back(0);
    b.insert(b.end(), appInfoTail.begin(), appInfoTail.end());
    return b;
}

Bytes DataFileBuilder::BuildRecordData(const RecordPlan& r) const
{
    Bytes data = r.useData ? r.data : MemoPlain(r.leading, r.text);
    if (hasPassword && r.encipher)
        EncipherBE(data, password);
    return data;
}

std::size_t DataFileBuilder::AppInfoSize() const
{
    return hasAppInfo ? appInfoDataOffset + BuildAppInfoData().size() : 0;
}

std::size_t DataFileBuilder::SortInfoSize() const { return hasSortInfo ? layout::BlockHeader + sortInfo.size() : 0; }

std::size_t DataFileBuilder::RecordSize(std::size_t i) const
{
    return records.at(i).dataOffset + BuildRecordData(records[i]).size();
}

std::size_t DataFileBuilder::RecordOffset(std::size_t i) const
{
    std::size_t off = SortInfoOffset() + SortInfoSize();
    for (std::size_t k = 0; k < i; ++k)
        off += RecordSize(k);
    return off;
}

static Bytes Block(const std::string& name, const Bytes& data, std::uint32_t dataOffset, std::uint32_t reserved)
{
    Bytes b(dataOffset + data.size(), 0xEE);
    std::fill(b.begin(), b.begin() + layout::BlockHeader, 0);
    PutLE32(b, 0, static_cast<std::uint32_t>(b.size()));
    PutLE16(b, 4, 0x1002);
    PutLE32(b, 8, dataOffset);
    PutName32(b, 12, name);
    PutLE32(b, 44, static_cast<std::uint32_t>(data.size()));
    PutLE32(b, 48, static_cast<std::uint32_t>(data.size()));
    PutLE32(b, 52, reserved);
    std::copy(data.begin(), data.end(), b.begin() + dataOffset);
    return b;
}

Bytes DataFileBuilder::Build() const
{
    Bytes appInfo = hasAppInfo ? Block(dbName, BuildAppInfoData(), appInfoDataOffset, appInfoReserved) : Bytes();
    Bytes sort = hasSortInfo ? Block(dbName, sortInfo, layout::BlockHeader, 0) : Bytes();

    Bytes out(layout::FileHeader, 0);
    PutLE32(out, 0, layout::FileHeader);
    PutLE16(out, 4, headerVersion);
    PutName32(out, 6, dbName);
    PutLE32(out, 40, dbVersion);
    PutLE32(out, 44, creator);
    PutLE32(out, 48, type);
    PutLE16(out, 52, dbAttributes);
    PutLE32(out, 56, modDate);
    PutLE32(out, 60, modNumber);
    PutLE32(out, 64, createDate);
    PutLE32(out, 68, backupDate);
    PutLE32(out, 72, static_cast<std::uint32_t>(records.size()));
    PutLE32(out, 76, static_cast<std::uint32_t>(appInfo.size()));
    PutLE32(out, 80, static_cast<std::uint32_t>(sort.size()));
    out.insert(out.end(), appInfo.begin(), appInfo.end());
    out.insert(out.end(), sort.begin(), sort.end());

    for (const RecordPlan& r : records) {
        Bytes data = BuildRecordData(r);
        Bytes rec(r.dataOffset, 0xEE);
        std::fill(rec.begin(), rec.begin() + layout::RecordHeader, 0);
        PutLE32(rec, 0, static_cast<std::uint32_t>(r.dataOffset + data.size()));
        PutLE16(rec, 4, 0x1002);
        PutLE32(rec, 8, r.dataOffset);
        PutLE32(rec, 16, r.id);
        PutLE32(rec, 20, r.indexField);
        PutLE16(rec, 24, r.attributes);
        PutLE32(rec, 28, r.category);
        PutLE32(rec, 36, static_cast<std::uint32_t>(data.size()));
        out.insert(out.end(), rec.begin(), rec.end());
        out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), trailing.begin(), trailing.end());
    return out;
}

} // namespace testdata
