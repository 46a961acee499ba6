// Showing the page again after anything changed it: the one sequence every command ends with.
#pragma once

#include <cstdint>

// Steps of showPage a caller leaves out, or adds, on purpose.
enum : unsigned {
    // ViewOfs stays as the caller set it, also beyond block 2's start (the disassembly window
    // moves the view by rows so that an instruction's bytes stay in the buffer).
    kShowKeepView = 0x1,
    // The status line, the mode indicator and the top-left field are drawn again as well.
    kShowStatus = 0x2,
    // showPageAt: pending inputs are committed and the cursors primed afresh from the address
    // chain first (after undo the page records may be stale); the pair is the last one at most.
    kShowPrimed = 0x4
};

// The page pair at `readPtr` through the page movers (pending inputs committed first); a
// position beyond the last block is the last block.
void movePairTo(uint64_t readPtr);
// Shows the page pair as it stands: the view never starts beyond block 2, the header labels
// follow ViewOfs, then the cursor cell, the scroll bar and the page are drawn again.
void showPage(unsigned options = 0);
// The pair at `readPtr` with the view offset `view` (0 where the pair has no such offset),
// shown with showPage.
void showPageAt(uint64_t readPtr, uint32_t view, unsigned options = 0);
