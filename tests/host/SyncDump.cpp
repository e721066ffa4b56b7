// sync_dump DIR NAME: prints a handheld database's records as the Sync
// Manager stand-in serves them, so that tests can read back what another
// process wrote.
#include "SyncMgr.h"

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    SyncDbHandle h = 0;
    if (argc != 3 || TessalyHostServeFolder(argv[1]) || SyncOpenDB(argv[2], 0, &h, SYNC_MODE_READ)) {
        std::fprintf(stderr, "usage: sync_dump DIR NAME, NAME a database in DIR\n");
        return 1;
    }
    uint16_t count = 0;
    SyncGetDBRecordCount(h, &count);
    std::printf("count %u\n", count);
    std::vector<uint8_t> buf(65535);
    for (uint16_t i = 0; i < count; ++i) {
        SyncRawRecord r = {};
        r.dbHandle = h;
        r.recordIndex = i;
        r.pData = buf.data();
        r.bufferSize = 65535;
        if (SyncReadRecordByIndex(&r) != 0)
            return 1;
        std::printf("record %u id %u attr %02x cat %d len %u data ", i, +r.recordId, +r.attributes, +r.category,
                    +r.dataLength);
        for (uint32_t k = 0; k < r.dataLength; ++k)
            std::printf("%02x", buf[k]);
        std::printf("\n");
    }
    return SyncCloseDB(h) != 0;
}
