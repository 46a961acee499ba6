// Start-up, the window size rule and the end of the program.
#pragma once

// Resets every process-wide record (tests call this between cases).
void resetProgramState();
// Start-up up to showing the window: tables, state, settings, font, geometry.
void appInitialize(int frameW, int frameH);
// After the window is shown: options, first paint, start-up notice.
void appShown();
// The window is being destroyed: close the document and write the settings.
void appDestroy();

extern const char kStartNoticeText[];
void applyOptions();
