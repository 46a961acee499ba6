// The platform on the real Win32 API.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <unordered_map>

#include "platform/platform.h"

class Win32DialogHost;

class Win32Platform : public Platform {
  public:
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;

    // ---- shell hooks ----
    // The main window; its menu becomes the menu the core addresses.
    void attachWindow(HWND hwnd);
    HWND window() const { return hwnd_; }
    // The paint message: the page image to the screen. Drawing goes to an image of the client
    // area in memory (drawn without a round trip to the display); the screen gets it here, in
    // one copy, when no other message waits. A new or resized image is drawn whole first by
    // `paintAll`, a page left for later by `paintPage`.
    void setPainters(void (*paintAll)(), void (*paintPage)());
    void paint(HDC dc, const RECT &area);
    // Offers a message to every open modeless dialog; true when one took it.
    bool dialogMessage(MSG *msg);
    // The find dialog reported (the registered message): its flags into the request.
    void findReport(LPARAM lp);
    // Called by a modeless host when its window is gone.
    void forgetModeless(Win32DialogHost *host);

    // ---- files and devices ----
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
    uint32_t osMajorVersion() override;
    uint32_t lastError() override;
    void setLastError(uint32_t code) override;

    // ---- the main window ----
    void beginDraw() override;
    void endDraw() override;
    bool paintPageLater() override;
    void textOut(int x, int y, const char *text, int len, uint32_t bg) override;
    bool createViewFont(int height, int width, int *cw, int *lh) override;
    void setTitle(const char *text) override;
    void setScrollRange(int min, int max, int page) override;
    void setScrollPos(int pos) override;
    void setMenuState(unsigned command, MenuState s) override;
    void setPopupState(int popup, MenuState s) override;
    void setMenuCheck(unsigned command, bool checked) override;
    bool insertMenuItem(int popup, int position, unsigned command, const char *text) override;
    bool setMenuItemText(int popup, int position, unsigned command, const char *text) override;
    void drawMenuBar() override;
    void trackPopup(int popup, int x, int y) override;
    void requestWindowSize() override;
    void destroyWindow() override;

    // ---- the user ----
    int messageBox(const char *text, const char *caption, unsigned style) override;
    bool openFileDialog(FileDialogRecord &rec) override;
    bool saveFileDialog(FileDialogRecord &rec) override;
    int runModalDialog(int id, DialogLogic &logic) override;
    DialogHost *openModelessDialog(int id, DialogLogic &logic) override;
    int pollMessage() override;
    uint64_t tickMs() override;
    bool openFindDialog(FindRequest &req) override;
    bool findDialogOpen() override;
    bool clipboardOpen() override;
    void clipboardClose() override;
    void clipboardEmpty() override;
    unsigned registerClipboardFormat(const char *name) override;
    bool clipboardSet(unsigned format, const void *data, uint32_t size) override;
    int64_t clipboardGet(unsigned format, void *buf, uint32_t size, uint64_t offset) override;

  private:
    // Files are read and written at offsets the platform keeps itself (see openFile).
    struct FileState {
        uint64_t pos = 0;
        bool atOffset = false; // opened for overlapped I/O: every read and write names its offset
    };
    std::unordered_map<HANDLE, FileState> files_;
    bool transfer(Handle h, void *buf, uint32_t n, uint32_t *done, bool write);
    bool fileDialog(FileDialogRecord &rec, bool save);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HMENU menu_ = nullptr;
    HFONT font_ = nullptr;
    int cw_ = 8, lh_ = 16;
    int scrollPos_ = -1;   // the thumb's position as last set
    bool backReady();      // the image exists at the client's size (false: made anew)
    HDC backDC_ = nullptr; // the client area's image in memory
    HBITMAP backBmp_ = nullptr;
    HGDIOBJ backOld_ = nullptr;
    int backW_ = 0, backH_ = 0;
    bool painting_ = false;  // within paint: what is drawn goes to the screen with it
    bool backStale_ = false; // made anew outside paint: to be drawn whole at the next one
    // A page left for later: many page moves waiting in the queue draw one page.
    bool pageStale_ = false;
    bool pageDrawing_ = false;
    void drawStalePage();
    void (*paintAll_)() = nullptr;
    void (*paintPage_)() = nullptr;
    RECT dirty_ = {};  // drawn since the last invalidation
    HDC dc_ = nullptr; // the DC drawing goes to between beginDraw and endDraw
    HGDIOBJ oldFont_ = nullptr;
    int drawDepth_ = 0;
    static constexpr int kMaxModeless = 8;
    Win32DialogHost *modeless_[kMaxModeless] = {};
    FINDREPLACEA find_ = {};
    FindRequest *findReq_ = nullptr;
    HWND findDlg_ = nullptr;
};
