// Journal chain updates the edit commands share: each reads a record's fields from the
// journal, changes one link, writes the prefix the link lives in, and gives the same change
// to the page record held in memory when it is that record.
#pragma once

#include <cstdint>

#include "journal/format.h"

// Page record of block 1 or 2 (JData1, JData2) and its JReadFlag bit.
JournalRecord &pageRecord(int block);
uint32_t pageRecordBit(int block);
// The other block's page record when it holds one, else nullptr.
JournalRecord *otherPageRecord(int block);

// A null value sets only the high word of the link (its low word stays as it was).
void assignLink(uint64_t &field, uint64_t value);

// Address links (PrevPtr/NextPtr), written to every version of the block (24 bytes each).
bool setAddrNext(uint64_t p, uint64_t value);
bool setAddrPrev(uint64_t p, uint64_t value);
// Undo links (PUndo/NUndo), 64 bytes.
bool setUndoNext(uint64_t p, uint64_t value);
bool setUndoPrev(uint64_t p, uint64_t value);
// Forward link of a direct-mode record in the restore chain (NextPtr), 32 bytes.
bool setRestoreNext(uint64_t p, uint64_t value);
// Version link PJnl, 44 bytes.
bool setVersionPrev(uint64_t p, uint64_t value);

// Writes a whole entry (record and 512 data bytes, zero beyond `len`) at `pos`. A failure
// is reported with the journal path.
bool writeEntry(uint64_t pos, const JournalRecord &r, const uint8_t *data, uint32_t len);
// Cuts the journal back to `end` after a failed append left a piece behind.
void trimJournal(uint64_t end);

// Source access of the edit commands; failures are reported with the source path.
// Reads `len` bytes at `pos` (whole sectors in the disk modes); *got receives the count.
bool readSourceBytes(uint64_t pos, uint32_t len, uint8_t *out, uint32_t *got);
bool readSourceByte(uint64_t pos, uint8_t *out);
bool writeSourceBytes(uint64_t pos, uint32_t len, const uint8_t *data);

// Takes page record `block` out of the address chain: its neighbours (all their versions)
// are linked to each other, FirstPtr/LastPtr follow, the title loses its mark when the
// chain becomes empty. The record gets `setFlags`, loses `clearFlags` (0x40 at least) and
// its 64 bytes are written; its JReadFlag bit is cleared.
int unlinkRecord(int block, uint32_t setFlags, uint32_t clearFlags);
