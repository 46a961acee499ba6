// A small helper for the end-to-end tests, run under the same Wine server as kelmor.exe.
// It reads what xdotool cannot: window classes, control ids and control texts of other
// processes. Output is UTF-8, one line per answer; the exit code is 0 when found.
//
//   probe main              X window id, title and size (with "iconic" or "zoomed") of the
//                           main window (class "TEXT_B")
//   probe filedialog        X window id, title and name field of a file dialog, found by
//                           its controls (name 1148, OK 1, Cancel 2)
//   probe windows           class and title of every visible top-level window
//   probe text TITLE ID     text of control ID in the visible window titled TITLE
//   probe minimize | close  the main window's system-menu command, as from its caption
//   probe string EXE ID     string ID of the string table of the program EXE
//   probe command ID        posts the menu command ID to the main window
//   probe post ID           the same, and prints "post T": the wall-clock time of the post in
//                           microseconds since 1970 (for timing the command from outside)
//   probe keys N VK         N presses of the virtual key VK (0x22 = PgDn) sent as keyboard
//                           input in one go, and "post T" as for post
//   probe enabled           1 when the main window takes input, 0 while it is disabled
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

static std::string utf8(const wchar_t *w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
    return s;
}

static void say(const std::string &line) {
    std::string out = line + "\n";
    DWORD done;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), DWORD(out.size()), &done, nullptr);
}

static void sayNow(const char *what) { // wall-clock microseconds since 1970
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    uint64_t t = (uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10;
    say(std::string(what) + " " + std::to_string(t - 11644473600000000ull)); // 1601 to 1970
}

static std::string title(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return utf8(buf);
}

static std::string controlText(HWND dlg, int id) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) return "";
    wchar_t buf[512] = {};
    // WM_GETTEXT works across processes; GetWindowText would not for controls.
    SendMessageTimeoutW(c, WM_GETTEXT, 512, LPARAM(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
    return utf8(buf);
}

// The X11 window Wine made for a top-level window.
static unsigned long xWindow(HWND w) {
    return static_cast<unsigned long>(
        reinterpret_cast<uintptr_t>(GetPropA(w, "__wine_x11_whole_window")));
}

struct Search {
    int mode; // 0 file dialog, 1 list, 2 by title
    std::wstring title;
    HWND found = nullptr;
};

static BOOL CALLBACK visit(HWND w, LPARAM lp) {
    Search *s = reinterpret_cast<Search *>(lp);
    if (!IsWindowVisible(w)) return TRUE;
    if (s->mode == 0) {
        if (GetDlgItem(w, 1148) && GetDlgItem(w, IDOK) && GetDlgItem(w, IDCANCEL)) {
            s->found = w;
            return FALSE;
        }
    } else if (s->mode == 1) {
        wchar_t cls[128] = {};
        GetClassNameW(w, cls, 128);
        say(utf8(cls) + "\t" + title(w));
    } else {
        wchar_t buf[512] = {};
        GetWindowTextW(w, buf, 512);
        if (s->title == buf) {
            s->found = w;
            return FALSE;
        }
    }
    return TRUE;
}

int wmain(int argc, wchar_t **argv) {
    std::wstring cmd = argc > 1 ? argv[1] : L"";
    if (cmd == L"main") {
        HWND w = FindWindowW(L"TEXT_B", nullptr);
        if (!w) return 1;
        RECT r;
        GetWindowRect(w, &r);
        say(std::to_string(xWindow(w)) + "\t" + title(w) + "\t" + std::to_string(r.right - r.left) +
            "x" + std::to_string(r.bottom - r.top) + (IsIconic(w) ? " iconic" : "") +
            (IsZoomed(w) ? " zoomed" : ""));
        return 0;
    }
    if (cmd == L"filedialog") {
        Search s{0};
        EnumWindows(visit, LPARAM(&s));
        if (!s.found) return 1;
        say(std::to_string(xWindow(s.found)) + "\t" + title(s.found) + "\t" +
            controlText(s.found, 1148));
        return 0;
    }
    if (cmd == L"windows") {
        Search s{1};
        EnumWindows(visit, LPARAM(&s));
        return 0;
    }
    if (cmd == L"text" && argc > 3) {
        Search s{2, argv[2]};
        EnumWindows(visit, LPARAM(&s));
        if (!s.found) return 1;
        say(controlText(s.found, int(std::wcstol(argv[3], nullptr, 10))));
        return 0;
    }
    if ((cmd == L"click" || cmd == L"check") && argc > 3) { // a button of a dialog by its id
        Search s{2, argv[2]};
        EnumWindows(visit, LPARAM(&s));
        HWND c = s.found ? GetDlgItem(s.found, int(std::wcstol(argv[3], nullptr, 10))) : nullptr;
        if (!c) return 1;
        if (cmd == L"check")
            say(std::to_string(SendMessageW(c, BM_GETCHECK, 0, 0)));
        else // posted: a click that opens a modal box must not hold the probe
            PostMessageW(c, BM_CLICK, 0, 0);
        return 0;
    }
    if (cmd == L"minimize" || cmd == L"close") {
        HWND w = FindWindowW(L"TEXT_B", nullptr);
        if (!w) return 1;
        PostMessageW(w, WM_SYSCOMMAND, cmd == L"close" ? SC_CLOSE : SC_MINIMIZE, 0);
        return 0;
    }
    if ((cmd == L"command" || cmd == L"post") && argc > 2) { // as a menu click sends it, posted
        HWND w = FindWindowW(L"TEXT_B", nullptr);
        if (!w) return 1;
        if (cmd == L"post") sayNow("post");
        PostMessageW(w, WM_COMMAND, WPARAM(std::wcstol(argv[2], nullptr, 10)), 0);
        return 0;
    }
    if (cmd == L"keys" && argc > 3) { // to the window with the keyboard focus, as typed
        int n = int(std::wcstol(argv[2], nullptr, 10));
        WORD vk = WORD(std::wcstol(argv[3], nullptr, 0));
        std::vector<INPUT> in(size_t(n > 0 ? 2 * n : 0));
        for (size_t i = 0; i < in.size(); ++i) {
            in[i].type = INPUT_KEYBOARD;
            in[i].ki.wVk = vk;
            in[i].ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
            in[i].ki.dwFlags = KEYEVENTF_EXTENDEDKEY | (i % 2 ? KEYEVENTF_KEYUP : 0);
        }
        sayNow("post");
        return SendInput(UINT(in.size()), in.data(), sizeof(INPUT)) == in.size() ? 0 : 1;
    }
    if (cmd == L"enabled") {
        HWND w = FindWindowW(L"TEXT_B", nullptr);
        if (!w) return 1;
        say(IsWindowEnabled(w) ? "1" : "0");
        return 0;
    }
    if (cmd == L"string" && argc > 3) {
        HMODULE m = LoadLibraryExW(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE);
        wchar_t buf[512] = {};
        if (!m || !LoadStringW(m, UINT(std::wcstol(argv[3], nullptr, 10)), buf, 512)) return 1;
        say(utf8(buf));
        return 0;
    }
    say("usage: probe main | filedialog | windows | text TITLE ID | minimize | close | "
        "command ID | post ID | keys N VK | enabled | click TITLE ID | check TITLE ID");
    return 2;
}
