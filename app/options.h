// The Options dialog: the settings record shown as controls, written back group by group.
#pragma once

#include <cstdint>

// Groups of the change mask: only a group the user clicked in is written back.
enum : uint32_t {
    kOptMessages = 0x1,
    kOptReadOnly = 0x2,
    kOptAccess = 0x4,
    kOptMovement = 0x8,
    kOptUndo = 0x10,
    kOptRaster = 0x20,
    kOptJournal = 0x40,
    kOptDblClick = 0x80,
    kOptDisasm = 0x100
};

// One control of the dialog: its group, and the value it stands for in its field.
struct OptionControl {
    int id;
    uint32_t group;
};
extern const OptionControl kOptionControls[];
extern const int kOptionControlCount;

int optionsDialog();
