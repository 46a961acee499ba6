// The settings record: at the same time the exact image of "kelmor.ini".
#pragma once

#include <cstdint>

#include "platform/platform.h"

#pragma pack(push, 1)
struct Settings {
    char magic[4];   // "bhey"
    uint8_t sep1[4]; // 0A 0D 0A 0D
    char notice[40]; // text for human readers
    uint8_t sep2[4];
    uint32_t fontHeight;     // 52
    uint32_t fontWidth;      // 56
    uint32_t recordSize;     // 60
    uint32_t MsgOptions;     // 64
    uint32_t readOnlyWord;   // 68: 0x1 session writable, 0x2 stored default
    uint32_t UndoMode;       // 72
    uint32_t accessWord;     // 76: 0x2 stored direct writing, 0x1 session copy
    uint32_t movement;       // 80: 0 cursor, 1 background
    uint32_t scrollRaster;   // 84: 1, 2, 4, 8
    uint32_t reserved88;     // 88
    uint32_t JnlOptions;     // 92
    uint32_t dblClickAction; // 96
    uint32_t disasmMode;     // 100
    uint32_t windowOptions;  // 104
    uint32_t valuesReturn;   // 108
    uint32_t sizeDialogOpt;  // 112
    uint8_t reserved116[12]; // 116
    char jnlDir[260];        // 128
    char altDir[260];        // 388
    char recent[10][260];    // 648
};
#pragma pack(pop)
static_assert(sizeof(Settings) == 3248, "the settings file is 3248 bytes");

// MsgOptions bits
enum : uint32_t {
    kMsgStartNotice = 0x1,
    kMsgAskSave = 0x2,
    kMsgAskJournal = 0x4,
    kMsgCompare = 0x8
};
// JnlOptions bits kept across opens
enum : uint32_t {
    kJnlFixed = 0x1,
    kJnlAlternative = 0x2,
    kJnlOtherDrive = 0x4,
    kJnlKeepMask = 0x7
};

// Font cells a settings file may ask for; anything else is a damaged file.
constexpr uint32_t kFontMinHeight = 6, kFontMaxHeight = 128;
constexpr uint32_t kFontMinWidth = 3, kFontMaxWidth = 64;

extern Settings g_settings;
extern const char kSettingsFileName[]; // "kelmor.ini"

// Built-in defaults, with the journal directories derived from the drives that exist.
void setDefaultSettings();
// The two built-in journal directories ("C:\kelmor\", "D:\kelmor\" with the letters of the
// first two counting drives).
void defaultJournalDirs(char jnl[260], char alt[260]);
void loadSettings();
void saveSettings();
// Closes the settings file (tests and exit).
void closeSettingsFile();
