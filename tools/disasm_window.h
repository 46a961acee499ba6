// The modeless disassembly window: decodes the instruction at the cursor, marks it and keeps
// the last eight lines.
#pragma once

#include <cstdint>

// The 40 register fields, each disabled and showing "--".
extern const int kDisRegisterIds[40];

constexpr uint32_t kDisasmColour = 0xFFAAFF;        // RGB (255, 170, 255)
constexpr uint32_t kWindowKeepDisasmPosition = 0x2; // bit of the window options

struct DisasmWindowState {
    bool open;
    char lines[8][600];
    int count;
    // The marking and colours saved while the window is open.
    uint64_t savedMarkStart, savedMarkEnd;
    uint32_t savedMarkFlag, savedMarkBg, savedCursorActive, savedCursorInactive;
};

extern DisasmWindowState g_disWin;

void resetDisasmWindow();
// "&disassemblieren" and the double-click action.
int disassembleAtCursor();
// The title for the current mode: "MNEMONIC (Real Mode; 16 Bit):" and its siblings.
const char *disasmTitle();
// The settings' mode changed (Options dialog): the decoder and an open window's heading follow.
void disasmModeChanged();
