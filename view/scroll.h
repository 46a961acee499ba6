// Scroll bar scaling, scroll raster and wheel steps.
#pragma once

#include <cstdint>

constexpr int kScrollPage = 16; // the thumb's length in scroll units

struct ScrollState {
    uint32_t alignMask, remMask, lock, lineStep; // from the scroll raster
    uint32_t mode;                               // 1, 2, 4 or 8
    int32_t maximum;                             // scroll-bar range maximum
    // Wheel steps in bytes: [0] no key, [1] Ctrl, [2] Shift; small moves ViewOfs, large ReadPtr.
    uint32_t wheelSmall[3], wheelLarge[3];
};

extern ScrollState g_scroll;

void resetScrollState();
// Sets the raster's masks, lock, line step and indicator (no repaint).
void applyScrollRaster(uint32_t mode);
// ScrollShift and the range maximum from the size fields; pushes the range to the window.
void computeScrollRange();
// Wheel steps from FileSize.
void computeWheelSteps();
// True for sources of 2^47 bytes and more: the bar then counts the high word only.
bool scrollHighMode();
// The scroll-bar position of the page shown now.
int32_t scrollPosition();
// Pushes scrollPosition() to the window.
void setScrollPosition();
