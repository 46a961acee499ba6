// Journal chain updates: the address chain across all versions of a block, the undo chain,
// the restore chain and the version links. Each reads a record's fields from the journal,
// changes one link, writes the prefix the link lives in, and gives the same change to the
// page record held in memory when it is that record.
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

// Writes the first 24 bytes of `node` (at node.JAdr) to it and to all its versions. A
// damaged version chain ends the walk with a report.
bool propagateLinks(const JournalRecord &node);
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
// Appends a whole entry at JnlEnd (r.JAdr becomes its position). A failed write is cut back
// and leaves JnlEnd as it was, so nothing points at a piece of an entry.
bool appendEntry(JournalRecord &r, const uint8_t *data, uint32_t len);
// Cuts the journal back to `end` after a failed append left a piece behind.
void trimJournal(uint64_t end);

// True when `r` is linked into the undo chain (a neighbour, or the chain's first record).
bool inUndoChain(const JournalRecord &r);
// Takes `r` out of the undo chain (its neighbours are linked to each other).
void unlinkUndo(const JournalRecord &r);
// Links `r` into the undo chain after the record its PUndo names. A record already in the
// chain is taken out first, so that no record becomes its own neighbour.
void insertUndo(JournalRecord &r, bool inChain);
// r's undo links as the journal holds them (updates of its neighbours may have changed them).
void refreshUndoLinks(JournalRecord &r);
// Moves `r` to the undo cursor (it becomes Undo); nothing when it is Undo already.
void moveToUndoCursor(JournalRecord &r);
// The neighbours of r's block (all their versions) and FirstPtr/LastPtr lead to r.
void relinkNeighbours(JournalRecord &r);

// Takes page record `block` out of the address chain: its neighbours (all their versions)
// are linked to each other, FirstPtr/LastPtr follow, the title loses its mark when the
// chain becomes empty. The record gets `setFlags`, loses `clearFlags` (0x40 at least) and
// its 64 bytes are written; its JReadFlag bit is cleared.
int unlinkRecord(int block, uint32_t setFlags, uint32_t clearFlags);
