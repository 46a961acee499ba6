// Whole drives as the source: the drive dialog, opening a logical or physical drive device,
// its capacity, and choosing the drive again for write access.
#pragma once

#include <cstdint>

struct DriveState {
    uint32_t before; // DriveIndex when the dialog opened (restored by "Abbrechen")
    bool readOnly;   // the dialog's "mit Schreibschutz öffnen"
    char root[4];    // "C:" of the chosen drive, for the capacity query
};
extern DriveState g_drives;

void resetDrives();
// DriveIndex of logical drive A: to T: (0 to 19) and of physical drive 1 to 10.
constexpr uint32_t logicalDriveIndex(int letter) {
    return uint32_t(letter);
}
constexpr uint32_t physicalDriveIndex(int k) {
    return uint32_t(k - 17);
}
inline bool physicalDrive(uint32_t index) {
    return index > 255;
}
// "\\.\C:" or "\\.\PHYSICALDRIVE2" (physical drive 3).
void driveDeviceName(uint32_t index, char out[32]);
// "Laufwerk C:", "Laufwerk 3:": the title, SrcName and a journal header's source name.
void driveDisplayName(uint32_t index, char out[16]);
// The drive a journal header names ("Laufwerk " + character + ":"); false for a file.
bool driveFromDisplayName(const char *name, uint32_t *index);

// Runs dialog 145; returns 0 when a drive was picked (DriveIndex, g_drives.readOnly).
int runDriveDialog();
int openDriveCommand();
// Opens the drive DriveIndex names with the dialog's access. 0 done, 1 nothing opened.
int openDrive(const char *givenJournal = nullptr);
int driveCapacity();
// The write-access loop of a save on a drive: the dialog again. 0 when the same drive is open
// afterwards, 1 otherwise.
int reopenDrive();
