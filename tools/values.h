// The modeless values window "Zahlenwert (ab Cursor-Position)": byte, word and double word
// at the cursor (little-endian) in hexadecimal, decimal and binary, editable and stored back
// as current inputs committed like typed ones.
#pragma once

#include <cstdint>

// Bits of the window options and of the Return options in the settings.
constexpr uint32_t kWindowKeepValuesPosition = 0x1;
enum : uint32_t {
    kValuesReturnStores = 0x1,
    kValuesReturnMoves = 0x2,
    kValuesReturnCloses = 0x4,
    kValuesReturnSelects = 0x8
};

struct ValuesWindowState {
    bool open;
    uint8_t value[4]; // the value buffer: the bytes at the cursor, as entered
    uint32_t avail;   // how many of them the source has
    uint32_t changed; // bit i: byte i was entered; 0x10: something was
    int active;       // the field that has (or last had) the focus
    int typing;       // the field the user types in; refreshes leave it alone
    bool filling;     // the program writes the fields
    // What the last refresh showed, so that a repaint alone changes nothing.
    uint64_t shownPos;
    uint32_t shownOfs;
    uint8_t shownBytes[4];
};

extern ValuesWindowState g_values;

void resetValuesWindow();
// "&Werte anzeigen" and the double-click action: refreshes the window, or opens it.
int showValues();
// After every repaint and cursor move: the window follows the cursor.
void refreshValuesWindow();
