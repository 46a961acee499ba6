// The status line at the bottom and the mode indicator at the right of the header.
#pragma once

#include <cstdint>

struct StatusState {
    char line[91];      // 90 characters
    char indicator[20]; // 19 characters
    uint32_t indicatorColour;
    char baseText[20]; // the base indicator ("Edit Mode" / "Disk Mode")
    uint32_t baseColour;
    bool indicatorDrawn;
};

extern StatusState g_status;

constexpr uint32_t kStatusBackground = 0xDDDDFF;
constexpr uint32_t kEditModeColour = 0xCCCCFF;
constexpr uint32_t kDiskModeColour = 0xDDFFFF;

void resetStatus();
void drawStatusLine();
void drawModeIndicator();

// Field writers (no redraw).
void setJournalPathField(const char *path);
void setRasterIndicator(const char *nineChars);

void showDirectMode();
void showJournalMode();
void showReadOnly();
void showWritable();
int lockSource();
void unlockSource();
int askUnlock();
int askWriteAccess();
void showEditMode();
void showDiskMode();
void showAutoScroll(bool downward);
void showVideoPlay();
void showScanAvi();
void endTransient();

// The title text: source path followed by '*'.
void markTitleModified(char out[260]);
// Sets the window title: the source path, marked while the address chain holds edits.
void showSourceTitle();
// The journal path into the status line (first 45 characters); lifts the write lock.
void showJournalName();
