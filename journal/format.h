// The journal file's byte layout and the primitives every reader and writer of it shares.
// All integers are little-endian whatever the host; 64-bit values are low word first.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t kJnlMagic = 0xABCDEF03;
constexpr uint32_t kJnlMagicV210 = 0xABCDEF01; // usable only up to version 2.10
constexpr uint32_t kJnlMagicV218 = 0xABCDEF02; // usable only up to version 2.18

constexpr uint32_t kJnlHeaderSize = 1024;
constexpr uint32_t kJnlEntrySize = 640;
constexpr uint32_t kJnlRecordSize = 128;
constexpr uint32_t kJnlFieldsSize = 64;
constexpr uint32_t kJnlDataSize = 512;

// A journal pointer is null when its high word is 0xFFFFFFFF; the low word then means nothing.
constexpr uint64_t kNullPtr = 0xFFFFFFFF00000000ull;
inline bool isNullPtr(uint64_t p) {
    return (p >> 32) == 0xFFFFFFFFu;
}
// Sets a pointer to null the way writers do: high word only, the low word stays.
inline uint64_t nulled(uint64_t p) {
    return p | kNullPtr;
}
// Offset of entry k.
inline uint64_t entryOffset(uint64_t k) {
    return kJnlHeaderSize + kJnlEntrySize * k;
}

// Header field offsets.
enum : uint32_t {
    kHdrMagic = 0x000,
    kHdrAnfPtr = 0x004,
    kHdrViewOfs = 0x00C,
    kHdrUndo = 0x010,
    kHdrRest = 0x018,
    kHdrFirstPtr = 0x020,
    kHdrLastPtr = 0x028,
    kHdrMarkStart = 0x030,
    kHdrMarkEnd = 0x038,
    kHdrMarkFlag = 0x040,
    kHdrCommand = 0x044, // reserved by the format: the running command's number (0 for none)
    kHdrJnlEnd = 0x048,
    kHdrSourceTime = 0x050,
    kHdrUndoFirst = 0x060,
    kHdrReservedPtr1 = 0x068,
    kHdrReservedPtr2 = 0x070,
    kHdrReservedPtr3 = 0x098,
    kHdrSourceName = 0x103,
    kHdrPrevJournal = 0x203,
    kHdrNextJournal = 0x303
};
constexpr uint32_t kHdrNameSize = 256, kHdrNextJournalSize = 253;

// Record field offsets.
enum : uint32_t {
    kRecAdr = 0x00,
    kRecPrevPtr = 0x08,
    kRecNextPtr = 0x10,
    kRecPUndo = 0x18,
    kRecLen = 0x20,
    kRecPJnl = 0x24,
    kRecNJnl = 0x2C,
    kRecNUndo = 0x34,
    kRecFlags = 0x3C,
    kRecModBits = 0x40
};
// Prefixes of a record that are rewritten on their own.
enum : uint32_t {
    kPrefixLinks = 24,   // Adr, PrevPtr, NextPtr
    kPrefixUndo = 32,    // ... PUndo
    kPrefixVersion = 44, // ... Len, PJnl
    kPrefixFields = 64,
    kPrefixRecord = 128
};

// Record flag bits.
enum : uint32_t {
    kFlagJournalled = 0x1,
    kFlagContinues = 0x2,
    kFlagCurrent = 0x8,
    kFlagOriginal = 0x10,
    kFlagHidden = 0x20,
    kFlagLinked = 0x40,
    kFlagFromPrevious = 0x40000,
    kFlagVersions = 0x80000,
    kFlagInSource = 0x400000,
    kFlagUsedMask = 0x00FFFFFF
};

struct JournalHeader {
    uint32_t Magic;
    uint64_t SavedAnfPtr;
    uint32_t SavedViewOfs;
    uint64_t Undo, Rest, FirstPtr, LastPtr;
    uint64_t MarkStart, MarkEnd;
    uint32_t MarkFlag;
    uint64_t JnlEndAtClose;
    uint64_t SourceTime; // FILETIME, low word first
    uint64_t UndoFirst;
    char SourceName[kHdrNameSize];
    char PrevJournal[kHdrNameSize];
    char NextJournal[kHdrNextJournalSize];
    // The 1024 bytes as last read or initialised: reserved areas go back to the file as they
    // came, so that a journal is never changed where this program has no field.
    uint8_t image[kJnlHeaderSize];
};

