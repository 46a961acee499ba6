// The journal's life beside its source: naming, opening or creating, checking, choosing,
// emptying, writing back and closing.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Per-file bits of JnlOptions (the option bits 0x1, 0x2, 0x4 live in app/settings.h).
constexpr uint32_t kJnlChosen = 0x08, kJnlHasExtension = 0x10, kJnlUseAlternative = 0x20;
constexpr uint32_t kJnlPerFileBits = kJnlChosen | kJnlHasExtension | kJnlUseAlternative;

// openJournalForSource: the user gave up choosing a journal; the source is not to be opened.
constexpr int kJournalAbandon = 2;

struct JournalSession {
    // The journal file the user opened, while the document before is closed: it is neither
    // deleted nor overwritten then.
    char chosen[260];
    char savedName[260];    // JnlName before the user picks another
    bool otherDriveDropped; // "immer auf anderes Laufwerk" waived for the open document
};

extern JournalSession g_jnlSession;

// Forgets everything about the journal (no journal, pointer window gone); for tests and start.
void resetJournalSession();
// "immer auf anderes Laufwerk", waived for one document, holds again: at the next opening and
// before the settings are written.
void restoreOtherDrive();

// ---- the interface of opening and closing ----
// Looks at a .jnl file the user chose, without keeping it open: on success fills `srcName`
// (260 bytes) with the source it belongs to. Returns 0 or 1.
int openGivenJournal(const char *path, char *srcName);
// Takes the source's journal into use: `given` (the file the user opened), or when that is
// null the one found or created by its name. Returns 0 when a journal is in use afterwards,
// 1 when the source is edited without one, kJournalAbandon when the user cancelled the
// choice of a journal on another drive.
int openJournalForSource(const char *given);
// Writes the header back and keeps, stores or deletes the journal.
void closeJournal();
// The position stored in the journal header for returning to it after an open.
bool journalStoredPosition(uint64_t *readPtr, uint32_t *viewOfs);

// ---- the operations ----
// Builds the journal name for `src` into `out` (in/out: the chosen name when 0x08 is set).
// Returns 1 when the user refused a journal on the source's drive.
int makeJournalName(char out[260], const char *src);
int openJournal();
int checkJournal();
int chooseJournal();
int deleteJournalContents();
void flushJournalHeader();
// The end of a command: source and journal on the disk, the header with its chain heads
// and the source's time written, the command no longer to be taken back
// (access/rollback.h).
void journalCheckpoint();
// No journal: handle invalid, header fresh for the current source, path empty.
void initHeader();
// Empties the open journal: file truncated, fresh header written.
void resetJournal();

// Command handlers.
int chooseJournalCommand();
int deleteJournalCommand();
