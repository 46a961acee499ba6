// Taking current inputs into the journal, or in direct mode into the source.
#pragma once

#include <cstdint>

// FillBatch: the marking fill runs (0x100); "JA für alle" was ticked (0x11); "Nein" (0x1000).
enum : uint32_t { kFillRunning = 0x100, kFillYesForAll = 0x11, kFillSaidNo = 0x1000 };

struct CommitState {
    uint32_t FillBatch;
    uint8_t BlockScratch[512]; // the source's bytes before a direct write
    bool busy;                 // a commit is running (reopening the source may close it)
    bool toldNoJournal;        // the user knows why inputs stay (once per document)
    // Segment bits (0x2, 0x40000) a multi-pair write gives the next record of block 1 or 2
    // (bit 0 or 1 of SegPending); a commit of that block uses them instead of its own.
    uint32_t SegBits[2];
    uint32_t SegPending;
};

extern CommitState g_commit;

// The segment bits: the run goes on in the next block (0x2), came from the previous (0x40000).
constexpr uint32_t kSegmentMask = 0x40002;
// Flags a journal-mode commit sets (and with retained versions).
constexpr uint32_t kCommitFlags = 0x10414D, kCommitFlagsVersions = 0x18414D;
// What a commit keeps of the flags of a record it writes again. The committed data is the
// block's content from now on, so the record no longer says that the source holds it
// (0x400000): keeping that bit would hide the typed bytes behind the source's.
constexpr uint32_t kCommitKeepMask = 0x5DF7DF & ~0x400000u;

void resetCommitState();
// The segment bits the block's next committed record carries (block 1 or 2).
void setSegmentBits(int block, uint32_t bits);
// Journal mode without a journal: tells the user (every time) and returns 1, else 0.
int refuseWithoutJournal();

// Commits every block flagged in InputFlag. Returns 1 when nothing could be committed (no
// source, the user refused, or a write failed and the inputs stay flagged), else 0.
int commitInputs();
// The same for one block of the page pair (Return).
int commitBlock1();
int commitBlock2();
// The journal-mode write of one block; the inputs stay flagged when its entry could not be
// written, and nothing then points at it.
int journalBlock1();
int journalBlock2();
// Links the record just prepared for block 1 or 2 into the address and undo chains after
// writing it; used by journalBlock1/2.
int linkRecord(int block);
// The direct-mode write of the flagged blocks (the question IDD_SAVE_PAGE first).
int writeDirect();

// The entry every page movement, reload, save and close calls: commits pending inputs.
// When they cannot be committed the move goes on without them (the failure was reported)
// and 1 is returned, so a caller that can stay where it is may do so.
int settlePendingInputs();
// Inputs in journal mode with no journal open to take them: they stay on the page, and the
// page with them, until a journal is chosen or they are withdrawn.
bool inputsHeld();
// The entry of every movement the user starts: returns 1 (the user told, once) when the
// inputs are held and the caller is to stay where it is, else settles them and returns 0.
int settleOrStay();
