// The Win32 platform on the real API (run under Wine): the platform contract the fake is held
// to, and what only a real system has: disk geometry, menus and the scroll bar.
#include <windows.h>

#include "platform/win32/win32_platform.h"

Platform &contractPlatform() {
    static Win32Platform plat{GetModuleHandleA(nullptr)};
    return plat;
}

#include "tests/platform_contract.h"

namespace {

TEST_F(Contract, GeometryOfAPlainFileIsRefused) {
    // The fake lets a file stand in for a disk; the real system has geometry for devices only.
    make(path("g.bin"), "not a disk");
    Handle h = open(path("g.bin"), kAccessRead, kShareRead, Disposition::OpenExisting);
    DiskGeometry g;
    g.bytesPerSector = 77;
    EXPECT_FALSE(p.diskGeometry(h, &g));
    EXPECT_EQ(g.bytesPerSector, 77u);
    p.closeHandle(h);
}

// Title, window size and text cells are seen by the end-to-end tests; the menu and the scroll
// bar of another process cannot be read there, nor its message queue.
TEST(Window, MenusScrollBarFontAndMessages) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "KELMOR_PLATFORM_TEST";
    RegisterClassA(&wc);
    // Pop-ups 0 and 1 with a few items, then a plain item on the bar.
    HMENU menu = CreateMenu(), file = CreatePopupMenu(), edit = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, 101, "&Eins");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, 102, "&Zwei");
    AppendMenuA(edit, MF_STRING, 201, "Drei");
    AppendMenuA(menu, MF_POPUP, UINT_PTR(file), "&Datei");
    AppendMenuA(menu, MF_POPUP, UINT_PTR(edit), "&Bearbeiten");
    AppendMenuA(menu, MF_STRING, 301, "Vier");
    HWND hwnd = CreateWindowA("KELMOR_PLATFORM_TEST", "Fenster", WS_OVERLAPPEDWINDOW | WS_VSCROLL,
                              0, 0, 400, 300, nullptr, menu, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr) << GetLastError();
    Win32Platform plat{GetModuleHandleA(nullptr)};
    plat.attachWindow(hwnd);
    auto state = [&](UINT id, UINT how) {
        return GetMenuState(menu, id, how) & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    };
    const struct {
        UINT id, how, want; // by command or by position
        MenuState s;
    } states[] = {{102, MF_BYCOMMAND, MF_GRAYED, MenuState::Greyed},
                  {102, MF_BYCOMMAND, MF_DISABLED, MenuState::Disabled},
                  {102, MF_BYCOMMAND, 0, MenuState::Enabled},
                  {301, MF_BYCOMMAND, MF_GRAYED, MenuState::Greyed}, // on the bar itself
                  {1, MF_BYPOSITION, MF_GRAYED, MenuState::Greyed},
                  {1, MF_BYPOSITION, 0, MenuState::Enabled}};
    for (const auto &c : states) {
        if (c.how == MF_BYPOSITION)
            plat.setPopupState(int(c.id), c.s);
        else
            plat.setMenuState(c.id, c.s);
        EXPECT_EQ(state(c.id, c.how) + 1000 * state(0, MF_BYPOSITION), c.want) << c.id;
    }
    plat.setMenuCheck(201, true);
    EXPECT_EQ(state(201, MF_BYCOMMAND), UINT(MF_CHECKED));
    plat.setMenuCheck(201, false);
    EXPECT_EQ(state(201, MF_BYCOMMAND), 0u);
    plat.drawMenuBar();
    // Inserted before the item at the position, as the recent-files list needs.
    ASSERT_TRUE(plat.insertMenuItem(0, 2, 2, "1 C:\\a.bin"));
    ASSERT_TRUE(plat.insertMenuItem(0, 3, 3, "2 C:\\b.bin"));
    ASSERT_TRUE(plat.setMenuItemText(0, 3, 3, "2 D:\\neu.bin"));
    std::string items;
    for (int i = 0; i < GetMenuItemCount(file); ++i) {
        char t[64] = {};
        GetMenuStringA(file, UINT(i), t, sizeof t, MF_BYPOSITION);
        items += std::string(t) + "=" + std::to_string(GetMenuItemID(file, i)) + ";";
    }
    EXPECT_EQ(items, "&Eins=101;=0;1 C:\\a.bin=2;2 D:\\neu.bin=3;&Zwei=102;");
    EXPECT_FALSE(plat.insertMenuItem(2, 0, 9, "x")); // position 2 of the bar is no pop-up
    EXPECT_FALSE(plat.setMenuItemText(7, 0, 9, "x"));
    int cw = 0, lh = 0;
    for (int max : {1024, 24575}) { // a thumb of 16 that still reaches the end
        plat.setScrollRange(0, max, 16);
        plat.setScrollPos(max);
        SCROLLINFO si = {sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(hwnd, SB_VERT, &si);
        EXPECT_EQ(std::vector<int>({si.nMin, int(si.nPage), si.nPos}),
                  std::vector<int>({0, 16, max}));
    }
    ASSERT_TRUE(plat.createViewFont(20, 10, &cw, &lh)); // the cell it really got
    EXPECT_EQ(cw * 100 + lh, 1020);
    // Waiting messages: characters by their code, others as 0; a quit message stays.
    PostMessageA(hwnd, WM_USER + 5, 0, 0);
    PostMessageA(hwnd, WM_CHAR, 0xE4, 0); // Windows-1252 a-umlaut
    for (int want : {0, 0xE4, -1})
        EXPECT_EQ(plat.pollMessage(), want);
    PostQuitMessage(3);
    EXPECT_EQ(plat.pollMessage(), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
    DestroyWindow(hwnd);
}

// Page moves waiting in the queue draw one page: the page painter runs once, before the next
// drawing or at the paint message, never from within itself.
Win32Platform *g_painted = nullptr;
int g_pages = 0, g_nestedLater = 0;
LRESULT CALLBACK paintingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT || !g_painted) return DefWindowProcA(hwnd, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    g_painted->paint(dc, ps.rcPaint);
    EndPaint(hwnd, &ps);
    return 0;
}

TEST(Window, APageLeftForLaterIsDrawnOnceBeforeOtherDrawingOrAtThePaintMessage) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = paintingProc;
    wc.lpszClassName = "KELMOR_PAINT_TEST";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA("KELMOR_PAINT_TEST", "Seite", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr) << GetLastError();
    Win32Platform plat{GetModuleHandleA(nullptr)};
    plat.attachWindow(hwnd);
    EXPECT_FALSE(plat.paintPageLater()); // no page painter: drawn at once
    g_painted = &plat;
    plat.setPainters([] {},
                     [] {
                         ++g_pages;
                         g_nestedLater += g_painted->paintPageLater();
                     });
    UpdateWindow(hwnd);
    g_pages = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(plat.paintPageLater());
    EXPECT_EQ(g_pages, 0);
    plat.beginDraw();
    EXPECT_EQ(g_pages, 1);
    EXPECT_FALSE(plat.paintPageLater()); // within a drawing: at once
    plat.endDraw();
    EXPECT_TRUE(plat.paintPageLater());
    UpdateWindow(hwnd);
    EXPECT_EQ(g_pages, 2);
    plat.beginDraw();
    plat.endDraw();
    EXPECT_EQ(g_pages, 2);
    EXPECT_EQ(g_nestedLater, 0);
    g_painted = nullptr;
    DestroyWindow(hwnd);
}

} // namespace
