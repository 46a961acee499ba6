#include "app/recent.h"

#include <cstring>

#include "access/docstate.h"
#include "access/files.h"
#include "app/document.h"
#include "access/textutil.h"
#include "app/commands.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "res/resource.h"

// Entry texts are "&d. " followed by the path; the digit is the entry's index.
static const char *entryPath(int i) {
    return g_settings.recent[i] + 4;
}

static void makeEntry(char out[260], int index, const char *path) {
    out[0] = '&';
    out[1] = char('0' + index);
    out[2] = '.';
    out[3] = ' ';
    copyString(out + 4, path, 256);
}

static int entryCount() {
    int n = 0;
    while (n < 10 && g_settings.recent[n][0])
        ++n;
    return n;
}

void buildRecentMenu() {
    for (int i = 9; i >= 0; --i)
        if (g_settings.recent[i][0])
            plat().insertMenuItem(IDP_FILE, IDP_RECENT_FIRST, IDM_RECENT_FIRST + i,
                                  g_settings.recent[i]);
    plat().drawMenuBar();
}

// Puts `text` as entry i and into its menu item; a failed menu update leaves the entry.
static bool setEntry(int i, const char *text) {
    if (!plat().setMenuItemText(IDP_FILE, IDP_RECENT_FIRST + i, IDM_RECENT_FIRST + i, text))
        return false;
    copyString(g_settings.recent[i], text, 260);
    return true;
}

int moveRecentToTop(int k) {
    char moved[260];
    copyString(moved, entryPath(k - 1), 256);
    for (int i = k - 1; i >= 1; --i) {
        char text[260];
        makeEntry(text, i, entryPath(i - 1));
        if (!setEntry(i, text) && plat().messageBox(" ", " ", kMbOkCancel) == kIdCancel) return 1;
    }
    char top[260];
    makeEntry(top, 0, moved);
    setEntry(0, top);
    plat().drawMenuBar();
    return 0;
}

void addRecent() {
    const char *name = g_doc.SrcName;
    for (int i = 0; i < 10; ++i)
        if (g_settings.recent[i][0] && samePath(entryPath(i), name)) {
            moveRecentToTop(i + 1);
            return;
        }
    int n = entryCount();
    int start = 9; // a full list drops its oldest entry
    if (n < 10) {
        // The new item goes after the entries, before their closing separator.
        plat().insertMenuItem(IDP_FILE, IDP_RECENT_FIRST + n, IDM_RECENT_FIRST + n, " ");
        start = n;
    }
    for (int i = start; i >= 1; --i) {
        char text[260];
        makeEntry(text, i, entryPath(i - 1));
        setEntry(i, text);
    }
    char top[260];
    makeEntry(top, 0, name);
    setEntry(0, top);
    plat().drawMenuBar();
}

int openRecent() {
    int i = int(g_cmd.command) - int(IDM_RECENT_FIRST);
    if (i < 0 || i > 9 || !g_settings.recent[i][0]) return 1;
    copyString(g_open.fileDlg.file, entryPath(i), sizeof g_open.fileDlg.file);
    resetReadOnlyBox();
    g_settings.JnlOptions &= kJnlKeepMask;
    return openSource();
}
