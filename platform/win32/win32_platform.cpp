#include "platform/win32/win32_platform.h"

#include <commdlg.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>

// The native calls behind ReadFile and WriteFile; with an offset and no event they read and
// write there without touching a file pointer.
extern "C" {
NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event, PVOID apc, PVOID apcContext,
                          PIO_STATUS_BLOCK io, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                          PULONG key);
NTSTATUS NTAPI NtWriteFile(HANDLE file, HANDLE event, PVOID apc, PVOID apcContext,
                           PIO_STATUS_BLOCK io, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                           PULONG key);
ULONG NTAPI RtlNtStatusToDosError(NTSTATUS status);
}

// ---------------------------------------------------------------------------------------------
// Dialogs

class Win32DialogHost : public DialogHost {
  public:
    Win32DialogHost(Win32Platform *platform, DialogLogic &logic, bool modal)
        : platform_(platform), logic_(logic), modal_(modal) {}

    void setText(int id, const char *text) override { SetDlgItemTextA(hwnd_, id, text); }
    int getText(int id, char *buf, int size) override {
        if (size <= 0) return 0;
        buf[0] = 0;
        return int(GetDlgItemTextA(hwnd_, id, buf, size));
    }
    void setCheck(int id, bool on) override {
        CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    bool getCheck(int id) override { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void enable(int id, bool on) override { EnableWindow(GetDlgItem(hwnd_, id), on); }
    void setLimit(int id, int chars) override {
        SendDlgItemMessageA(hwnd_, id, EM_LIMITTEXT, WPARAM(chars), 0);
    }
    void focus(int id) override {
        HWND ctl = GetDlgItem(hwnd_, id);
        if (!ctl) return;
        // WM_NEXTDLGCTL keeps the dialog manager's default-button bookkeeping right.
        SendMessageA(hwnd_, WM_NEXTDLGCTL, WPARAM(ctl), TRUE);
        focusSet_ = true;
    }
    void select(int id, int from, int to) override {
        SendDlgItemMessageA(hwnd_, id, EM_SETSEL, WPARAM(from), LPARAM(to));
    }
    void setTitle(const char *text) override { SetWindowTextA(hwnd_, text); }
    void moveTo(int x, int y, int width, int height) override {
        if (!hwnd_) return;
        POINT pt = {x, y}; // client pixels of the main window
        if (platform_->window()) ClientToScreen(platform_->window(), &pt);
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (width <= 0 || height <= 0) flags |= SWP_NOSIZE;
        SetWindowPos(hwnd_, nullptr, pt.x, pt.y, width, height, flags);
    }
    void end(int result) override {
        if (!hwnd_) return;
        if (modal_)
            EndDialog(hwnd_, result);
        else
            DestroyWindow(hwnd_);
    }

    static INT_PTR CALLBACK proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd() const { return hwnd_; }

  private:
    // A modeless host deletes itself once its window is gone and no logic call runs on it.
    void leaveCall() {
        if (--busy_ == 0 && gone_ && !modal_) delete this;
    }

    Win32Platform *platform_;
    DialogLogic &logic_;
    bool modal_;
    HWND hwnd_ = nullptr;
    bool focusSet_ = false;
    bool gone_ = false;
    int busy_ = 0;
};

INT_PTR CALLBACK Win32DialogHost::proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    Win32DialogHost *host;
    if (msg == WM_INITDIALOG) {
        host = reinterpret_cast<Win32DialogHost *>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, LONG_PTR(host));
        host->hwnd_ = dlg;
        host->focusSet_ = false;
        ++host->busy_;
        host->logic_.init(*host);
        bool focusSet = host->focusSet_;
        host->leaveCall();
        return focusSet ? FALSE : TRUE;
    }
    host = reinterpret_cast<Win32DialogHost *>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (!host) return FALSE;
    switch (msg) {
    case WM_COMMAND: {
        ++host->busy_;
        bool handled = host->logic_.command(*host, LOWORD(wp), HIWORD(wp));
        host->leaveCall();
        return handled ? TRUE : FALSE;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrA(dlg, DWLP_USER, 0);
        host->hwnd_ = nullptr;
        if (!host->modal_) {
            host->gone_ = true;
            host->logic_.destroyed();
            host->platform_->forgetModeless(host);
            if (host->busy_ == 0) delete host;
        }
        return FALSE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------------------------

static HANDLE toWin(Handle h) {
    return reinterpret_cast<HANDLE>(uintptr_t(h));
}
static Handle fromWin(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? kInvalidHandle : Handle(reinterpret_cast<uintptr_t>(h));
}
static uint64_t fromFileTime(const FILETIME &t) {
    return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {}

Win32Platform::~Win32Platform() {
    if (font_) DeleteObject(font_);
}

void Win32Platform::attachWindow(HWND hwnd) {
    hwnd_ = hwnd;
    menu_ = hwnd ? GetMenu(hwnd) : nullptr;
}

bool Win32Platform::dialogMessage(MSG *msg) {
    // Copy the windows first: a dialog may close itself while it handles the message.
    HWND windows[kMaxModeless];
    int n = 0;
    for (Win32DialogHost *h : modeless_)
        if (h && h->hwnd()) windows[n++] = h->hwnd();
    for (int i = 0; i < n; ++i)
        if (IsWindow(windows[i]) && IsDialogMessageA(windows[i], msg)) return true;
    // The find dialog takes its own keys (Tab, Return, Esc) while it has the focus.
    if (findDlg_ && IsWindow(findDlg_) && IsDialogMessageA(findDlg_, msg)) return true;
    return false;
}

bool Win32Platform::openFindDialog(FindRequest &req) {
    if (findDlg_ && IsWindow(findDlg_)) {
        if (findReq_ == &req && ((find_.Flags & FR_HIDEMATCHCASE) != 0) == req.hideMatchCase) {
            ShowWindow(findDlg_, SW_SHOW);
            SetActiveWindow(findDlg_);
            return true;
        }
        DestroyWindow(findDlg_); // the match-case box comes and goes only with a new dialog
    }
    findReq_ = &req;
    find_ = {};
    find_.lStructSize = sizeof find_;
    find_.hwndOwner = hwnd_;
    find_.lpstrFindWhat = req.findWhat;
    find_.wFindWhatLen = sizeof req.findWhat;
    find_.Flags = FR_HIDEWHOLEWORD | (req.down ? FR_DOWN : 0) | (req.matchCase ? FR_MATCHCASE : 0) |
                  (req.hideMatchCase ? FR_HIDEMATCHCASE : 0);
    findDlg_ = FindTextA(&find_);
    return findDlg_ != nullptr;
}

bool Win32Platform::findDialogOpen() {
    return findDlg_ && IsWindow(findDlg_);
}

void Win32Platform::findReport(LPARAM lp) {
    auto *fr = reinterpret_cast<FINDREPLACEA *>(lp);
    if (!findReq_ || fr != &find_) return;
    findReq_->down = (fr->Flags & FR_DOWN) != 0;
    findReq_->matchCase = (fr->Flags & FR_MATCHCASE) != 0;
    findReq_->findNext = (fr->Flags & FR_FINDNEXT) != 0;
    if (fr->Flags & FR_DIALOGTERM) {
        findDlg_ = nullptr;
        findReq_->findNext = false;
    }
}

void Win32Platform::forgetModeless(Win32DialogHost *host) {
    for (Win32DialogHost *&h : modeless_)
        if (h == host) h = nullptr;
}

// ---- files and devices ----------------------------------------------------------------------

Handle Win32Platform::openFile(const char *path, unsigned access, unsigned share,
                               Disposition disp) {
    DWORD acc = 0;
    if (access & kAccessRead) acc |= GENERIC_READ;
    if (access & kAccessWrite) acc |= GENERIC_WRITE;
    DWORD shr = 0;
    if (share & kShareRead) shr |= FILE_SHARE_READ;
    if (share & kShareWrite) shr |= FILE_SHARE_WRITE;
    if (share & kShareDelete) shr |= FILE_SHARE_DELETE;
    DWORD how = OPEN_EXISTING;
    switch (disp) {
    case Disposition::OpenExisting:
        how = OPEN_EXISTING;
        break;
    case Disposition::CreateAlways:
        how = CREATE_ALWAYS;
        break;
    case Disposition::OpenAlways:
        how = OPEN_ALWAYS;
        break;
    case Disposition::CreateNew:
        how = CREATE_NEW;
        break;
    case Disposition::TruncateExisting:
        how = TRUNCATE_EXISTING;
        break;
    }
    // Files are opened for overlapped I/O and read and written at the offset kept here: on a
    // synchronous handle every read and write also moves the system's file pointer (under Wine
    // a second system call each), and ReadFile with an OVERLAPPED costs a round trip to the Wine
    // server. Devices stay synchronous, as their control codes expect.
    bool atOffset = std::strncmp(path, "\\\\.\\", 4) != 0;
    HANDLE h = CreateFileA(path, acc, shr, nullptr, how,
                           FILE_ATTRIBUTE_NORMAL | (atOffset ? FILE_FLAG_OVERLAPPED : 0), nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError(); // OpenAlways and CreateAlways tell an existing file by it
        files_[h] = FileState{0, atOffset};
        SetLastError(err);
    }
    return fromWin(h);
}

bool Win32Platform::closeHandle(Handle h) {
    files_.erase(toWin(h));
    return CloseHandle(toWin(h)) != 0;
}

bool Win32Platform::transfer(Handle h, void *buf, uint32_t n, uint32_t *done, bool write) {
    if (done) *done = 0;
    auto it = files_.find(toWin(h));
    if (it == files_.end() || !it->second.atOffset) {
        DWORD d = 0;
        BOOL ok = write ? WriteFile(toWin(h), buf, n, &d, nullptr)
                        : ReadFile(toWin(h), buf, n, &d, nullptr);
        if (done) *done = d;
        return ok != 0;
    }
    const NTSTATUS kPending = NTSTATUS(STATUS_PENDING);
    IO_STATUS_BLOCK io = {};
    io.Status = kPending;
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(it->second.pos);
    NTSTATUS s = write ? NtWriteFile(toWin(h), nullptr, nullptr, nullptr, &io, buf, n, &at, nullptr)
                       : NtReadFile(toWin(h), nullptr, nullptr, nullptr, &io, buf, n, &at, nullptr);
    if (s == kPending) {
        // Often done already (Wine reports every transfer on such a handle as pending); else
        // the file itself is signalled, no event being given. As GetOverlappedResult does.
        if (static_cast<volatile IO_STATUS_BLOCK &>(io).Status == kPending)
            WaitForSingleObject(toWin(h), INFINITE);
        s = io.Status;
    }
    const NTSTATUS kEndOfFile = NTSTATUS(0xC0000011);
    if (s == kEndOfFile) return true; // reading at or beyond the end: nothing, as ReadFile
    if (s < 0) {
        SetLastError(RtlNtStatusToDosError(s));
        return false;
    }
    it->second.pos += io.Information;
    if (done) *done = uint32_t(io.Information);
    return true;
}

bool Win32Platform::readFile(Handle h, void *buf, uint32_t n, uint32_t *got) {
    return transfer(h, buf, n, got, false);
}

bool Win32Platform::writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) {
    return transfer(h, const_cast<void *>(buf), n, put, true);
}

bool Win32Platform::seekFile(Handle h, uint64_t pos) {
    auto it = files_.find(toWin(h));
    if (it != files_.end() && it->second.atOffset) {
        if (int64_t(pos) < 0) {
            SetLastError(ERROR_NEGATIVE_SEEK);
            return false;
        }
        it->second.pos = pos;
        return true;
    }
    LARGE_INTEGER li;
    li.QuadPart = LONGLONG(pos);
    return SetFilePointerEx(toWin(h), li, nullptr, FILE_BEGIN) != 0;
}

bool Win32Platform::fileSize(Handle h, uint64_t *size) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(toWin(h), &li)) return false;
    *size = uint64_t(li.QuadPart);
    return true;
}

bool Win32Platform::setEndOfFile(Handle h) {
    auto it = files_.find(toWin(h));
    if (it != files_.end() && it->second.atOffset) { // the end goes where the kept offset is
        LARGE_INTEGER li;
        li.QuadPart = LONGLONG(it->second.pos);
        if (!SetFilePointerEx(toWin(h), li, nullptr, FILE_BEGIN)) return false;
    }
    return SetEndOfFile(toWin(h)) != 0;
}
bool Win32Platform::flushFile(Handle h) {
    return FlushFileBuffers(toWin(h)) != 0;
}

bool Win32Platform::getFileTimes(Handle h, FileTimes *t) {
    FILETIME c, a, w;
    if (!GetFileTime(toWin(h), &c, &a, &w)) return false;
    t->creation = fromFileTime(c);
    t->lastAccess = fromFileTime(a);
    t->lastWrite = fromFileTime(w);
    return true;
}

bool Win32Platform::copyFile(const char *from, const char *to, bool failIfExists) {
    return CopyFileA(from, to, failIfExists) != 0;
}

bool Win32Platform::deleteFile(const char *path) {
    return DeleteFileA(path) != 0;
}
bool Win32Platform::createDirectory(const char *path) {
    return CreateDirectoryA(path, nullptr) != 0;
}
bool Win32Platform::setCurrentDirectory(const char *path) {
    return SetCurrentDirectoryA(path) != 0;
}

uint32_t Win32Platform::fullPathName(const char *name, char *out, uint32_t size) {
    char *filePart = nullptr;
    DWORD n = GetFullPathNameA(name, size, out, &filePart);
    return n < size ? n : 0; // a too small buffer gets the needed size back: treat as failure
}

uint32_t Win32Platform::logicalDrives() {
    return GetLogicalDrives();
}
uint32_t Win32Platform::driveType(const char *root) {
    return GetDriveTypeA(root);
}

bool Win32Platform::diskFreeSpace(const char *root, uint64_t *freeBytes, uint64_t *totalBytes) {
    ULARGE_INTEGER avail, total, totalFree;
    if (!GetDiskFreeSpaceExA(root, &avail, &total, &totalFree)) return false;
    if (freeBytes) *freeBytes = avail.QuadPart;
    if (totalBytes) *totalBytes = total.QuadPart;
    return true;
}

bool Win32Platform::diskLength(Handle h, uint64_t *bytes) {
    GET_LENGTH_INFORMATION len;
    DWORD got = 0;
    if (DeviceIoControl(toWin(h), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &len, sizeof len, &got,
                        nullptr)) {
        *bytes = uint64_t(len.Length.QuadPart);
        return true;
    }
    // A device backed by an image file (Wine) knows its length as a file.
    LARGE_INTEGER li;
    if (!GetFileSizeEx(toWin(h), &li) || li.QuadPart == 0) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    *bytes = uint64_t(li.QuadPart);
    return true;
}

bool Win32Platform::diskGeometry(Handle h, DiskGeometry *g) {
    DISK_GEOMETRY dg;
    DWORD got = 0;
    if (!DeviceIoControl(toWin(h), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &dg, sizeof dg, &got,
                         nullptr))
        return false;
    g->cylinders = uint64_t(dg.Cylinders.QuadPart);
    g->tracksPerCylinder = dg.TracksPerCylinder;
    g->sectorsPerTrack = dg.SectorsPerTrack;
    g->bytesPerSector = dg.BytesPerSector;
    return true;
}

uint32_t Win32Platform::osMajorVersion() {
    return GetVersion() & 0xFF;
}
uint32_t Win32Platform::lastError() {
    return GetLastError();
}
void Win32Platform::setLastError(uint32_t code) {
    SetLastError(code);
}

// ---- the main window ------------------------------------------------------------------------

bool Win32Platform::backReady() {
    RECT c;
    GetClientRect(hwnd_, &c);
    int w = c.right > 1 ? c.right : 1, h = c.bottom > 1 ? c.bottom : 1;
    if (backDC_ && w == backW_ && h == backH_) return true;
    if (backDC_) {
        SelectObject(backDC_, backOld_);
        DeleteObject(backBmp_);
        DeleteDC(backDC_);
    }
    HDC screen = GetDC(hwnd_);
    backDC_ = CreateCompatibleDC(screen);
    backBmp_ = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(hwnd_, screen);
    backOld_ = SelectObject(backDC_, backBmp_);
    backW_ = w, backH_ = h;
    RECT all = {0, 0, w, h};
    FillRect(backDC_, &all, GetSysColorBrush(COLOR_WINDOW));
    return false;
}

void Win32Platform::setPainters(void (*paintAll)(), void (*paintPage)()) {
    paintAll_ = paintAll;
    paintPage_ = paintPage;
}

void Win32Platform::paint(HDC dc, const RECT &area) {
    painting_ = true;
    if (!backReady() || backStale_) {
        backStale_ = pageStale_ = false;
        if (paintAll_) paintAll_();
    }
    drawStalePage();
    painting_ = false;
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, backDC_,
           area.left, area.top, SRCCOPY);
}

