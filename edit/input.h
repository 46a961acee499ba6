// Typing over the page: current inputs in PageBuf, flagged in InputFlag.
#pragma once

#include <cstdint>

struct EditState {
    char pendingDigit;    // first hex digit typed (valid while ModFlag 0x2)
    uint8_t scratch[512]; // a sector read to take back one byte in the disk modes
};

extern EditState g_edit;

// Input colours: the typed cell, and its mirror in the other column.
constexpr uint32_t kInputMirrorBg = 0x88FF88;

void resetEditState();

// The handler of every typed character.
void editChar(int c);
// Ctrl+Right / Ctrl+Left: the source value of the byte under the cursor, then move.
int fetchSourceRight();
int fetchSourceLeft();
// The Space key: typed as a blank.
int spaceCommand();

// PageBuf byte k becomes a current input of its block; the block's run marks no longer hold.
void flagInput(uint32_t k);
// ModMask bit of PageBuf byte k.
void setModBit(uint32_t k);
void clearModBit(uint32_t k);
// PageBuf[k] := the byte of two hex digits ('0'..'9', 'A'..'F').
void storeHexByte(uint32_t k, char first, char second);
// Takes the page record of block 1 or 2 out of the address chain.
int unlinkBlockRecord(int block);
