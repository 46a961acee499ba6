// Which key-held view the page shows in place of the document: only one at a time, and the
// page pair holds foreign bytes while it is shown.
#pragma once

#include <cstdint>

enum : uint32_t { kHeldShown = 0x1 };
enum : uint32_t { kHeldNone = 0, kHeldSource = 1, kHeldCompare = 2 };

struct HeldViewState {
    uint32_t HeldView;  // kHeldShown while a view is shown
    uint32_t Kind;      // which one
    uint64_t ReturnPtr; // the page to load again when the key is released
    uint32_t ReturnView;
};

extern HeldViewState g_held;

inline bool heldViewShown() {
    return (g_held.HeldView & kHeldShown) != 0;
}
