// The list of the ten files opened last, in the File menu below "ZULETZT GEÖFFNETE DATEIEN :".
#pragma once

constexpr int kFilePopup = 0;
constexpr int kRecentFirstPosition = 23; // menu position of entry 0
constexpr unsigned kRecentFirstCommand = 2;

// Start-up: the stored entries into the File menu, newest first.
void buildRecentMenu();
// After a file was opened: the current document name becomes the newest entry.
void addRecent();
// Makes entry k (1-based) the newest; returns 1 when the user stopped it.
int moveRecentToTop(int k);
// Commands 2 to 11: open entry (command - 2).
int openRecent();