bool Win32Platform::paintPageLater() {
    if (painting_ || pageDrawing_ || drawDepth_ > 0 || !hwnd_ || !paintPage_) return false;
    if (!pageStale_) InvalidateRect(hwnd_, nullptr, FALSE);
    pageStale_ = true;
    return true;
}

void Win32Platform::drawStalePage() {
    if (!pageStale_ || pageDrawing_) return;
    pageStale_ = false;
    pageDrawing_ = true;
    paintPage_();
    pageDrawing_ = false;
}

void Win32Platform::beginDraw() {
    // What is drawn now goes over the page, as it would have had the page been drawn at once.
    if (drawDepth_ == 0) drawStalePage();
    if (drawDepth_++ > 0 || !hwnd_) return;
    if (!backReady() && !painting_) backStale_ = true, InvalidateRect(hwnd_, nullptr, FALSE);
    dc_ = backDC_;
    oldFont_ = font_ && dc_ ? SelectObject(dc_, font_) : nullptr;
}

void Win32Platform::endDraw() {
    if (drawDepth_ == 0 || --drawDepth_ > 0 || !dc_) return;
    if (oldFont_) SelectObject(dc_, oldFont_);
    dc_ = nullptr;
    oldFont_ = nullptr;
    // The screen follows when the queue is empty: many draws, one copy.
    if (!painting_ && dirty_.right > dirty_.left) InvalidateRect(hwnd_, &dirty_, FALSE);
    dirty_ = {};
}

