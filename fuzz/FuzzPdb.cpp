// The .pdb reader on arbitrary bytes: it either refuses them or gives a
// database that is written and read back unchanged; the memo helpers that
// read the handheld's blocks and records must stay inside them too.
#include "MemoDb.h"
#include "PdbFile.h"

#include <cstdlib>

using namespace tessaly;

namespace {
bool Same(const PdbDatabase& a, const PdbDatabase& b)
{
    if (a.name != b.name || a.attributes != b.attributes || a.version != b.version || a.createDate != b.createDate ||
        a.modDate != b.modDate || a.backupDate != b.backupDate || a.modNumber != b.modNumber || a.type != b.type ||
        a.creator != b.creator || a.uniqueIdSeed != b.uniqueIdSeed || a.hasAppInfo != b.hasAppInfo ||
        a.appInfo != b.appInfo || a.hasSortInfo != b.hasSortInfo || a.sortInfo != b.sortInfo ||
        a.records.size() != b.records.size())
        return false;
    for (std::size_t i = 0; i < a.records.size(); ++i) {
        const PdbRecord &x = a.records[i], &y = b.records[i];
        if (x.data != y.data || (a.IsResource() ? (x.resourceType != y.resourceType || x.resourceId != y.resourceId)
                                                : (x.attributes != y.attributes || x.uniqueId != y.uniqueId)))
            return false;
    }
    return true;
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
    if (ParsePdb(out.data(), out.size(), again) != PdbResult::OK || !Same(db, again))
        std::abort();

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
