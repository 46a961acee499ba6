// Taking back a command that a crash interrupted. Before a command changes bytes that the
// journal or the source held when it began, their old values go to a side file beside the
// journal (its extension "jnl" becomes "jlg"); the command's number stands in the journal
// header while it runs. At the next opening a log whose number the header carries is played
// back (newest first), the entries appended since are cut off, and journal and source are
// as they were before the command. A command ends at its checkpoint, everything flushed.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Forgets every handle (the program starts afresh).
void resetRollback();
// The journal in use; its next change starts a command.
void rollbackAttach(Handle journal, const char *journalName);
// The journal is closed: no command of it is to be taken back any more.
void rollbackDetach(Handle journal);
// The number of the running command, 0 between commands (the header keeps it at 0x44).
uint32_t rollbackMark();
// Keeps bytes pos..pos+len-1 of the journal before they are overwritten (a command starts
// with the first). False: they could not be kept, nothing may be written.
bool rollbackBeforeJournal(Handle journal, const char *journalName, uint64_t pos, uint32_t len);
// Where old journal bytes can be had without reading the file (the journal's record cache,
// which holds what the file holds); null or false: they are read.
extern bool (*g_journalBytesKnown)(Handle journal, uint64_t pos, void *buf, uint32_t n);
// The same for the source; before its first change the log and the journal are flushed, so
// that the number and the old bytes are on the disk first.
bool rollbackBeforeSource(uint64_t pos, uint32_t len);
// Keeps the source's length before the size change that follows (playback takes a growth
// back); the log and the journal are flushed first, as before a source write.
bool rollbackBeforeResize();
// The log on the disk (before the journal or the source is flushed).
void rollbackSync();
// The running command has written to the source.
bool rollbackSourceTouched();
// The end of a command of `journal`, step 1: log and source flushed; returns whether a
// command runs. The caller then writes the header (the number gone) and calls rollbackEnd,
// which flushes the journal and removes the log.
bool rollbackFlushForCommit(Handle journal);
void rollbackEnd();
// A write of the running command failed half-way, leaving the files out of step: at its end
// the command is taken back rather than made final.
void rollbackFail();
bool rollbackFailed();
// The running command taken back now by its log (as rollbackRecover does after a crash);
// the command is over. True when it was played back.
bool rollbackTakeBack(const char *sourceName);
// Plays back the log of `journalName` when `mark` (the header's number) is its number; the
// source must not be open elsewhere. True when it was played back. A log of another number
// is stale and removed.
bool rollbackLogExists(const char *journalName);
bool rollbackRecover(Handle journal, const char *journalName, uint32_t mark,
                     const char *sourceName);
