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
// Installs a handler for a command number (later subsystems register theirs at start).
void setCommandHandler(unsigned number, CommandHandler handler);
// Runs a command; returns false when the number is unknown (default processing).
bool dispatchCommand(unsigned number, unsigned notify);
// Puts every handler back to its built-in value.
void resetCommandTable();

// Hooks of the dispatch order: previews first, then ending a shown preview.
extern bool (*g_previewCommandHook)(unsigned number);
extern void (*g_endPreviewHook)();
// Arrow-key swap between cursor and background movement.
extern bool (*g_arrowCommandHook)(unsigned number);
