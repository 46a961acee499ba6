#include "access/blockread.h"

#include <cstring>

#include "access/docstate.h"
#include "access/source.h"

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
