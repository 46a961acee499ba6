// The services the core needs from the operating system and the user interface.
// The core never includes <windows.h>; constants below carry the Win32 values so that
// both implementations and the tests speak the same numbers.
#pragma once

#include <cstdint>

using Handle = uint64_t;
constexpr Handle kInvalidHandle = ~uint64_t(0);

// Access and share modes for openFile.
enum : unsigned { kAccessRead = 1, kAccessWrite = 2 };
enum : unsigned { kShareRead = 1, kShareWrite = 2, kShareDelete = 4 };
enum class Disposition { OpenExisting, CreateAlways, OpenAlways, CreateNew, TruncateExisting };

// GetDriveType results.
enum : uint32_t {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdrom = 5,
    kDriveRamdisk = 6
};

// Message box styles and answers (MB_*, ID*).
enum : unsigned {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbYesNoCancel = 0x3,
    kMbYesNo = 0x4,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
    kMbDefButton2 = 0x100,
    kMbTaskModal = 0x2000
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Common Win32 error codes the core tests for.
enum : uint32_t {
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrAccessDenied = 5,
    kErrHandleEof = 38,
    kErrFileExists = 80,
    kErrDiskFull = 112,
    kErrAlreadyExists = 183
};

struct FileTimes {
    uint64_t creation = 0, lastAccess = 0, lastWrite = 0; // FILETIME values
};

struct DiskGeometry {
    uint64_t cylinders = 0;
    uint32_t tracksPerCylinder = 0, sectorsPerTrack = 0, bytesPerSector = 0;
};

// The one record shared by every open and save file dialog.
struct FileDialogRecord {
    int filterIndex = 1;      // 1: "alle Dateien", 2: "JNL-Dateien"
    char file[260] = {};      // in: initial name, out: chosen path
    char title[64] = {};      // out: the file's name without directory
    bool readOnly = true;     // state of the read-only box
    bool showReadOnly = true; // the box is offered
    const char *dialogTitle = nullptr;
};

// Control notifications as DialogLogic::command receives them (BN_CLICKED, EN_*).
enum : int {
    kNotifyClicked = 0,
    kNotifySetFocus = 0x100,
    kNotifyKillFocus = 0x200,
    kNotifyChange = 0x300
};

// A dialog as the core sees it: controls addressed by id.
class DialogHost {
  public:
    virtual ~DialogHost() = default;
    virtual void setText(int id, const char *text) = 0;
    virtual int getText(int id, char *buf, int size) = 0;
    virtual void setCheck(int id, bool on) = 0;
    virtual bool getCheck(int id) = 0;
    virtual void enable(int id, bool on) = 0;
    virtual void setLimit(int id, int chars) = 0;
    virtual void focus(int id) = 0;
    virtual void select(int id, int from, int to) = 0;
    virtual void setTitle(const char *text) = 0;
    virtual void end(int result) = 0; // modal: ends the dialog; modeless: destroys it
    // Moves the dialog to a point of the main window's client area; a size of 0 keeps it.
    virtual void moveTo(int x, int y, int width = 0, int height = 0) {}
};

// The logic behind one dialog resource.
class DialogLogic {
  public:
    virtual ~DialogLogic() = default;
    virtual void init(DialogHost &host) = 0;
    // A control notification; returns true when handled. Setting an edit control's text
    // notifies a change too, as typing does.
    virtual bool command(DialogHost &host, int id, int notify) = 0;
    // A modeless dialog's window is gone (also when its owner took it along): its host is
    // no longer valid.
    virtual void destroyed() {}
};

enum class MenuState { Enabled, Greyed, Disabled };

// The request of the common find dialog: one record for the whole run. The dialog writes the
// find-what text and the flags; the shell calls onFindRequest after each report.
struct FindRequest {
    char findWhat[128] = {};
    bool down = true;           // direction box
    bool matchCase = false;     // match-case box
    bool findNext = false;      // "Weitersuchen" was pressed (false: the dialog was closed)
    bool hideMatchCase = false; // the box is not offered (hexadecimal patterns)
};

class Platform {
  public:
    virtual ~Platform() = default;

