// The conduit's reader of the desktop data file on arbitrary bytes: it either
// refuses them with a result of its own or holds records that its writer
// stores and its reader gives back unchanged.
#include "DesktopDb.h"
#include "FuzzFile.h"

namespace {

void Exercise(const std::string& dir, const std::string& in, const std::string& out)
{
    CDesktopDb db("Tessaly-Vqxa", dir.c_str(), in.c_str(), 3, 1, nullptr);
    if (db.Open() != 0 || db.Load() != 0)
        return;
    db.LoadCategories();
    if (!db.GetHeader())
        return;
    // Written as the conduit writes it, then read again.
    CDesktopDb written("Tessaly-Vqxa", dir.c_str(), out.c_str(), 3, 2, nullptr);
    for (int i = 0; i < db.GetEnd(); ++i)
        if (const CSyncRecord* r = db.GetAt(i)) {
            CSyncRecord copy(*r);
            written.AddRecord(copy);
        }
    written.SetAppInfo("x", db.GetAppInfoData(), db.GetAppInfoLength(), 0);
    SyncDbDescriptor desc = {};
    written.SetHeaderFrom(desc);
    if (written.WriteFile() != 0)
        std::abort();
    CDesktopDb back("Tessaly-Vqxa", dir.c_str(), out.c_str(), 3, 1, nullptr);
    if (back.Open() != 0 || back.Load() != 0 || back.GetRecordCount() != db.GetRecordCount())
        std::abort();
    for (int i = 0; i < back.GetRecordCount(); ++i) {
        CSyncRecord a, b;
        db.ReadCopyByOrdinal(i, a);
        back.ReadCopyByOrdinal(i, b);
        if (a.Compare(b) != 0 || a.GetID() != b.GetID())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!WriteInput("desktopdb", data, size))
        std::abort();
    const std::string in = InputName("desktopdb"), out = in + ".out";
    Exercise(InputFolder(), in, out);
    // Removed each time: libFuzzer may end the process without exit handlers.
    for (const std::string& name : {in, out, out + ".new"})
        std::remove((InputFolder() + "/" + name).c_str());
    return 0;
}
