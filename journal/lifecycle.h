// The journal's life beside its source: naming, opening or creating, checking, closing.
#pragma once

#include <cstdint>

struct JournalSession {
    char JnlName[260]; // path of the journal in use ("" when none)
    bool given;        // the user opened the journal file itself
};

extern JournalSession g_jnlSession;

void resetJournalSession();
// Opens the journal of a .jnl file the user chose; on success fills `srcName` (260 bytes)
// with the source it belongs to and remembers the journal as given. Returns 0 or 1.
int openGivenJournal(const char *path, char *srcName);
// Takes the source's journal into use (the given one, or found or created by its name).
// Returns 0 when a journal is in use afterwards.
int openJournalForSource();
// Writes the header back and keeps, stores or deletes the journal.
void closeJournal();
// True while the journal's address chain holds edits.
bool journalHasEdits();
// The position stored in the journal header for returning to it after an open.
bool journalStoredPosition(uint64_t *readPtr, uint32_t *viewOfs);
