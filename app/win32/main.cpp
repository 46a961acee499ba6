// WinMain, the message loop and the main window procedure: messages become core calls.
#include <windows.h>
#include <windowsx.h>

#include "app/commands.h"
#include "app/events.h"
#include "app/startup.h"
#include "platform/win32/win32_platform.h"
#include "res/resource.h"
#include "view/paint.h"

static Win32Platform *g_win32 = nullptr;
static bool g_started = false; // the core is initialised; before that the defaults rule
static UINT g_findReplaceMsg = 0;

static LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!g_started) return DefWindowProcA(hwnd, msg, wp, lp);
    if (g_findReplaceMsg && msg == g_findReplaceMsg) {
        g_win32->findReport(lp);
        onFindRequest();
        return 0;
    }

    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        g_win32->paint(dc, ps.rcPaint);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_WINDOWPOSCHANGING: {
        auto *pos = reinterpret_cast<WINDOWPOS *>(lp);
        // A minimised window keeps its font: the icon's size is no zoom request.
        if ((pos->flags & SWP_NOSIZE) || IsIconic(hwnd)) break;
        int w = pos->cx, h = pos->cy;
        if (applySizeRule(&w, &h)) {
            pos->flags |= SWP_NOSIZE;
        } else {
            pos->cx = w;
            pos->cy = h;
        }
        return 0;
    }
    case WM_COMMAND:
        if (dispatchCommand(LOWORD(wp), HIWORD(wp))) return 0;
        break;
    case WM_CHAR:
        onChar(int(wp), int((lp >> 16) & 0xFF));
        return 0;
    case WM_KEYUP:
        onKeyUp(int(wp));
        return 0;
    case WM_MOUSEMOVE:
        onMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), unsigned(wp));
        return 0;
    case WM_LBUTTONDOWN:
        onLButtonDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), unsigned(wp));
        return 0;
    case WM_LBUTTONUP:
        onLButtonUp(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), unsigned(wp));
        return 0;
    case WM_LBUTTONDBLCLK:
        onLButtonDblClk(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), unsigned(wp));
        return 0;
    case WM_RBUTTONDOWN:
        onRButtonDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), unsigned(wp));
        return 0;
    case WM_MOUSEWHEEL:
        onMouseWheel(GET_KEYSTATE_WPARAM(wp), GET_WHEEL_DELTA_WPARAM(wp));
        return 0;
    case WM_VSCROLL:
        onVScroll(LOWORD(wp), short(HIWORD(wp)));
        return 0;
    case WM_DESTROY:
        appDestroy();
        g_started = false;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = mainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KELMOR));
    wc.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
    wc.lpszClassName = "TEXT_B";
    if (!RegisterClassExA(&wc)) return 0;

    HWND hwnd =
        CreateWindowA("TEXT_B", "HEX-Editor für grosse Dateien", WS_OVERLAPPEDWINDOW | WS_VSCROLL,
                      0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 0;
    HACCEL accel = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_MAIN));

    static Win32Platform platform(instance);
    g_win32 = &platform;
    platform.attachWindow(hwnd);
    platform.setPainters(paintWindow, paintPage);
    setPlatform(&platform);
    g_findReplaceMsg = RegisterWindowMessageA("commdlg_FindReplace");

    int frameW = GetSystemMetrics(SM_CXVSCROLL) + 3 * GetSystemMetrics(SM_CXFRAME);
    int frameH = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU) +
                 2 * GetSystemMetrics(SM_CYFRAME);
    appInitialize(frameW, frameH);
    g_started = true;
    platform.requestWindowSize();

    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    appShown();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (platform.dialogMessage(&msg)) continue;
        if (accel && TranslateAcceleratorA(msg.hwnd, accel, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}
