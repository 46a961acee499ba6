// The one record of the open document, shared by every part of the program.
#pragma once

#include <cstdint>
#include "platform/platform.h"

// MidPtr with this high word means the page pair has no block 2.
constexpr uint64_t kNoBlock2 = 0xFFFFFFFF00000000ull;

struct DocumentState {
    // Source
    Handle SrcHandle;
    char SrcName[260];
    uint32_t DriveIndex;
    uint64_t FileSize;
    uint64_t LastPos;     // position of the last byte (0 for an empty source)
    uint64_t LastPairPtr; // origin of the last 1024-byte page pair
    uint64_t LastBlkPtr;  // origin of the last 512-byte block
    uint32_t ScrollShift;

    // Page pair
    uint64_t ReadPtr;
    uint64_t AnfPtr;
    uint64_t MidPtr;
    uint8_t PageBuf[1024];
    uint32_t Blk1Len, Blk2Len, PageLen, Blk2Flag;
    uint32_t ViewOfs;
    uint8_t ModMask[128];
    uint32_t JReadFlag;

    // Cursor and marking
    uint32_t CurOfs, CurCol;
    int32_t CurHexX, CurY, CurCharX;
    uint64_t MarkStart, MarkEnd;
    uint32_t MarkFlag;

    // Mode words
    uint32_t ModFlag, InputFlag, AccessFlag;
};

// ModFlag bits
enum : uint32_t {
    kModCursorMove = 0x1,
    kModLowNibble = 0x2,
    kModAutoUp = 0x10,
    kModAutoDown = 0x20,
    kModPlay = 0x40,
    kModDisk = 0x80,
    kModSector = 0x100,
    kModPointerView = 0x40000000,
    kModDriveDialog = 0x80000000
};
// AccessFlag bits
enum : uint32_t { kAccUnlocked = 0x2, kAccDirect = 0x4, kAccWritable = 0x8 };
// InputFlag bits
enum : uint32_t { kInputBlk1 = 0x2, kInputBlk2 = 0x4 };

extern DocumentState g_doc;

inline bool sourceOpen() {
    return g_doc.SrcHandle != kInvalidHandle;
}
// A drive (disk mode, or sector mode on the old systems): read and written by whole sectors.
inline bool diskMode() {
    return (g_doc.ModFlag & (kModDisk | kModSector)) != 0;
}
inline bool hasBlock2() {
    return (g_doc.MidPtr >> 32) != 0xFFFFFFFFu;
}

// Puts the whole document record into its no-document state (cursor and modes included).
void resetDocumentState();
// The closing reset: no source, positions and sizes 0, title blanks, mask and inputs cleared.
void closingReset();
// Derives LastPos, LastPairPtr and LastBlkPtr from FileSize.
void computeSizeFields();
