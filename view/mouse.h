// Mouse, marking and context menus: clicks place the cursor, drags and keys mark a range of
// source positions (MarkStart inclusive, MarkEnd exclusive), the right button opens pop-ups.
#pragma once

#include <cstdint>

// Hit results besides a page offset 0..511.
constexpr uint32_t kHitSeparator = 1280; // a blank between pairs or between the columns
constexpr uint32_t kHitOutside = 1536;   // address column, header, status line, beyond the data

struct MouseState {
    uint32_t hit;       // result of the last hit test
    int hitX, hitY;     // its cell (x on the pair's first digit)
    uint32_t hitCol;    // 0 hex column, 1 character column
    uint32_t anchor;    // hit where the left button went down
    uint64_t anchorPos; // source position of the anchor byte
    bool dragging;      // a move with the button down since the last press
    uint64_t lastDragPos;
    uint64_t savedStart, savedEnd; // the remembered marking
    bool saved;
};

extern MouseState g_mouse;

void resetMouseState();

uint32_t hitTest(int x, int y);
void mouseDown(int x, int y);
void mouseDrag(int x, int y);
void mouseUp(int x, int y);
void rightClick(int x, int y);
// The double-click action of the settings. Returns the command that the action runs (the
// values window, the disassembler), or 0 when it is done here.
unsigned doubleClick(int x, int y);

int markStart();
int markEnd();
int markAll();
int clearMarking();
// Shows the marking and enables the menu items that need one.
void markingShown();
int rememberMarking();
int restoreMarking();
int shiftRight();
int shiftLeft();
int shiftUp();
int shiftDown();
