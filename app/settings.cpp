#include "app/settings.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/textutil.h"

Settings g_settings;
const char kSettingsFileName[] = "kelmor.ini";

static Handle g_settingsFile = kInvalidHandle;

static bool countingDrive(uint32_t type) {
    return type == kDriveRemovable || type == kDriveFixed || type == kDriveRemote ||
           type == kDriveRamdisk;
}

void defaultJournalDirs(char jnl[260], char alt[260]) {
    copyString(jnl, "C:\\kelmor\\", 260);
    copyString(alt, "D:\\kelmor\\", 260);
    uint32_t mask = plat().logicalDrives();
    int found = 0;
    for (int d = 2; d < 26 && found < 2; ++d) {
        if (!(mask & (1u << d))) continue;
        char root[4] = {char('A' + d), ':', '\\', 0};
        if (!countingDrive(plat().driveType(root))) continue;
        (found == 0 ? jnl : alt)[0] = char('A' + d);
        ++found;
    }
}

void setDefaultSettings() {
    std::memset(&g_settings, 0, sizeof g_settings);
    std::memcpy(g_settings.magic, "bhey", 4);
    static const uint8_t sep[4] = {0x0A, 0x0D, 0x0A, 0x0D};
    std::memcpy(g_settings.sep1, sep, 4);
    std::memcpy(g_settings.sep2, sep, 4);
    copyString(g_settings.notice, "Diese Datei bitte nicht bearbeiten!   \n",
               sizeof g_settings.notice);
    g_settings.fontHeight = 16;
    g_settings.fontWidth = 8;
    g_settings.recordSize = sizeof(Settings);
    g_settings.MsgOptions = 15;
    g_settings.UndoMode = 2;
    g_settings.scrollRaster = 1;
    g_settings.JnlOptions = 1;
    g_settings.dblClickAction = 1;
    defaultJournalDirs(g_settings.jnlDir, g_settings.altDir);
}

// Makes sure a journal directory exists; one that cannot be created falls back to `fallback`.
static void ensureDirectory(char dir[260], const char *fallback) {
    if (plat().createDirectory(dir)) return;
    if (plat().lastError() == kErrAlreadyExists) return;
    copyString(dir, fallback, 260);
    plat().createDirectory(dir);
}

void loadSettings() {
    Platform &p = plat();
    if (g_settingsFile == kInvalidHandle)
        g_settingsFile = p.openFile(kSettingsFileName, kAccessRead | kAccessWrite, kShareRead,
                                    Disposition::OpenAlways);
    if (g_settingsFile != kInvalidHandle) {
        char magic[4];
        uint32_t got = 0;
        if (!p.seekFile(g_settingsFile, 0) || !p.readFile(g_settingsFile, magic, 4, &got)) {
            reportError(kReadErrorPrefix, kSettingsFileName);
        } else if (got == 4 && std::memcmp(magic, g_settings.magic, 4) == 0) {
            // Read over the defaults: a short file replaces only what it holds.
            Settings loaded = g_settings;
            if (!p.seekFile(g_settingsFile, 0) ||
                !p.readFile(g_settingsFile, &loaded, sizeof loaded, &got))
                reportError(kReadErrorPrefix, kSettingsFileName);
            else
                g_settings = loaded;
        }
    }
    // Foreign values must not break the program: sizes stay drawable, texts terminated.
    if (g_settings.fontHeight < kFontMinHeight || g_settings.fontHeight > kFontMaxHeight ||
        g_settings.fontWidth < kFontMinWidth || g_settings.fontWidth > kFontMaxWidth) {
        g_settings.fontHeight = 16;
        g_settings.fontWidth = 8;
    }
    g_settings.recordSize = sizeof(Settings);
    g_settings.jnlDir[259] = g_settings.altDir[259] = 0;
    for (auto &r : g_settings.recent)
        r[259] = 0;
    char jnl[260], alt[260];
    defaultJournalDirs(jnl, alt);
    ensureDirectory(g_settings.jnlDir, jnl);
    ensureDirectory(g_settings.altDir, alt);
}

void saveSettings() {
    Platform &p = plat();
    uint32_t put = 0;
    if (g_settingsFile == kInvalidHandle || !p.seekFile(g_settingsFile, 0) ||
        !p.writeFile(g_settingsFile, &g_settings, sizeof g_settings, &put) ||
        put != sizeof g_settings)
        reportError(kWriteErrorPrefix, kSettingsFileName);
}

void closeSettingsFile() {
    if (g_settingsFile != kInvalidHandle) plat().closeHandle(g_settingsFile);
    g_settingsFile = kInvalidHandle;
}
