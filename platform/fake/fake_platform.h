// The platform for tests: POSIX files that report Windows error codes, a character-cell
// screen, scripted message boxes, dialogs and keys.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeCell {
    char ch = ' ';
    uint32_t bg = 0xFFFFFFFF; // never drawn
};

struct FakeBox {
    std::string text, caption;
    unsigned style = 0;
};

struct FakeBoxAnswer {
    std::string caption; // expected caption ("" accepts any)
    int answer = kIdOk;
    std::string textContains; // "" accepts any
};

struct FakeFileDialogAnswer {
    bool ok = true;
    std::string path;
    bool readOnly = true;
};

class FakeDialogHost : public DialogHost {
  public:
    std::map<int, std::string> texts;
    std::map<int, bool> checks, enabled;
    std::map<int, int> limits;
    std::map<int, std::pair<int, int>> selections;
    std::string title;
    int focused = 0;
    bool ended = false;
    int result = 0;
    // The controls notify `logic` as edit controls do: a text set notifies a change, a
    // focus move the loss and the gain.
    DialogLogic *logic = nullptr;
    void setText(int id, const char *t) override;
    int getText(int id, char *buf, int size) override;
    void setCheck(int id, bool on) override { checks[id] = on; }
    bool getCheck(int id) override { return checks[id]; }
    void enable(int id, bool on) override { enabled[id] = on; }
    void setLimit(int id, int chars) override { limits[id] = chars; }
    void focus(int id) override;
    void select(int id, int from, int to) override { selections[id] = {from, to}; }
    // The user types `text` key by key into field `id` over its whole text (the field gets
    // the focus first); a key beyond the field's length limit is lost, as in an edit control.
    void type(int id, const std::string &text);
    // The user clicks control `id` (a check box toggles first).
    bool click(int id, bool toggleCheck = false);
    void setTitle(const char *t) override { title = t; }
    int x = -1, y = -1, width = 0, height = 0;
    void moveTo(int nx, int ny, int w, int h) override {
        x = nx;
        y = ny;
        if (w) width = w;
        if (h) height = h;
    }
    void end(int r) override {
        ended = true;
        result = r;
    }
};

// A scripted user of a modal dialog: gets the dialog after init and acts on it.
using FakeDialogScript = std::function<void(int id, DialogLogic &logic, FakeDialogHost &host)>;

class FakePlatform : public Platform {
  public:
    FakePlatform();
    ~FakePlatform() override;

    // ---- test controls ----
    static constexpr int kCols = 90, kRows = 34;
    FakeCell screen[kRows][kCols];
    int textCalls = 0;
    std::map<int, int> textCallsPerRow; // calls per cell row (y / lh)
    int fontCw = -1, fontLh = -1;       // when set, the metrics the "device" reports
    int fontsCreated = 0;
    std::string title;
    int scrollMin = 0, scrollMax = 0, scrollPos = 0, scrollPage = 0;
    std::map<unsigned, MenuState> menuStates;
    std::map<int, MenuState> popupStates;
    std::map<unsigned, bool> menuChecks;
    struct MenuItem {
        int popup, position;
        unsigned command;
        std::string text;
    };
    std::vector<MenuItem> insertedItems, renamedItems;
    // Pop-ups a test lays out (command, text per position); inserts and renames act on them,
    // and a rename beyond the end fails as on a real menu.
    std::map<int, std::vector<std::pair<unsigned, std::string>>> menus;
    std::vector<int> popupsTracked;
    int sizeRequests = 0;
    bool destroyed = false;

    std::vector<FakeBox> boxes;                            // every box shown
    std::deque<FakeBoxAnswer> boxAnswers;                  // scripted answers, in order
    std::function<void(const std::string &)> onUnexpected; // a box or dialog nobody expected
    std::deque<FakeFileDialogAnswer> fileDialogAnswers;
    std::vector<FileDialogRecord> fileDialogsShown;
    std::deque<FakeDialogScript> dialogScripts;
    std::vector<int> dialogsShown;
    std::deque<int> keys;         // pollMessage: characters (0 for another message)
    std::function<void()> onPoll; // runs at each pollMessage, as a message dispatched there
    std::map<unsigned, std::vector<uint8_t>> clipboard;

    // Drives: letter index -> (type, host directory). Paths "X:\..." map into the directory.
    struct FakeDrive {
        uint32_t type;
        std::string dir;
        uint64_t freeBytes = uint64_t(1) << 40, totalBytes = uint64_t(2) << 40;
    };
    std::map<int, FakeDrive> drives;
    uint32_t osMajor = 10;
    // Drive devices ("\\.\C:", "\\.\PHYSICALDRIVE2") served from image files on this host;
    // geometry and length follow the image unless scripted, or fail when told to.
    std::map<std::string, std::string> devices;
    DiskGeometry geometry{}; // cylinders 0: 255 heads, 63 sectors, whole cylinders
    bool geometryFails = false, lengthFails = false;

    // Fault injection: the Nth read or write from now (1 = the next) fails with `code`.
    void failRead(int nth, uint32_t code, const std::string &pathPart = "");
    void failWrite(int nth, uint32_t code, const std::string &pathPart = "");
    int reads = 0, writes = 0;
    bool realFlush = false; // flushFile reaches the disk (benchmarks)

    // Crash points: writes and truncations of the files in `crashFiles` (host paths) are
    // counted in crashWrites; the crashAt-th ends the process before it is done (run it in a
    // forked child). With powerLoss each file first goes back to what it held at its last
    // flushFile (or at armCrash): unflushed writes are lost.
    std::vector<std::string> crashFiles;
    int crashWrites = 0, crashAt = 0;
    bool powerLoss = false;
    void armCrash(const std::vector<std::string> &files, int at, bool power);

