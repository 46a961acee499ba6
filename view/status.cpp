#include "view/status.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/textutil.h"
#include "journal/format.h"
#include "platform/platform.h"
#include "view/paint.h"

StatusState g_status;

static const char kEditModeText[] = "    Edit Mode       ";
static const char kDiskModeText[] = "    Disk Mode       ";

static void setField(int pos, int width, const char *text) {
    copyPadded(g_status.line + pos, width, text);
}

static void setIndicator(const char *text, uint32_t colour) {
    copyString(g_status.indicator, text, sizeof g_status.indicator);
    g_status.indicatorColour = colour;
}

void resetStatus() {
    std::memset(&g_status, 0, sizeof g_status);
    std::memset(g_status.line, ' ', 90);
    setIndicator(kEditModeText, kEditModeColour);
    copyString(g_status.baseText, kEditModeText, sizeof g_status.baseText);
    g_status.baseColour = kEditModeColour;
}

void drawStatusLine() {
    Platform &p = plat();
    p.beginDraw();
    int y = 33 * g_geom.lh;
    p.textOut(0, y, g_status.line, 21, kStatusBackground);
    p.textOut(g_geom.hexX, y, g_status.line + 21, 69, kStatusBackground);
    p.endDraw();
}

void drawModeIndicator() {
    plat().beginDraw();
    plat().textOut(g_geom.charX, 0, g_status.indicator, 19, g_status.indicatorColour);
    plat().endDraw();
    g_status.indicatorDrawn = true;
    if (g_afterPaintHook) g_afterPaintHook(); // the pointer window shows ModFlag too
}

void setJournalPathField(const char *path) {
    // The first 45 characters of the path.
    char part[46];
    copyString(part, path, sizeof part);
    setField(0, 45, part);
}

void setRasterIndicator(const char *nineChars) {
    setField(67, 9, nineChars);
}

void showDirectMode() {
    g_doc.AccessFlag |= kAccDirect;
    setField(56, 9, " direkt  ");
    drawStatusLine();
}

void showJournalMode() {
    g_doc.AccessFlag &= ~kAccDirect;
    setField(56, 9, "Protokoll");
    drawStatusLine();
}

void showReadOnly() {
    g_doc.AccessFlag &= ~kAccWritable;
    setField(78, 9, "Read Only");
}

void showWritable() {
    g_doc.AccessFlag |= kAccWritable;
    setField(78, 9, "         ");
}

int lockSource() {
    if (!(g_doc.AccessFlag & kAccWritable)) return 1;
    g_doc.AccessFlag &= ~kAccUnlocked;
    setField(78, 9, "gesperrt ");
    drawStatusLine();
    return 0;
}

void unlockSource() {
    g_doc.AccessFlag |= kAccUnlocked;
    // Lifting the lock does not make a read-only source writable.
    setField(78, 9, (g_doc.AccessFlag & kAccWritable) ? "         " : "Read Only");
    drawStatusLine();
}

int askUnlock() {
    if (askYesNo("Soll die gesetzte Schreibsperre aufgehoben werden ?",
                 "Schreibsperre aufheben ?") != kIdYes)
        return 1;
    unlockSource();
    return 0;
}

int askWriteAccess() {
    if (askYesNo("Soll der Schreibzugriff auf die Datei ermöglicht werden ?",
                 "Schreibzugriff erlauben ?", true) != kIdYes)
        return 1;
    unlockSource();
    return 0;
}

static void setBase(const char *text, uint32_t colour) {
    copyString(g_status.baseText, text, sizeof g_status.baseText);
    g_status.baseColour = colour;
    setIndicator(text, colour);
    drawModeIndicator();
}

void showEditMode() {
    g_doc.ModFlag &= ~(kModDisk | kModSector);
    setBase(kEditModeText, kEditModeColour);
}

void showDiskMode() {
    g_doc.ModFlag |= kModDisk;
    setBase(kDiskModeText, kDiskModeColour);
}

void showAutoScroll(bool downward) {
    g_doc.ModFlag &= ~0x70u;
    g_doc.ModFlag |= downward ? kModAutoDown : kModAutoUp;
    setIndicator("    Auto Scroll     ", downward ? 0xDDCCFF : 0xCCDDFF);
    drawModeIndicator();
}

void showVideoPlay() {
    g_doc.ModFlag = (g_doc.ModFlag & ~0x70u) | kModPlay;
    setIndicator("    Video Play      ", 0xFF88FF);
    drawModeIndicator();
}

void showScanAvi() {
    g_doc.ModFlag = (g_doc.ModFlag & ~0x70u) | kModPlay;
    setIndicator("    Scan Avi        ", 0xFF88FF);
    drawModeIndicator();
}

void endTransient() {
    // The base indicator comes back in its own colour.
    g_doc.ModFlag &= ~(kModAutoUp | kModAutoDown | kModPlay);
    setIndicator(g_status.baseText, g_status.baseColour);
    drawModeIndicator();
}

// ---- title and journal name ----

void markTitleModified(char out[260]) {
    char path[256];
    copyString(path, g_doc.SrcName, sizeof path);
    copyString(out, path, 260);
    appendString(out, "*", 260);
}

void showSourceTitle() {
    char title[260];
    if (journalHasEdits())
        markTitleModified(title);
    else
        copyString(title, g_doc.SrcName, sizeof title);
    plat().setTitle(title);
}

void showJournalName() {
    setJournalPathField(g_jnl.JnlName);
    g_doc.AccessFlag |= kAccUnlocked;
    drawStatusLine();
}