struct JournalRecord {
    uint64_t Adr, PrevPtr, NextPtr, PUndo;
    uint32_t Len;
    uint64_t PJnl, NJnl, NUndo;
    uint32_t Flags;
    uint8_t ModBits[64];
    // In memory only.
    uint64_t JAdr;        // where the record lives in the journal
    int32_t PreviewSteps; // versions a preview has moved (shown in the pointer window)
};

// The open journal and the page records laid over the page on screen.
struct JournalState {
    char JnlName[260];
    Handle JnlHandle;
    uint64_t JnlEnd; // where the next entry goes: the file length
    JournalHeader Header;
    JournalRecord JData1, JData2;
    uint64_t JPrevPtr, JPrevAdr; // nearest address-chain node below the page
    uint64_t JNextPtr, JNextAdr; // nearest node above the page
    JournalRecord WorkRec[2];    // scratch records for chain updates
    // A chain pointer led nowhere since the journal was taken into use; writers that link
    // new records by the cursors should refuse then rather than cut the chain further.
    bool Damaged;
};

extern JournalState g_jnl;

inline bool journalOpen() {
    return g_jnl.JnlHandle != kInvalidHandle;
}
// True while the journal's address chain holds edits.
inline bool journalHasEdits() {
    return journalOpen() && !isNullPtr(g_jnl.Header.FirstPtr);
}

// No journal: handle invalid, header and page records cleared, cursors null.
void resetJournalState();

// ---- byte layout ----
uint32_t getU32(const uint8_t *p);
uint64_t getU64(const uint8_t *p);
void putU32(uint8_t *p, uint32_t v);
void putU64(uint8_t *p, uint64_t v);
void encodeHeader(const JournalHeader &h, uint8_t out[kJnlHeaderSize]);
void decodeHeader(const uint8_t in[kJnlHeaderSize], JournalHeader &h);
// Writes the first `n` bytes of the record image (n = 24, 32, 44, 64 or 128).
void encodeRecord(const JournalRecord &r, uint8_t *out, uint32_t n);
// Reads the first `n` bytes (at least 64) of a record image; ModBits only when n is 128.
void decodeRecord(const uint8_t *in, uint32_t n, JournalRecord &r);
// Fresh header fields: magic, zero position, null chain heads, no marking, the two name
// texts and the source path. Other bytes stay as they are in h.image.
void initHeaderFields(JournalHeader &h, const char *sourcePath);

// ---- access through g_jnl.JnlHandle (failures are reported with the journal path) ----
// True when `p` names an entry that lies wholly inside the journal.
bool validEntry(uint64_t p);
bool readHeader(uint32_t *got);
bool writeHeader();
// Reads the 64 bytes of fields at `p`. An invalid pointer or a short read is reported as a
// damaged journal and returns false.
// The record cache: every write to the journal file passes through noteJournalWrite (buf
// null for a failed write); forgetJournalCache when the file is closed or changed elsewhere.
void noteJournalWrite(uint64_t pos, const void *buf, uint32_t n);
void forgetJournalCache();

bool readFields(uint64_t p, JournalRecord &r);
// Reads the 128-byte record at `p` (sets r.JAdr); the data block follows with readData.
bool readRecord(uint64_t p, JournalRecord &r);
bool readData(uint8_t buf[kJnlDataSize]);
bool readDataByte(uint64_t p, uint32_t i, uint8_t *out);
// Rewrites the first `n` bytes of the record at r.JAdr.
bool rewriteRecord(const JournalRecord &r, uint32_t n);
// Writes the 512 data bytes of the entry at `p`.
bool writeData(uint64_t p, const uint8_t data[kJnlDataSize]);
// Number of whole entries the journal can hold up to JnlEnd: the bound of every chain walk.
uint64_t entryCount();
// Reports a damaged journal (a chain pointer that leads nowhere sensible) under the journal's
// name with the system text for invalid data.
void reportDamagedJournal();