void Win32Platform::textOut(int x, int y, const char *text, int len, uint32_t bg) {
    if (!dc_) {
        // A stray call outside beginDraw still reaches the screen.
        if (drawDepth_ > 0 || !hwnd_) return;
        beginDraw();
        textOut(x, y, text, len, bg);
        endDraw();
        return;
    }
    SetBkColor(dc_, COLORREF(bg));
    RECT r = {x, y, x + len * cw_, y + lh_};
    ExtTextOutA(dc_, x, y, ETO_OPAQUE, &r, text, UINT(len), nullptr);
    UnionRect(&dirty_, &dirty_, &r);
}

bool Win32Platform::createViewFont(int height, int width, int *cw, int *lh) {
    HFONT f = CreateFontA(height, width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_TT_ONLY_PRECIS, CLIP_DEFAULT_PRECIS, DRAFT_QUALITY, FIXED_PITCH, "");
    if (!f) return false;
    HDC dc = dc_ ? dc_ : GetDC(hwnd_);
    HGDIOBJ prev = SelectObject(dc, f);
    TEXTMETRICA tm;
    BOOL ok = GetTextMetricsA(dc, &tm);
    // While drawing is under way the new font stays selected; endDraw restores the DC's own.
    if (!ok || !dc_) SelectObject(dc, prev);
    if (!dc_) ReleaseDC(hwnd_, dc);
    if (!ok) {
        DeleteObject(f);
        return false;
    }
    if (dc_ && !oldFont_) oldFont_ = prev;
    if (font_) DeleteObject(font_);
    font_ = f;
    cw_ = tm.tmAveCharWidth;
    lh_ = tm.tmHeight;
    *cw = cw_;
    *lh = lh_;
    return true;
}

