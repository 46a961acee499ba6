// Window messages as the core receives them from the shell.
#pragma once

#include <cstdint>

// Key-state bits of mouse and wheel messages (MK_*).
enum : unsigned { kMkLButton = 0x1, kMkRButton = 0x2, kMkShift = 0x4, kMkControl = 0x8 };
// Scroll-bar codes (SB_*).
enum : int {
    kSbLineUp = 0,
    kSbLineDown = 1,
    kSbPageUp = 2,
    kSbPageDown = 3,
    kSbThumbPosition = 4,
    kSbThumbTrack = 5,
    kSbTop = 6,
    kSbBottom = 7,
    kSbEndScroll = 8
};

struct EventState {
    int mouseX, mouseY;     // last mouse position
    unsigned wheelKeys;     // key state of the last wheel message
    int wheelDelta;         // its delta
    int charCode, scanCode; // last typed character
};

extern EventState g_events;

void onChar(int ch, int scanCode);
void onKeyUp(int virtualKey);
void onMouseMove(int x, int y, unsigned keys);
void onLButtonDown(int x, int y, unsigned keys);
void onLButtonUp(int x, int y, unsigned keys);
void onLButtonDblClk(int x, int y, unsigned keys);
void onRButtonDown(int x, int y, unsigned keys);
void onMouseWheel(unsigned keys, int delta);
void onVScroll(int code, int pos);
