// Writing what the view shows into other files: the page, the marked range or the whole
// source, as a new file or appended to an existing one. The source and the journal stay as
// they are.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct OutputState {
    Handle OutHandle;     // the output file while a command writes it
    char OutName[260];    // a new output file
    char AppendName[260]; // the file appended to
};

extern OutputState g_output;

void resetOutputState();

// The save dialog for a new output file: an existing one is emptied after "Datei
// überschreiben?" (No shows the dialog again). `need` bytes must fit on its drive, tested
// before anything is touched. 0 with OutHandle open, else 1.
int openOutputFile(uint64_t need);
// The save dialog for the file to append to (it must exist and not be write-protected in
// the dialog); `need` bytes must fit on its drive. 0 with OutHandle open at its end, else 1.
int openAppendFile(uint64_t need);

// Writes the bytes the view shows from `from` to `to` (end exclusive) to OutHandle, read in
// large pieces with the journal laid over them; the wait banner shows, Esc asks whether to
// stop. 0 when everything was written, 1 when the user stopped it, 2 when it failed (the
// failure was reported).
int writeViewRange(uint64_t from, uint64_t to, const char *outName);

// ---- the commands ----
// "&Seite speichern unter", "&markierte Daten speichern unter", "Alles speichern &unter".
int savePageAs();
int saveMarkAs();
int saveAllAs();
// "Seiteninhalt an Datei anhängen", "markierte Daten an Datei anhängen",
// "Alles an andere Datei anhängen".
int appendPage();
int appendMark();
int appendAll();