void Win32Platform::setTitle(const char *text) {
    if (hwnd_) SetWindowTextA(hwnd_, text);
}

void Win32Platform::setScrollRange(int min, int max, int page) {
    if (!hwnd_) return;
    // A source of one page has an empty range; the bar stays (disabled) so the grid keeps
    // its width. The range grows by the page so that the thumb still reaches `max`.
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL;
    si.nMin = min;
    si.nMax = max + page - 1;
    si.nPage = UINT(page);
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
    scrollPos_ = -1; // the range may have moved the thumb
}

void Win32Platform::setScrollPos(int pos) {
    // Most page moves leave the thumb where it is (a large source has many pages per step).
    if (!hwnd_ || pos == scrollPos_) return;
    scrollPos_ = pos;
    // The bar is drawn when no message waits, as the page is: drawing it at once costs a
    // round trip to the display per page, which a held PgDn feels.
    SetScrollPos(hwnd_, SB_VERT, pos, FALSE);
    RECT c;
    GetClientRect(hwnd_, &c);
    RECT bar = {c.right, 0, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
    RedrawWindow(hwnd_, &bar, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

static UINT menuFlags(MenuState s) {
    switch (s) {
    case MenuState::Greyed:
        return MF_GRAYED;
    case MenuState::Disabled:
        return MF_DISABLED;
    default:
        return MF_ENABLED;
    }
}

void Win32Platform::setMenuState(unsigned command, MenuState s) {
    if (menu_) EnableMenuItem(menu_, command, MF_BYCOMMAND | menuFlags(s));
}

void Win32Platform::setPopupState(int popup, MenuState s) {
    if (menu_) EnableMenuItem(menu_, UINT(popup), MF_BYPOSITION | menuFlags(s));
}

void Win32Platform::setMenuCheck(unsigned command, bool checked) {
    if (menu_) CheckMenuItem(menu_, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool Win32Platform::insertMenuItem(int popup, int position, unsigned command, const char *text) {
    HMENU sub = menu_ ? GetSubMenu(menu_, popup) : nullptr;
    return sub && InsertMenuA(sub, UINT(position), MF_BYPOSITION | MF_STRING, command, text);
}

bool Win32Platform::setMenuItemText(int popup, int position, unsigned command, const char *text) {
    HMENU sub = menu_ ? GetSubMenu(menu_, popup) : nullptr;
    return sub && ModifyMenuA(sub, UINT(position), MF_BYPOSITION | MF_STRING, command, text);
}

void Win32Platform::drawMenuBar() {
    if (hwnd_) DrawMenuBar(hwnd_);
}

void Win32Platform::trackPopup(int popup, int x, int y) {
    HMENU sub = menu_ ? GetSubMenu(menu_, popup) : nullptr;
    if (!sub) return;
    POINT pt = {x, y};
    ClientToScreen(hwnd_, &pt);
    TrackPopupMenu(sub, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd_, nullptr);
}

void Win32Platform::requestWindowSize() {
    // A 0 x 0 request: the window procedure's size rule puts the computed size in.
    if (hwnd_) SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Platform::destroyWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

// ---- the user -------------------------------------------------------------------------------

int Win32Platform::messageBox(const char *text, const char *caption, unsigned style) {
    // Owned by the main window, which stays disabled while the question waits.
    HWND owner = hwnd_ && IsWindow(hwnd_) ? hwnd_ : nullptr;
    ++questionsOpen;
    int r = MessageBoxA(owner, text, caption, style);
    --questionsOpen;
    return r;
}

bool Win32Platform::fileDialog(FileDialogRecord &rec, bool save) {
    static const char kFilter[] = "alle Dateien\0*.*\0JNL-Dateien\0*.jnl\0";
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd_;
    ofn.hInstance = instance_;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = DWORD(rec.filterIndex);
    ofn.lpstrFile = rec.file;
    ofn.nMaxFile = 256;
    ofn.lpstrFileTitle = rec.title;
    ofn.nMaxFileTitle = sizeof rec.title;
    ofn.lpstrTitle = rec.dialogTitle;
    ofn.Flags = OFN_LONGNAMES;
    if (!rec.showReadOnly)
        ofn.Flags |= OFN_HIDEREADONLY;
    else if (rec.readOnly)
        ofn.Flags |= OFN_READONLY;
    rec.file[255] = 0;
    ++questionsOpen;
    BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    --questionsOpen;
    if (!ok) return false;
    rec.filterIndex = int(ofn.nFilterIndex);
    if (rec.showReadOnly) rec.readOnly = (ofn.Flags & OFN_READONLY) != 0;
    return true;
}

bool Win32Platform::openFileDialog(FileDialogRecord &rec) {
    return fileDialog(rec, false);
}
bool Win32Platform::saveFileDialog(FileDialogRecord &rec) {
    return fileDialog(rec, true);
}

int Win32Platform::runModalDialog(int id, DialogLogic &logic) {
    Win32DialogHost host(this, logic, true);
    ++questionsOpen;
    INT_PTR r = DialogBoxParamA(instance_, MAKEINTRESOURCEA(id), hwnd_, Win32DialogHost::proc,
                                LPARAM(&host));
    --questionsOpen;
    return int(r);
}

DialogHost *Win32Platform::openModelessDialog(int id, DialogLogic &logic) {
    int slot = -1;
    for (int i = 0; i < kMaxModeless && slot < 0; ++i)
        if (!modeless_[i]) slot = i;
    if (slot < 0) return nullptr;
    Win32DialogHost *host = new Win32DialogHost(this, logic, false);
    modeless_[slot] = host;
    HWND dlg = CreateDialogParamA(instance_, MAKEINTRESOURCEA(id), hwnd_, Win32DialogHost::proc,
                                  LPARAM(host));
    if (!dlg) {
        // Either creation failed outright or the dialog ended itself during init.
        if (modeless_[slot] == host) {
            modeless_[slot] = nullptr;
            delete host;
        }
        return nullptr;
    }
    if (modeless_[slot] != host) return nullptr; // ended during init: already deleted
    ShowWindow(dlg, SW_SHOW);
    return host;
}

int Win32Platform::pollMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return -1;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(int(msg.wParam)); // keep it for the main loop
        return 0;
    }
    // The find dialog works during a search: a new Find Next, or closing it, ends the step.
    if (findDlg_ && IsWindow(findDlg_) && IsDialogMessageA(findDlg_, &msg)) return 0;
    TranslateMessage(&msg);
    // Paint messages stay in the queue until they are handled, so they are let through.
    if (msg.message == WM_PAINT) {
        DispatchMessageA(&msg);
        return 0;
    }
    if (msg.message == WM_CHAR) return int(uint8_t(msg.wParam));
    return 0;
}

uint64_t Win32Platform::tickMs() {
    return GetTickCount64();
}

bool Win32Platform::clipboardOpen() {
    return OpenClipboard(hwnd_) != 0;
}
void Win32Platform::clipboardClose() {
    CloseClipboard();
}
void Win32Platform::clipboardEmpty() {
    EmptyClipboard();
}

unsigned Win32Platform::registerClipboardFormat(const char *name) {
    return RegisterClipboardFormatA(name);
}

bool Win32Platform::clipboardSet(unsigned format, const void *data, uint32_t size) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (!mem) return false;
    void *p = GlobalLock(mem);
    if (!p) {
        GlobalFree(mem);
        return false;
    }
    if (size) std::memcpy(p, data, size);
    GlobalUnlock(mem);
    if (!SetClipboardData(format, mem)) {
        GlobalFree(mem);
        return false;
    }
    return true; // the clipboard owns the memory now
}

int64_t Win32Platform::clipboardGet(unsigned format, void *buf, uint32_t size, uint64_t offset) {
    HANDLE mem = GetClipboardData(format);
    if (!mem) return -1;
    SIZE_T have = GlobalSize(mem);
    const char *p = static_cast<const char *>(GlobalLock(mem));
    if (!p) return -1;
    SIZE_T left = offset < have ? have - SIZE_T(offset) : 0;
    SIZE_T n = left < size ? left : size;
    if (n) std::memcpy(buf, p + offset, n);
    GlobalUnlock(mem);
    return int64_t(have);
}
