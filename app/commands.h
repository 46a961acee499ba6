// The command table: every menu and accelerator number and its handler.
#pragma once

#include <cstdint>

using CommandHandler = int (*)();

struct CommandEntry {
    unsigned number;
    CommandHandler handler; // nullptr: known, but nothing to do yet
};

struct CommandState {
    unsigned command; // low word of the last command message
    unsigned notify;  // its high word
};

extern CommandState g_cmd;

// Returns the entry for a command number, or nullptr when the number is unknown.
const CommandEntry *findCommand(unsigned number);
// Runs a command, in this order: previews, the arrow keys, the table. Returns false when the
// number is unknown (default processing).
bool dispatchCommand(unsigned number, unsigned notify);

// Ends a view held by a key (the comparison view): any key release, and any other input.
void endHeldViews();

// "&Beenden": settles pending inputs and destroys the window.
int exitCommand();
// "spe&rren", "e&ntsperren": the write lock of the open source.
int lockCommand();
int unlockCommand();
// The direct-write and journal mode commands.
int directModeCommand();
// "AVI-Datei reparieren": the write lock, then the repair.
int repairAviCommand();
int journalModeCommand();
