// Start-up, the window size rule and the end of the program.
#pragma once

struct WindowState {
    int frameW, frameH; // frame allowances measured at start
    int width, height;  // current outer size computed by the size rule
};

extern WindowState g_window;

// Resets every process-wide record (tests call this between cases).
void resetProgramState();
// Start-up up to showing the window: tables, state, settings, font, geometry.
void appInitialize(int frameW, int frameH);
// After the window is shown: options, first paint, start-up notice.
void appShown();
// The size rule for a requested outer size; returns true when nothing changes.
bool applySizeRule(int *w, int *h);
// The window is being destroyed: close the document and write the settings.
void appDestroy();
// Zoom: the window takes the size of the font again and everything is redrawn.
void refitWindow();

extern const char kStartNoticeText[];
