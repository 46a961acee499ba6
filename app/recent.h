// The list of the ten files opened last, in the File menu below "ZULETZT GEÖFFNETE DATEIEN :".
#pragma once

// Start-up: the stored entries into the File menu, newest first.
void buildRecentMenu();
// After a file was opened: the current document name becomes the newest entry.
void addRecent();
// Makes entry k (1-based) the newest; returns 1 when the user stopped it.
int moveRecentToTop(int k);
// Commands IDM_RECENT_FIRST to IDM_RECENT_LAST: open entry (command - IDM_RECENT_FIRST).
int openRecent();
