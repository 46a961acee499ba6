#include "access/blockread.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/sector.h"

// Reads one 512-byte block at `pos` into `buf`; returns the count read.
static uint32_t readSourceBlock(uint64_t &pos, uint8_t *buf) {
    Platform &p = plat();
    uint32_t got = 0;
    bool ok;
    if (g_doc.ModFlag & kModSector) {
        ok = sectorRead(pos >> 9, 1, buf);
        pos &= ~uint64_t(511);
        got = 512;
    } else {
        ok = p.seekFile(g_doc.SrcHandle, pos) && p.readFile(g_doc.SrcHandle, buf, 512, &got);
    }
    if (!ok) reportError(kReadErrorPrefix, g_doc.SrcName);
    return got;
}

void setMidPtr() {
    g_doc.MidPtr = g_doc.AnfPtr + 512;
}

void readBlock1() {
    g_doc.JReadFlag &= ~1u;
    std::memset(g_doc.ModMask, 0, 64);
    g_doc.AnfPtr = g_doc.ReadPtr;
    g_doc.Blk1Len = readSourceBlock(g_doc.ReadPtr, g_doc.PageBuf);
    if (g_doc.Blk1Len >= 512) {
        setMidPtr();
    } else {
        g_doc.MidPtr = kNoBlock2;
        g_doc.PageLen = g_doc.Blk1Len;
        g_doc.Blk2Len = 0;
        g_doc.Blk2Flag = 0;
        g_doc.ViewOfs = 0;
    }
}

void readBlock2() {
    g_doc.JReadFlag &= ~2u;
    std::memset(g_doc.ModMask + 64, 0, 64);
    if (g_doc.Blk1Len >= 512) {
        g_doc.Blk2Len = readSourceBlock(g_doc.MidPtr, g_doc.PageBuf + 512);
        g_doc.PageLen = g_doc.Blk1Len + g_doc.Blk2Len;
        g_doc.Blk2Flag = g_doc.Blk2Len ? 512 : 0;
    } else {
        g_doc.MidPtr = kNoBlock2;
        g_doc.Blk2Len = 0;
        g_doc.PageLen = g_doc.Blk1Len;
        g_doc.Blk2Flag = 0;
    }
}