    std::string row(int r) const; // 88 characters of cell row r
    std::string cells(int r, int c, int n) const;
    uint32_t bg(int r, int c) const { return screen[r][c].bg; }
    void clearScreen();
    std::string hostPath(const char *path) const; // where a program path lives on this host
    int openHandles() const { return int(handles_.size()); }
    // The host path and file position of an open handle, for fakes that act on one file.
    std::string handlePath(Handle h) const {
        auto it = handles_.find(h);
        return it == handles_.end() ? "" : it->second.path;
    }
    uint64_t handlePos(Handle h) const {
        auto it = handles_.find(h);
        return it == handles_.end() ? 0 : it->second.pos;
    }

    // ---- Platform ----
    Handle openFile(const char *path, unsigned access, unsigned share, Disposition disp) override;
    bool closeHandle(Handle h) override;
    bool readFile(Handle h, void *buf, uint32_t n, uint32_t *got) override;
    bool writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) override;
    bool seekFile(Handle h, uint64_t pos) override;
    bool fileSize(Handle h, uint64_t *size) override;
    bool setEndOfFile(Handle h) override;
    bool flushFile(Handle h) override;
    bool getFileTimes(Handle h, FileTimes *t) override;
    bool copyFile(const char *from, const char *to, bool failIfExists) override;
    bool deleteFile(const char *path) override;
    bool createDirectory(const char *path) override;
    bool setCurrentDirectory(const char *path) override;
    uint32_t fullPathName(const char *name, char *out, uint32_t size) override;
    uint32_t logicalDrives() override;
    uint32_t driveType(const char *root) override;
    bool diskFreeSpace(const char *root, uint64_t *freeBytes, uint64_t *totalBytes) override;
    bool diskGeometry(Handle h, DiskGeometry *g) override;
    bool diskLength(Handle h, uint64_t *bytes) override;
    uint32_t osMajorVersion() override { return osMajor; }
    uint32_t lastError() override { return lastError_; }
    void setLastError(uint32_t code) override { lastError_ = code; }

    void beginDraw() override { ++drawDepth_; }
    void endDraw() override { --drawDepth_; }
    void textOut(int x, int y, const char *text, int len, uint32_t bg) override;
    bool createViewFont(int height, int width, int *cw, int *lh) override;
    void setTitle(const char *text) override { title = text; }
    void setScrollRange(int min, int max, int page) override {
        scrollMin = min;
        scrollMax = max;
        scrollPage = page;
    }
    void setScrollPos(int pos) override { scrollPos = pos; }
    void setMenuState(unsigned command, MenuState s) override { menuStates[command] = s; }
    void setPopupState(int popup, MenuState s) override { popupStates[popup] = s; }
    void setMenuCheck(unsigned command, bool c) override { menuChecks[command] = c; }
    bool insertMenuItem(int popup, int position, unsigned command, const char *text) override;
    bool setMenuItemText(int popup, int position, unsigned command, const char *text) override;
    void drawMenuBar() override {}
    void trackPopup(int popup, int, int) override { popupsTracked.push_back(popup); }
    void requestWindowSize() override { ++sizeRequests; }
    void destroyWindow() override { destroyed = true; }

    int messageBox(const char *text, const char *caption, unsigned style) override;
    bool openFileDialog(FileDialogRecord &rec) override;
    bool saveFileDialog(FileDialogRecord &rec) override;
    int runModalDialog(int id, DialogLogic &logic) override;
    DialogHost *openModelessDialog(int id, DialogLogic &logic) override;
    int pollMessage() override;
    // Every reading advances the clock by `clockStep`: by default each one is a new
    // interval, so paced loops poll at every step; 0 stops the clock.
    uint64_t clockMs = 0, clockStep = 1000;
    uint64_t tickMs() override { return clockMs += clockStep; }
    // The find dialog: the record it was opened on, and how often it was opened.
    bool openFindDialog(FindRequest &req) override {
        findReq = &req;
        ++findDialogsOpened;
        return true;
    }
    bool findDialogOpen() override { return findReq != nullptr; }
    FindRequest *findReq = nullptr;
    int findDialogsOpened = 0;
    bool clipboardOpen() override { return true; }
    void clipboardClose() override {}
    void clipboardEmpty() override { clipboard.clear(); }
    unsigned registerClipboardFormat(const char *name) override;
    bool clipboardSet(unsigned format, const void *data, uint32_t size) override;
    int64_t clipboardGet(unsigned format, void *buf, uint32_t size, uint64_t offset) override;

    std::vector<FakeDialogHost *> modeless; // hosts of modeless dialogs, in opening order
    std::vector<DialogLogic *> modelessLogic;
    // The user clicks control `id` of the newest modeless dialog (a check box toggles first).
    bool clickModeless(int id, bool toggleCheck = false);

  private:
    struct OpenFile {
        int fd;
        std::string path;
        unsigned access, share;
        uint64_t pos;
    };
    std::map<Handle, OpenFile> handles_;
    Handle nextHandle_ = 100;
    uint32_t lastError_ = 0;
    int drawDepth_ = 0;
    struct Fault {
        int at;
        uint32_t code;
        std::string pathPart;
    };
    std::vector<Fault> readFaults_, writeFaults_;
    std::map<std::string, unsigned> formats_;
    struct Durable {
        std::vector<uint8_t> bytes;
        int64_t mtimeSec = 0, mtimeNsec = 0;
    };
    std::map<std::string, Durable> durable_;
    void keepDurable(const std::string &path);
    void crashPoint(const std::string &path);
    bool fileDialog(FileDialogRecord &rec);
    bool checkFault(std::vector<Fault> &faults, int count, const std::string &path);
    void unexpected(const std::string &what);
};
