// Named tests of a record's Flags word. The hex values are the journal's own: each state is
// recognised by a mask and the bits it must show under it.
#pragma once

#include <cstdint>

// Flags of a record made in direct mode: restorable copy (0x10) of what the source held,
// marks hidden (0x20), the block's current content is in the source (0x400000); neither
// journalled (0x1) nor linked into the address chain (0x40).
constexpr uint32_t kDirectRecordFlags = 0x400030;
// An original copy: the block's source bytes before its first save.
constexpr uint32_t kOriginalCopyFlags = 0x80030;
// A before-image: a saved version in the source, marks hidden, an original copy below it.
constexpr uint32_t kBeforeImageFlags = 0x330935;

// A record written in direct mode (a node of the restore chain only).
inline bool isDirectRecord(uint32_t f) {
    return (f & (kDirectRecordFlags | 0x1 | 0x40)) == kDirectRecordFlags;
}
// An original copy. (A record of the exchange method without undo passes the mask test too;
// it carries 0x200000, a copy never.)
inline bool isOriginalCopy(uint32_t f) {
    return (f & 0x81835) == kOriginalCopyFlags && !(f & 0x200000);
}
// A before-image (every version a commit wrote carries 0x4000, it never).
inline bool isBeforeImage(uint32_t f) {
    return (f & 0x334935) == kBeforeImageFlags;
}
// A page record whose map holds journalled edits: saved records keep their map, hidden.
inline bool holdsJournalledEdits(uint32_t f) {
    return !(f & 0x20);
}

// ---- the states undo and redo act on ----

// A saved version whose bytes are in the source: undo restores the older bytes.
inline bool isSavedInSource(uint32_t f) {
    return (f & 0x331904) == 0x330904;
}
// A saved version after its bytes were restored: undo steps back to the older version.
inline bool isSaveRestored(uint32_t f) {
    return (f & 0x301304) == 0x100104;
}
// An older saved version whose save is in force: its bytes are what a restore writes.
inline bool isSaveInForce(uint32_t f) {
    return (f & 0x331804) == 0x330804;
}
// A version redo re-links without moving the undo cursor.
inline bool isRelinkInPlace(uint32_t f) {
    return (f & 0x331904) == 0x10804;
}
// A version whose bytes redo writes back into the source.
inline bool isSaveToRedo(uint32_t f) {
    return (f & 0x331904) == 0x110904;
}
// A version redo re-links as current.
inline bool isRelinkAsCurrent(uint32_t f) {
    return (f & 0x100104) == 0x4;
}
// A record shown from the source: redo shows its edits again.
inline bool isShownFromSource(uint32_t f) {
    return (f & 0x521105) == 0x500005;
}
// An original copy or a record whose source already holds the block (0x400000) or that has
// an original copy (0x10000): undo leaves its state alone.
inline bool keepsStateOnUndo(uint32_t f) {
    return (f & 0x410000) || isOriginalCopy(f);
}
