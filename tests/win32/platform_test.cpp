// The Win32 platform on the real API (run under Wine): the platform contract the fake is held
// to, and what only a real system has: disk geometry, the date, and the window services.
#include <windows.h>

#include "platform/win32/win32_platform.h"

Platform &contractPlatform() {
    static Win32Platform plat{GetModuleHandleA(nullptr)};
    return plat;
}

#include "tests/platform_contract.h"

namespace {

TEST_F(Contract, GeometryOfAPlainFileIsRefusedAndTheDateIsToday) {
    // The fake lets a file stand in for a disk; the real system has geometry for devices only.
    std::string f = path("g.bin");
    writeWhole(f, "not a disk");
    Handle h = open(f, kAccessRead, kShareRead, Disposition::OpenExisting);
    DiskGeometry g;
    g.bytesPerSector = 77;
    EXPECT_FALSE(p.diskGeometry(h, &g));
    EXPECT_EQ(g.bytesPerSector, 77u);
    p.closeHandle(h);
    char d[11], want[11];
    p.today(d);
    SYSTEMTIME st;
    GetLocalTime(&st);
    std::snprintf(want, sizeof want, "%02d.%02d.%04d", st.wDay, st.wMonth, st.wYear);
    EXPECT_STREQ(d, want);
}

// Answers every size request with a fixed size, as the real size rule would with its grid.
LRESULT CALLBACK testWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto *pos = reinterpret_cast<WINDOWPOS *>(lp);
    if (msg == WM_WINDOWPOSCHANGING && !(pos->flags & SWP_NOSIZE) && !pos->cx && !pos->cy) {
        pos->cx = 517;
        pos->cy = 343;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = testWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "KELMOR_PLATFORM_TEST";
        RegisterClassA(&wc);
        // Pop-ups 0 and 1 with a few items, then a plain item on the bar.
        menu = CreateMenu();
        HMENU file = CreatePopupMenu(), edit = CreatePopupMenu();
        AppendMenuA(file, MF_STRING, 101, "&Eins");
        AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(file, MF_STRING, 102, "&Zwei");
        AppendMenuA(menu, MF_POPUP, UINT_PTR(file), "&Datei");
        AppendMenuA(edit, MF_STRING, 201, "Drei");
        AppendMenuA(menu, MF_POPUP, UINT_PTR(edit), "&Bearbeiten");
        AppendMenuA(menu, MF_STRING, 301, "Vier");
        hwnd = CreateWindowA("KELMOR_PLATFORM_TEST", "Fenster", WS_OVERLAPPEDWINDOW | WS_VSCROLL, 0,
                             0, 400, 300, nullptr, menu, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(hwnd, nullptr) << GetLastError();
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        UpdateWindow(hwnd);
        plat.attachWindow(hwnd);
        drain();
    }
    void TearDown() override {
        if (hwnd) DestroyWindow(hwnd);
        drain();
    }
    void drain() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    }
    std::string itemText(int popup, int pos) {
        char buf[128] = {};
        GetMenuStringA(GetSubMenu(menu, popup), UINT(pos), buf, sizeof buf, MF_BYPOSITION);
        return buf;
    }
    UINT state(UINT id, UINT how = MF_BYCOMMAND) {
        return GetMenuState(menu, id, how) & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    }

    Win32Platform plat{GetModuleHandleA(nullptr)};
    HWND hwnd = nullptr;
    HMENU menu = nullptr;
};

TEST_F(WindowTest, TitleScrollBarAndSize) {
    plat.setTitle("Z:\\daten\\gro\xdf.bin");
    char buf[64];
    GetWindowTextA(hwnd, buf, sizeof buf);
    EXPECT_STREQ(buf, "Z:\\daten\\gro\xdf.bin");
    int lo = -1, hi = -1;
    for (int max : {1024, 24575}) {
        plat.setScrollRange(0, max);
        plat.setScrollPos(max == 1024 ? 300 : max);
        GetScrollRange(hwnd, SB_VERT, &lo, &hi);
        EXPECT_EQ(lo, 0);
        EXPECT_EQ(hi, max);
        EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), max == 1024 ? 300 : max);
    }
    plat.requestWindowSize(); // through the window procedure; the position stays
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, 517);
    EXPECT_EQ(r.bottom - r.top, 343);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
}

