#include "app/events.h"

#include "access/openclose.h"
#include "edit/input.h"

EventState g_events;

void onChar(int ch, int scanCode) {
    g_events.charCode = ch;
    g_events.scanCode = scanCode;
    editChar(ch);
}

void onKeyUp(int) {}

void onMouseMove(int x, int y, unsigned keys) {
    if (g_open.mouseSuppressed || !(keys & (kMkLButton | kMkShift))) return;
    g_events.mouseX = x;
    g_events.mouseY = y;
}

void onLButtonDown(int x, int y, unsigned) {
    g_open.mouseSuppressed = false;
    g_events.mouseX = x;
    g_events.mouseY = y;
}

void onLButtonUp(int x, int y, unsigned) {
    if (g_open.mouseSuppressed) return;
    g_events.mouseX = x;
    g_events.mouseY = y;
}

void onLButtonDblClk(int x, int y, unsigned) {
    g_open.mouseSuppressed = false;
    g_events.mouseX = x;
    g_events.mouseY = y;
}

void onRButtonDown(int x, int y, unsigned) {
    g_open.mouseSuppressed = false;
    g_events.mouseX = x;
    g_events.mouseY = y;
}

void onMouseWheel(unsigned keys, int delta) {
    g_events.wheelKeys = keys;
    g_events.wheelDelta = delta;
}

void onVScroll(int, int) {}
