// Moving the view and the cursor: background and cursor movement, pages, file start and
// end, scroll bar, wheel, auto scroll, zoom.
// Step handlers return 1 when nothing could move and 0 otherwise.
#pragma once

#include <cstdint>

// Zoom limits of the view font (cell width and height in pixels).
constexpr uint32_t kZoomMinWidth = 7, kZoomMaxWidth = 40;
constexpr uint32_t kZoomMinHeight = 12, kZoomMaxHeight = 64;

// Background movement: the page moves under a fixed cursor.
int lineDown();
int lineUp();
int byteRight();
int byteLeft();
int pageDown();
int pageUp();
int fileStart();
int fileEnd();

// One line down or up; the cursor stays on its byte while that byte is on the page.
int lineDownKeepingCursor();
int lineUpKeepingCursor();

// Cursor movement.
int cursorDown();
int cursorUp();
int cursorRight();
int cursorLeft();
int rowStart();
int rowEnd();
int switchColumn();

// Scroll bar, wheel and automatic scrolling.
int scrollThumb(int pos);
int scrollBarCommand(int code, int pos);
int wheelStep();
int autoScrollDown();
int autoScrollUp();

int zoomIn();
int zoomOut();

// Sets a scroll raster (1, 2, 4, 8) as the Options dialog chooses it: masks, indicator,
// scroll range, then the page, cursor and status line are drawn again.
void chooseScrollRaster(uint32_t mode);

// Shows the page at `target` (any source position): the pair is chosen so that the first
// displayed byte is `target` or as close before it as the end of the source allows.
void showPosition(uint64_t target);

// Redraws the byte at page offset `off` in its own colours (no cursor).
void drawPageCell(uint32_t off);
// Moves the cursor to page offset `off`: the old cell is drawn in its own colours again and
// the cursor cell at the new place.
void moveCursorTo(uint32_t off);
// When fewer than `count` bytes from the cursor on are on the page, the view moves one row
// forward (the page 512 bytes when the view would leave the buffer), the cursor staying on
// its byte, and the page is shown again.
void keepBytesOnPage(uint32_t count);
// The source position of the byte under the cursor.
uint64_t cursorPosition();

// The arrow and Alt+arrow commands: true when `number` is one of them (it has run then).
bool arrowCommand(unsigned number);