TEST_F(WindowTest, MenuItemsByCommandAndByPosition) {
    plat.setMenuState(102, MenuState::Greyed);
    EXPECT_EQ(state(102), UINT(MF_GRAYED));
    plat.setMenuState(102, MenuState::Disabled);
    EXPECT_EQ(state(102), UINT(MF_DISABLED));
    plat.setMenuState(102, MenuState::Enabled);
    EXPECT_EQ(state(102), 0u);
    plat.setMenuState(301, MenuState::Greyed); // a command on the bar itself
    EXPECT_EQ(state(301), UINT(MF_GRAYED));
    plat.setPopupState(1, MenuState::Greyed);
    EXPECT_EQ(state(1, MF_BYPOSITION), UINT(MF_GRAYED));
    EXPECT_EQ(state(0, MF_BYPOSITION), 0u);
    plat.setPopupState(1, MenuState::Enabled);
    EXPECT_EQ(state(1, MF_BYPOSITION), 0u);
    plat.setMenuCheck(201, true);
    EXPECT_EQ(state(201), UINT(MF_CHECKED));
    plat.setMenuCheck(201, false);
    EXPECT_EQ(state(201), 0u);
    plat.drawMenuBar();
    // Inserted before the item at the position, as the recent-files list needs.
    ASSERT_TRUE(plat.insertMenuItem(0, 2, 2, "1 C:\\a.bin"));
    ASSERT_TRUE(plat.insertMenuItem(0, 3, 3, "2 C:\\b.bin"));
    ASSERT_TRUE(plat.setMenuItemText(0, 3, 3, "2 D:\\neu.bin"));
    HMENU file = GetSubMenu(menu, 0);
    EXPECT_EQ(GetMenuItemCount(file), 5);
    const char *texts[] = {"&Eins", "", "1 C:\\a.bin", "2 D:\\neu.bin", "&Zwei"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(itemText(0, i), texts[i]) << i;
    EXPECT_EQ(GetMenuItemID(file, 3), 3u);
    // Position 2 of the bar is a plain item, not a pop-up.
    EXPECT_FALSE(plat.insertMenuItem(2, 0, 9, "x"));
    EXPECT_FALSE(plat.setMenuItemText(7, 0, 9, "x"));
}

TEST_F(WindowTest, FontMetricsAndOpaqueText) {
    int cw = 0, lh = 0;
    ASSERT_TRUE(plat.createViewFont(16, 8, &cw, &lh));
    EXPECT_EQ(cw, 8);
    EXPECT_EQ(lh, 16);
    ASSERT_TRUE(plat.createViewFont(20, 10, &cw, &lh));
    EXPECT_EQ(cw, 10);
    EXPECT_EQ(lh, 20);
    // Nested drawing: the inner pair must not end the outer one.
    plat.beginDraw();
    plat.beginDraw();
    plat.textOut(0, 0, "  AB", 4, 0xEEFFEE);
    plat.endDraw();
    plat.textOut(0, lh, " ", 1, 0x8888FF);
    plat.endDraw();
    plat.textOut(4 * cw, 0, " ", 1, 0xDDDDFF); // outside any pair it still draws
    GdiFlush();
    HDC dc = GetDC(hwnd);
    EXPECT_EQ(GetPixel(dc, 0, lh / 2), COLORREF(0xEEFFEE));
    EXPECT_EQ(GetPixel(dc, 2 * cw - 1, lh - 1), COLORREF(0xEEFFEE)); // the whole cell
    EXPECT_EQ(GetPixel(dc, 0, lh + lh / 2), COLORREF(0x8888FF));
    EXPECT_EQ(GetPixel(dc, 4 * cw, lh / 2), COLORREF(0xDDDDFF));
    EXPECT_EQ(GetPixel(dc, 5 * cw + 1, lh / 2), COLORREF(0x000000)); // nothing drawn there
    ReleaseDC(hwnd, dc);
}

TEST_F(WindowTest, PollMessageReportsCharactersOnly) {
    EXPECT_EQ(plat.pollMessage(), -1);
    PostMessageA(hwnd, WM_USER + 5, 0, 0);
    PostMessageA(hwnd, WM_CHAR, 0xE4, 0); // Windows-1252 a-umlaut
    PostMessageA(hwnd, WM_CHAR, ' ', 0);
    for (int want : {0, 0xE4, int(' '), -1})
        EXPECT_EQ(plat.pollMessage(), want);
    // A quit message is kept for the main loop.
    PostQuitMessage(3);
    EXPECT_EQ(plat.pollMessage(), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
}

} // namespace
