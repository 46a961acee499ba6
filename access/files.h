// The file dialogs' records and the file helpers of the commands that read or write files
// other than the source.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct OpenState {
    FileDialogRecord fileDlg; // the one record of the open dialog
    FileDialogRecord outDlg;  // the second name buffer (output and input files)
    FileTimes srcTimes;       // read after every open
    bool aviFlag;             // the source begins with "RIFF"
    bool mouseSuppressed;     // set after a file dialog: the next release is ignored
    Handle outHandle;         // file obtained by chooseOutputFile / chooseInputFile
    char device[260];         // an open drive's device name ("\\.\C:"); SrcName is "Laufwerk C:"
    char driveLetter;         // a drive's character, the journal naming's source drive
};

extern OpenState g_open;

void resetOpenState();
// The name the source is opened by: a file's path, or a drive's device name.
const char *sourcePath();
// Opens the source again by that name, with the sharing its kind needs (drives share writes).
Handle reopenSourcePath(unsigned access);
// Sets the read-only box from the settings' default.
void resetReadOnlyBox();
// The save dialog for a new output file; an existing one is emptied after "Datei
// überschreiben?". `accept` (when given) sees the chosen path first: false shows the dialog
// again (it told the user why). 0 with g_open.outHandle open, else 1.
int chooseOutputFile(bool (*accept)(const char *path) = nullptr);
int chooseInputFile();
int checkFreeSpace(const char *path, uint64_t size);
// True when the text after the last '.' begins with "jnl".
bool isJournalName(const char *path);
// Windows file names compare without regard to case.
bool samePath(const char *a, const char *b);
