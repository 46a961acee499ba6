// The page painter: header, 32 rows of 16 bytes, cursor; font and geometry.
#pragma once

#include <cstdint>

struct ViewGeometry {
    int cw, lh;      // character width and line height of the view font
    int hexX, charX; // x of the hex column and of the character column
};

extern ViewGeometry g_geom;

struct WindowState {
    int frameW, frameH; // frame allowances measured at start
    int width, height;  // current outer size computed by the size rule
};

extern WindowState g_window;

// Colours (0x00BBGGRR).
constexpr uint32_t kAddressBg = 0xDDDDDD;
constexpr uint32_t kHexBgDefault = 0xEEFFEE;
constexpr uint32_t kCharBgDefault = 0xFFFFFF;
constexpr uint32_t kJournalledBg = 0xAADDFF;
constexpr uint32_t kJournalledMarkedBg = 0xDDDDFF;
constexpr uint32_t kMarkedBg = 0x88FFFF;
constexpr uint32_t kCursorActiveBg = 0xEEFF88;
constexpr uint32_t kCursorInactiveBg = 0xDDDDDD;
constexpr uint32_t kPartialJournalXor = 0x552200;
constexpr uint32_t kInputBg = 0x8888FF;
constexpr uint32_t kSearchMatchBg = 0xEEFF88; // RGB(136, 255, 238)
constexpr uint32_t kCompareDiffBg = 0xDDDDFF; // RGB(255, 221, 221)

struct PaintState {
    uint32_t hexBg, charBg; // current backgrounds (previews change them)
    uint32_t darken;        // taken from both while a preview is shown
    uint32_t hexBgDefault, charBgDefault;
    uint32_t markBg, cursorActiveBg, cursorInactiveBg; // tools may recolour these
    uint32_t modBg; // bytes with a ModMask bit (journalled edits; differences in a comparison)
    // A search match: matchLen bytes from offset matchOfs of the pair at matchOrigin. It is
    // drawn while that pair is on the page and forgotten when another one is painted.
    uint64_t matchOrigin;
    uint32_t matchOfs, matchLen;
    char headerLeft[26], headerRight[26]; // " 00 01 02 03 04 05 06 07 " and the right half
};

extern PaintState g_paint;

void resetPaintState();
// Creates (or replaces) the view font from the settings and recomputes the geometry.
bool createViewFont();
bool recreateViewFont();
// Header labels rotated for ViewOfs (each column names the low nibble of its address).
void setHeaderLabels();
void resetHeaderLabels();
// 67-character row text for n (0..16) valid bytes.
void formatRow(const uint8_t *bytes, char out[67]);
void formatPartialRow(const uint8_t *bytes, int n, char out[67]);
// 21-character address text.
void formatRowAddress(uint64_t pos, char out[21]);
void placeCursor();
void drawCursorCell();
void paintPage();
// The whole client area: header blanks, status line, indicator, scroll position, page.
void paintWindow();
// The top-left field of the window: a journal pointer in hexadecimal, or blanks.
void showTopLeft(uint64_t p, uint32_t bg);
void clearTopLeft();
// The three lines "** Bitte Warten ..." across the middle of the page during long work.
void showWaitBanner();
// The size rule for a requested outer size; returns true when nothing changes.
bool applySizeRule(int *w, int *h);
// Zoom: the window takes the size of the font again and everything is redrawn.
void refitWindow();
// A hook run after every paint (the Pointer-and-Flags view refreshes itself through it).
extern void (*g_afterPaintHook)();
