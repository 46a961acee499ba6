// Page loaders: each fills the page pair for ReadPtr, lays the journal's records over it and
// keeps the cursors JPrevPtr/JNextPtr (nearest address-chain nodes below and above the page),
// reusing a block already in memory where it can.
#pragma once

#include <cstdint>

// Loads the pair at ReadPtr with the loader its distance from AnfPtr calls for.
void gotoPage();
// The page at source address 0; primes the cursors. Returns 1 when the chain is empty.
int gotoFirstPage();
// The page at LastPairPtr. Returns 1 when the chain is empty.
int gotoLastPage();
// Both blocks again in place, from their records or the source.
void reloadPage();
// Both blocks straight from the source, no record.
void readPagePlain();

// The seven movers by distance (gotoPage picks one; each settles pending inputs first).
void stepForward();
void skipForward();
void jumpForward();
void stepBack();
void skipBack();
void jumpBack();

// The change map of page record JData1 (JData2) into its half of ModMask; a record whose
// marks are hidden (flag 0x20) clears the half instead.
void loadMask1();
void loadMask2();
// Loads the record at journal position `p` as block 1 (AnfPtr from its Adr) or block 2:
// record, mask half, bytes (from the source when flag 0x400000) and block length. A record
// that cannot be read leaves the block read from the source; returns false then.
bool loadRecordAsBlock1(uint64_t p);
bool loadRecordAsBlock2(uint64_t p);
// Forgets the page records and cursors (no journal, or a journal just emptied).
void clearPageRecords();

// Ctrl+N / Ctrl+P: to the nearest journalled block above / below the page.
int nextEdit();
int previousEdit();
