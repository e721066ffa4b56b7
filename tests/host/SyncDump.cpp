// sync_dump DIR NAME: prints a handheld database as the Sync Manager stand-in
// serves it, so that tests can read back what another process wrote.
#include "SyncMgr.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {
void Hex(const std::uint8_t* p, unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        std::printf("%02x", p[i]);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sync_dump DIR NAME\n");
        return 64;
    }
    TessalyHostServeFolder(argv[1]);
    SyncDbHandle h = 0;
    SyncErr e = SyncOpenDB(argv[2], 0, &h, SYNC_MODE_READ);
    if (e) {
        std::printf("error %x\n", static_cast<unsigned>(e));
        return 1;
    }
    uint16_t count = 0;
    SyncGetDBRecordCount(h, &count);
    std::printf("count %u\n", count);
    std::vector<std::uint8_t> buf(65535);
    for (uint16_t i = 0; i < count; ++i) {
        SyncRawRecord r = {};
        r.dbHandle = h;
        r.recordIndex = i;
        r.pData = buf.data();
        r.bufferSize = 65535;
        if ((e = SyncReadRecordByIndex(&r)) != 0) {
            std::printf("error %x\n", static_cast<unsigned>(e));
            return 1;
        }
        std::printf("record %u id %u attr %02x cat %d len %u data ", r.recordIndex, r.recordId, r.attributes,
                    r.category, r.dataLength);
        Hex(buf.data(), r.dataLength);
        std::printf("\n");
    }
    for (int sort = 0; sort < 2; ++sort) {
        SyncBlockDesc d = {};
        d.bufferSize = 65535;
        d.pBuffer = buf.data();
        e = sort ? SyncReadDBSortInfoBlock(h, &d) : SyncReadDBAppInfoBlock(h, &d);
        std::printf("%s ", sort ? "sortinfo" : "appinfo");
        if (e == SYNCERR_NOT_FOUND) {
            std::printf("none\n");
            continue;
        }
        std::printf("len %u data ", d.bytesUsed);
        Hex(buf.data(), d.bytesUsed);
        std::printf("\n");
    }
    SyncCloseDB(h);
    return 0;
}
