// The conduit's reader of the desktop data file on arbitrary bytes: it either
// refuses them with a result of its own or holds records that its writer
// stores and its reader gives back unchanged.
#include "DesktopDb.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string Folder()
{
    static std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-desktopdb-XXXXXX";
        return std::string(mkdtemp(tmpl));
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string in = Folder() + "/in.dat";
    FILE* f = std::fopen(in.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    CDesktopDb db("Tessaly-Vqxa", Folder().c_str(), "in.dat", 3, 1, nullptr);
    if (db.Open() != 0 || db.Load() != 0)
        return 0;
    db.LoadCategories();
    // Written as the conduit writes it, then read again.
    CDesktopDb out("Tessaly-Vqxa", Folder().c_str(), "out.dat", 3, 2, nullptr);
    if (!db.GetHeader())
        return 0;
    for (int i = 0; i < db.GetEnd(); ++i)
        if (const CSyncRecord* r = db.GetAt(i)) {
            CSyncRecord copy(*r);
            out.AddRecord(copy);
        }
    out.SetAppInfo("x", db.GetAppInfoData(), db.GetAppInfoLength(), 0);
    SyncDbDescriptor desc = {};
    out.SetHeaderFrom(desc);
    if (out.WriteFile() != 0)
        std::abort();
    CDesktopDb back("Tessaly-Vqxa", Folder().c_str(), "out.dat", 3, 1, nullptr);
    if (back.Open() != 0 || back.Load() != 0 || back.GetRecordCount() != db.GetRecordCount())
        std::abort();
    for (int i = 0; i < back.GetRecordCount(); ++i) {
        CSyncRecord a, b;
        db.ReadCopyByOrdinal(i, a);
        back.ReadCopyByOrdinal(i, b);
        if (a.Compare(b) != 0 || a.GetID() != b.GetID())
            std::abort();
    }
    return 0;
}
