// What the last window messages carried, kept for the handlers that read it (the wheel
// scrolling, the mouse, the typed character).
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
