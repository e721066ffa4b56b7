// The .pdb reader on arbitrary bytes: it either refuses them or gives a
// database that is written and read back unchanged; the memo helpers that
// read the handheld's blocks and records must stay inside them too.
#include "MemoDb.h"
#include "PdbFile.h"

#include <cstdlib>
#include <tuple>

using namespace tessaly;

namespace {
auto Fields(const PdbDatabase& d)
{
    return std::tie(d.name, d.attributes, d.version, d.createDate, d.modDate, d.backupDate, d.modNumber, d.type,
                    d.creator, d.uniqueIdSeed, d.hasAppInfo, d.appInfo, d.hasSortInfo, d.sortInfo);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    PdbDatabase db;
    if (ParsePdb(data, size, db) != PdbResult::OK)
        return 0;
    std::vector<std::uint8_t> out;
    if (SerializePdb(db, out) != PdbResult::OK)
        std::abort();
    PdbDatabase again;
    if (ParsePdb(out.data(), out.size(), again) != PdbResult::OK || Fields(db) != Fields(again) ||
        db.records.size() != again.records.size())
        std::abort();
    for (std::size_t i = 0; i < db.records.size(); ++i) {
        const PdbRecord &x = db.records[i], &y = again.records[i];
        if (x.data != y.data || (db.IsResource() ? (x.resourceType != y.resourceType || x.resourceId != y.resourceId)
                                                 : (x.attributes != y.attributes || x.uniqueId != y.uniqueId)))
            std::abort();
    }

    volatile std::size_t sink = 0;
    sink += HasPassword(db.appInfo) + Hint(db.appInfo).size();
    for (unsigned i = 0; i < 16; ++i)
        sink += CategoryName(db.appInfo, i).size() + CategoryId(db.appInfo, i) + CategoryRenamed(db.appInfo, i);
    for (const PdbRecord& r : db.records) {
        std::uint8_t leading;
        std::string text;
        if (DecodeMemo(r.data, nullptr, leading, text))
            sink += text.size() + leading;
    }
    (void)sink;
    return 0;
}
