// Comparison with a second file, or with another place of the same file: while F6 is held the
// page shows the second data with every byte that differs from the current page highlighted.
#pragma once

#include <cstdint>

#include "platform/platform.h"

enum : uint32_t { kCompareNone = 0, kCompareOtherFile = 1, kCompareSameFile = 2 };

struct CompareState {
    uint64_t Offset; // signed: the second data start this far into the first
    uint32_t Mode;
    Handle File; // the second file
    char Name[260];
    uint64_t Size;
    uint8_t SavedPage[1024]; // the page buffer the view replaced
};

extern CompareState g_cmp;

void resetCompareState();

int compareOtherFile();
int compareSameFile();
int compareOffsetAtCursor();
int compareSetOffset();
int closeCompareFile();
// F6 pressed (and repeated while held); any key release ends the view.
int showCompareFile();
int endCompareView();

// "XXXX XXXX" of a 32-bit word, and back: hexadecimal digits in order, up to 8, anything
// else skipped.
void formatOffsetWord(uint32_t v, char out[10]);
uint32_t parseOffsetWord(const char *text);