    // ---- files and devices ----
    virtual Handle openFile(const char *path, unsigned access, unsigned share,
                            Disposition disp) = 0;
    virtual bool closeHandle(Handle h) = 0;
    virtual bool readFile(Handle h, void *buf, uint32_t n, uint32_t *got) = 0;
    virtual bool writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) = 0;
    virtual bool seekFile(Handle h, uint64_t pos) = 0; // from the beginning
    virtual bool fileSize(Handle h, uint64_t *size) = 0;
    virtual bool setEndOfFile(Handle h) = 0; // at the current position
    virtual bool flushFile(Handle h) = 0;
    virtual bool getFileTimes(Handle h, FileTimes *t) = 0;
    virtual bool copyFile(const char *from, const char *to, bool failIfExists) = 0;
    virtual bool deleteFile(const char *path) = 0;
    virtual bool createDirectory(const char *path) = 0;
    virtual bool setCurrentDirectory(const char *path) = 0;
    // Full path of a name, as GetFullPathName; returns its length or 0.
    virtual uint32_t fullPathName(const char *name, char *out, uint32_t size) = 0;
    virtual uint32_t logicalDrives() = 0;             // bit 0 = A:
    virtual uint32_t driveType(const char *root) = 0; // root like "C:\"
    virtual bool diskFreeSpace(const char *root, uint64_t *freeBytes, uint64_t *totalBytes) = 0;
    virtual bool diskGeometry(Handle h, DiskGeometry *g) = 0;
    // The exact length of an open drive device in bytes (every sector, not whole cylinders).
    virtual bool diskLength(Handle h, uint64_t *bytes) = 0;
    virtual uint32_t osMajorVersion() = 0;
    virtual uint32_t lastError() = 0;
    virtual void setLastError(uint32_t code) = 0;

    // ---- the main window ----
    // Drawing happens between beginDraw and endDraw (nested calls are allowed).
    virtual void beginDraw() = 0;
    virtual void endDraw() = 0;
    virtual void textOut(int x, int y, const char *text, int len, uint32_t bg) = 0;
    // True when the page's rows are to be drawn later: the platform then draws them with the
    // page painter before anything else is drawn, or when no message waits. False: now.
    virtual bool paintPageLater() { return false; }
    // (Re)creates the view font; reports the cell metrics the device really gave.
    virtual bool createViewFont(int height, int width, int *cw, int *lh) = 0;
    virtual void setTitle(const char *text) = 0;
    // The thumb is `page` units long and its position runs from min to max.
    virtual void setScrollRange(int min, int max, int page) = 0;
    virtual void setScrollPos(int pos) = 0;
    // Menu items by command number, pop-ups and positions of the main menu.
    virtual void setMenuState(unsigned command, MenuState s) = 0;
    virtual void setPopupState(int popup, MenuState s) = 0;
    virtual void setMenuCheck(unsigned command, bool checked) = 0;
    virtual bool insertMenuItem(int popup, int position, unsigned command, const char *text) = 0;
    virtual bool setMenuItemText(int popup, int position, unsigned command, const char *text) = 0;
    virtual void drawMenuBar() = 0;
    // Opens pop-up `popup` of the main menu at the given client position.
    virtual void trackPopup(int popup, int x, int y) = 0;
    // Asks the window to take the size the size rule computes.
    virtual void requestWindowSize() = 0;
    virtual void destroyWindow() = 0;

    // ---- the user ----
    // Message boxes and modal dialogs open now: commands that reach the main window
    // meanwhile (posted ones too) are not run, so nothing acts in the middle of a question.
    int questionsOpen = 0;
    virtual int messageBox(const char *text, const char *caption, unsigned style) = 0;
    virtual bool openFileDialog(FileDialogRecord &rec) = 0;
    virtual bool saveFileDialog(FileDialogRecord &rec) = 0;
    // Runs dialog resource `id` modally with `logic`; returns the value given to end().
    virtual int runModalDialog(int id, DialogLogic &logic) = 0;
    // Opens a modeless dialog; returns a host or nullptr. The host lives until end().
    virtual DialogHost *openModelessDialog(int id, DialogLogic &logic) = 0;
    // Removes one waiting message; returns its character for a typed character,
    // 0 for any other message, -1 when the queue is empty.
    virtual int pollMessage() = 0;
    // Milliseconds from a steady clock; long loops pace their progress display by it.
    virtual uint64_t tickMs() = 0;
    // Opens the modeless common find dialog on `req` (or brings it forward when open; a change
    // of hideMatchCase opens it afresh). The record must live as long as the dialog.
    virtual bool openFindDialog(FindRequest &req) = 0;
    virtual bool findDialogOpen() = 0;
    // Clipboard.
    virtual bool clipboardOpen() = 0;
    virtual void clipboardClose() = 0;
    virtual void clipboardEmpty() = 0;
    virtual unsigned registerClipboardFormat(const char *name) = 0;
    virtual bool clipboardSet(unsigned format, const void *data, uint32_t size) = 0;
    // Returns the size of the data, or -1 when the format is absent; copies up to `size`
    // bytes from `offset` on (so that a large object is read in pieces).
    virtual int64_t clipboardGet(unsigned format, void *buf, uint32_t size,
                                 uint64_t offset = 0) = 0;
};

// The platform the core runs on; set once at start (or per test).
Platform &plat();

// Long loops repaint their progress and look for Esc by time, not at every record: under
// the real window system each of these is a round trip to another process.
struct Pacer {
    static constexpr uint64_t kIntervalMs = 30;
    uint64_t next = 0;
    bool due() {
        uint64_t now = plat().tickMs();
        if (now < next) return false;
        next = now + kIntervalMs;
        return true;
    }
};
void setPlatform(Platform *p);
