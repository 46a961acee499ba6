#include "app/events.h"

#include "app/commands.h"

#include "access/files.h"
#include "edit/input.h"
#include "journal/lifecycle.h"
#include "save/preview.h"
#include "view/mouse.h"
#include "tools/search.h"
#include "view/navigation.h"

EventState g_events;

// The mouse and the scroll bar end a preview or a held view as a key does.
static void endShownPreview() {
    if (previewShown()) endPreview();
    endHeldViews();
}

void onChar(int ch, int scanCode) {
    endHeldViews(); // a typed byte must never land on the foreign bytes of a held view
    g_events.charCode = ch;
    g_events.scanCode = scanCode;
    if (previewShown()) {
        // Return takes what the preview shows; any other character ends it first.
        if ((ch & 0xFF) == 13) {
            acceptPreview();
            journalCheckpoint();
            return;
        }
        endPreview();
    }
    editChar(ch);
    journalCheckpoint(); // a Return or a page move may have committed inputs
}

// The views held by a key last until any key is released.
void onKeyUp(int) {
    endHeldViews();
}

void onFindRequest() {
    endShownPreview();
    findRequest();
    journalCheckpoint();
}

void onMouseMove(int x, int y, unsigned keys) {
    if (g_open.mouseSuppressed || !(keys & (kMkLButton | kMkShift))) return;
    g_events.mouseX = x;
    g_events.mouseY = y;
    mouseDrag(x, y);
}

void onLButtonDown(int x, int y, unsigned) {
    endShownPreview();
    g_open.mouseSuppressed = false;
    g_events.mouseX = x;
    g_events.mouseY = y;
    mouseDown(x, y);
    journalCheckpoint();
}

void onLButtonUp(int x, int y, unsigned) {
    if (g_open.mouseSuppressed) return;
    g_events.mouseX = x;
    g_events.mouseY = y;
    mouseUp(x, y);
    journalCheckpoint();
}

void onLButtonDblClk(int x, int y, unsigned) {
    endShownPreview();
    g_open.mouseSuppressed = false;
    g_events.mouseX = x;
    g_events.mouseY = y;
    unsigned command = doubleClick(x, y);
    const CommandEntry *e = command ? findCommand(command) : nullptr;
    if (e && e->handler) e->handler();
    journalCheckpoint();
}

void onRButtonDown(int x, int y, unsigned) {
    endShownPreview();
    g_open.mouseSuppressed = false;
    g_events.mouseX = x;
    g_events.mouseY = y;
    rightClick(x, y);
    journalCheckpoint();
}

void onMouseWheel(unsigned keys, int delta) {
    endShownPreview();
    g_events.wheelKeys = keys;
    g_events.wheelDelta = delta;
    wheelStep();
    journalCheckpoint();
}

void onVScroll(int code, int pos) {
    endShownPreview();
    scrollBarCommand(code, pos);
    journalCheckpoint();
}
