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
// Bytes of the source's block at `adr` (512, fewer at the end, 0 beyond it): the length a
// block has on the page whatever its record says.
uint32_t sourceBlockLength(uint64_t adr);

// Laying the journal over a long range piece by piece, without the page pair: the bytes the
// view shows, for output files. The cursor walks the address chain once, upwards.
struct OverlayCursor {
    uint64_t p, lastAdr, steps;
};
void startOverlay(OverlayCursor &c);
// `buf` holds the source's bytes [pos, pos+n); the records of blocks in that range are laid
// over them. Pieces must follow each other upwards. False (reported) on a journal that cannot
// be read or a damaged chain.
bool overlayRange(OverlayCursor &c, uint64_t pos, uint32_t n, uint8_t *buf);

// Forgets the page records and cursors (no journal, or a journal just emptied).
void clearPageRecords();

// Ctrl+N / Ctrl+P: to the nearest journalled block above / below the page.
int nextEdit();
int previousEdit();
