// The Win32 platform on the real API (run under Wine): files beyond 4 GiB, the error codes
// the core's German error table is keyed by, share modes, file times, copy and delete, and
// the window services on a real window.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_platform.h"

namespace {

class PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof tmp, tmp), 0u);
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(tmp, "kel", 0, name), 0u);
        DeleteFileA(name); // used as a unique directory name
        ASSERT_TRUE(CreateDirectoryA(name, nullptr)) << GetLastError();
        dir = name;
    }
    void TearDown() override {
        for (const std::string &f : created)
            DeleteFileA(f.c_str());
        RemoveDirectoryA((dir + "\\sub").c_str());
        RemoveDirectoryA(dir.c_str());
    }
    std::string path(const char *name) {
        std::string p = dir + "\\" + name;
        created.push_back(p);
        return p;
    }
    void writeWhole(const std::string &p, const std::string &bytes) {
        Handle h =
            plat.openFile(p.c_str(), kAccessRead | kAccessWrite, 0, Disposition::CreateAlways);
        ASSERT_NE(h, kInvalidHandle) << plat.lastError();
        uint32_t put = 0;
        ASSERT_TRUE(plat.writeFile(h, bytes.data(), uint32_t(bytes.size()), &put));
        ASSERT_EQ(put, bytes.size());
        ASSERT_TRUE(plat.closeHandle(h));
    }
    std::string readWhole(const std::string &p) {
        Handle h = plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting);
        if (h == kInvalidHandle) return "<missing>";
        char buf[4096];
        uint32_t got = 0;
        plat.readFile(h, buf, sizeof buf, &got);
        plat.closeHandle(h);
        return std::string(buf, got);
    }

    Win32Platform plat{GetModuleHandleA(nullptr)};
    std::string dir;
    std::vector<std::string> created;
};

constexpr uint64_t kGiB = uint64_t(1) << 30;

TEST_F(PlatformTest, SparseFileBeyondFourGiB) {
    std::string p = path("big.bin");
    Handle h =
        plat.openFile(p.c_str(), kAccessRead | kAccessWrite, kShareRead, Disposition::CreateAlways);
    ASSERT_NE(h, kInvalidHandle) << plat.lastError();
    const uint64_t farPos = 5 * kGiB + 0x1234;
    const char marker[] = "beyond four GiB!";
    uint32_t put = 0;
    ASSERT_TRUE(plat.seekFile(h, farPos));
    ASSERT_TRUE(plat.writeFile(h, marker, 16, &put));
    EXPECT_EQ(put, 16u);

    uint64_t size = 0;
    ASSERT_TRUE(plat.fileSize(h, &size));
    EXPECT_EQ(size, farPos + 16);

    char back[16] = {};
    uint32_t got = 0;
    ASSERT_TRUE(plat.seekFile(h, farPos));
    ASSERT_TRUE(plat.readFile(h, back, 16, &got));
    EXPECT_EQ(got, 16u);
    EXPECT_EQ(std::memcmp(back, marker, 16), 0);

    // The same offset modulo 4 GiB must still be a hole: no truncation of the position.
    char hole[16];
    std::memset(hole, 0x55, sizeof hole);
    ASSERT_TRUE(plat.seekFile(h, farPos - 4 * kGiB));
    ASSERT_TRUE(plat.readFile(h, hole, 16, &got));
    EXPECT_EQ(got, 16u);
    for (char c : hole)
        EXPECT_EQ(c, 0);

    // Reading across the end gives the rest and then nothing, without an error.
    ASSERT_TRUE(plat.seekFile(h, farPos + 8));
    ASSERT_TRUE(plat.readFile(h, back, 16, &got));
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(std::memcmp(back, marker + 8, 8), 0);
    ASSERT_TRUE(plat.readFile(h, back, 16, &got));
    EXPECT_EQ(got, 0u);

    // Truncating above 4 GiB keeps the high part of the size.
    ASSERT_TRUE(plat.seekFile(h, 4 * kGiB + 1));
    ASSERT_TRUE(plat.setEndOfFile(h));
    ASSERT_TRUE(plat.fileSize(h, &size));
    EXPECT_EQ(size, 4 * kGiB + 1);
    EXPECT_TRUE(plat.flushFile(h));
    ASSERT_TRUE(plat.closeHandle(h));
}

TEST_F(PlatformTest, MissingFileAndMissingPath) {
    std::string p = path("absent.bin");
    plat.setLastError(0);
    EXPECT_EQ(plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting),
              kInvalidHandle);
    EXPECT_EQ(plat.lastError(), kErrFileNotFound);

    std::string deep = dir + "\\no such dir\\x.bin";
    EXPECT_EQ(plat.openFile(deep.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting),
              kInvalidHandle);
    EXPECT_EQ(plat.lastError(), kErrPathNotFound);
}

TEST_F(PlatformTest, LastErrorRoundTrip) {
    plat.setLastError(1117);
    EXPECT_EQ(plat.lastError(), 1117u);
    plat.setLastError(0);
    EXPECT_EQ(plat.lastError(), 0u);
}

TEST_F(PlatformTest, WriteToReadOnlyHandleIsAccessDenied) {
    std::string p = path("ro.bin");
    writeWhole(p, "0123456789");
    Handle h = plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting);
    ASSERT_NE(h, kInvalidHandle);
    uint32_t put = 99;
    EXPECT_FALSE(plat.writeFile(h, "xx", 2, &put));
    EXPECT_EQ(plat.lastError(), kErrAccessDenied);
    EXPECT_EQ(put, 0u);
    plat.closeHandle(h);
    EXPECT_EQ(readWhole(p), "0123456789");
}

TEST_F(PlatformTest, ReadOnlyOpensShareReadsButRefuseAWriter) {
    // The source is opened read-only sharing reads: a second reader is fine,
    // a writer (the same file reopened for saving without closing) is refused.
    std::string p = path("src.bin");
    writeWhole(p, "source");
    Handle a = plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting);
    ASSERT_NE(a, kInvalidHandle);
    Handle b = plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting);
    EXPECT_NE(b, kInvalidHandle);
    Handle w =
        plat.openFile(p.c_str(), kAccessRead | kAccessWrite, kShareRead, Disposition::OpenExisting);
    EXPECT_EQ(w, kInvalidHandle);
    EXPECT_EQ(plat.lastError(), 32u); // sharing violation
    if (b != kInvalidHandle) plat.closeHandle(b);
    plat.closeHandle(a);

    // Once every reader is gone the writer gets in.
    w = plat.openFile(p.c_str(), kAccessRead | kAccessWrite, kShareRead, Disposition::OpenExisting);
    EXPECT_NE(w, kInvalidHandle) << plat.lastError();
    if (w != kInvalidHandle) plat.closeHandle(w);
}

TEST_F(PlatformTest, WriterSharingReadsShutsOutOtherWriters) {
    std::string p = path("w.bin");
    writeWhole(p, "journal");
    Handle w =
        plat.openFile(p.c_str(), kAccessRead | kAccessWrite, kShareRead, Disposition::OpenExisting);
    ASSERT_NE(w, kInvalidHandle);
    // A reader that does not share writing conflicts with the open writer.
    EXPECT_EQ(plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting),
              kInvalidHandle);
    EXPECT_EQ(plat.lastError(), 32u);
    // A reader that shares writing is allowed.
    Handle r =
        plat.openFile(p.c_str(), kAccessRead, kShareRead | kShareWrite, Disposition::OpenExisting);
    EXPECT_NE(r, kInvalidHandle);
    if (r != kInvalidHandle) plat.closeHandle(r);
    plat.closeHandle(w);
}

TEST_F(PlatformTest, ExclusiveOpenRefusesEveryone) {
    std::string p = path("x.bin");
    writeWhole(p, "x");
    Handle h = plat.openFile(p.c_str(), kAccessRead, 0, Disposition::OpenExisting);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(
        plat.openFile(p.c_str(), kAccessRead, kShareRead | kShareWrite, Disposition::OpenExisting),
        kInvalidHandle);
    EXPECT_EQ(plat.lastError(), 32u);
    plat.closeHandle(h);
}

TEST_F(PlatformTest, DispositionsReportWhetherTheFileExisted) {
    // The core tells a new journal from an old one by the error left by OpenAlways.
    std::string p = path("disp.bin");
    plat.setLastError(12345);
    Handle h =
        plat.openFile(p.c_str(), kAccessRead | kAccessWrite, kShareRead, Disposition::OpenAlways);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(plat.lastError(), 0u);
    uint32_t put = 0;
    plat.writeFile(h, "abc", 3, &put);
    plat.closeHandle(h);

    h = plat.openFile(p.c_str(), kAccessRead | kAccessWrite, kShareRead, Disposition::OpenAlways);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(plat.lastError(), kErrAlreadyExists);
    uint64_t size = 0;
    EXPECT_TRUE(plat.fileSize(h, &size));
    EXPECT_EQ(size, 3u); // OpenAlways keeps the contents
    plat.closeHandle(h);

    EXPECT_EQ(plat.openFile(p.c_str(), kAccessRead | kAccessWrite, 0, Disposition::CreateNew),
              kInvalidHandle);
    EXPECT_EQ(plat.lastError(), kErrFileExists);

    h = plat.openFile(p.c_str(), kAccessRead | kAccessWrite, 0, Disposition::TruncateExisting);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_TRUE(plat.fileSize(h, &size));
    EXPECT_EQ(size, 0u);
    plat.closeHandle(h);

    std::string q = path("never.bin");
    EXPECT_EQ(
        plat.openFile(q.c_str(), kAccessRead | kAccessWrite, 0, Disposition::TruncateExisting),
        kInvalidHandle);
    EXPECT_EQ(plat.lastError(), kErrFileNotFound);
}

TEST_F(PlatformTest, LastWriteTimeAdvancesAfterAWrite) {
    std::string p = path("t.bin");
    writeWhole(p, "before");
    Handle h =
        plat.openFile(p.c_str(), kAccessRead | kAccessWrite, kShareRead, Disposition::OpenExisting);
    ASSERT_NE(h, kInvalidHandle);
    FileTimes t0, t1;
    ASSERT_TRUE(plat.getFileTimes(h, &t0));
    EXPECT_NE(t0.lastWrite, 0u);
    EXPECT_NE(t0.creation, 0u);
    Sleep(1100); // coarse file systems keep whole seconds
    uint32_t put = 0;
    ASSERT_TRUE(plat.seekFile(h, 0));
    ASSERT_TRUE(plat.writeFile(h, "after!", 6, &put));
    ASSERT_TRUE(plat.flushFile(h));
    ASSERT_TRUE(plat.getFileTimes(h, &t1));
    EXPECT_GT(t1.lastWrite, t0.lastWrite);
    // FILETIME counts 100 ns steps: one second at least lies between the two.
    EXPECT_GE(t1.lastWrite - t0.lastWrite, 10000000u);
    plat.closeHandle(h);

    EXPECT_FALSE(plat.getFileTimes(kInvalidHandle, &t1));
}

TEST_F(PlatformTest, CopyFileRespectsFailIfExists) {
    std::string a = path("a.bin"), b = path("b.bin"), c = path("c.bin");
    writeWhole(a, "first file");
    writeWhole(b, "second");
    EXPECT_FALSE(plat.copyFile(a.c_str(), b.c_str(), true));
    EXPECT_EQ(plat.lastError(), kErrFileExists);
    EXPECT_EQ(readWhole(b), "second");

    EXPECT_TRUE(plat.copyFile(a.c_str(), c.c_str(), true)) << plat.lastError();
    EXPECT_EQ(readWhole(c), "first file");

    EXPECT_TRUE(plat.copyFile(a.c_str(), b.c_str(), false)) << plat.lastError();
    EXPECT_EQ(readWhole(b), "first file");

    std::string missing = path("missing.bin");
    EXPECT_FALSE(plat.copyFile(missing.c_str(), c.c_str(), false));
    EXPECT_EQ(plat.lastError(), kErrFileNotFound);
}

TEST_F(PlatformTest, DeleteRemovesTheFile) {
    std::string p = path("del.bin");
    writeWhole(p, "gone soon");
    EXPECT_TRUE(plat.deleteFile(p.c_str()));
    EXPECT_EQ(plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting),
              kInvalidHandle);
    EXPECT_EQ(plat.lastError(), kErrFileNotFound);
    EXPECT_FALSE(plat.deleteFile(p.c_str()));
    EXPECT_EQ(plat.lastError(), kErrFileNotFound);
}

TEST_F(PlatformTest, CreateDirectoryAndCurrentDirectory) {
    std::string sub = dir + "\\sub";
    EXPECT_TRUE(plat.createDirectory(sub.c_str())) << plat.lastError();
    EXPECT_FALSE(plat.createDirectory(sub.c_str()));
    EXPECT_EQ(plat.lastError(), kErrAlreadyExists);
    std::string deep = dir + "\\none\\deeper";
    EXPECT_FALSE(plat.createDirectory(deep.c_str()));
    EXPECT_EQ(plat.lastError(), kErrPathNotFound);

    char old[MAX_PATH];
    GetCurrentDirectoryA(sizeof old, old);
    ASSERT_TRUE(plat.setCurrentDirectory(sub.c_str()));
    char full[260];
    uint32_t n = plat.fullPathName("name.bin", full, sizeof full);
    SetCurrentDirectoryA(old);
    std::string want = sub + "\\name.bin";
    EXPECT_EQ(n, want.size());
    EXPECT_STREQ(full, want.c_str());
    char tiny[4];
    EXPECT_EQ(plat.fullPathName("name.bin", tiny, sizeof tiny), 0u);

    EXPECT_FALSE(plat.setCurrentDirectory((dir + "\\none").c_str()));
    EXPECT_EQ(plat.lastError(), kErrFileNotFound);
}

TEST_F(PlatformTest, DrivesAndFreeSpace) {
    uint32_t mask = plat.logicalDrives();
    EXPECT_TRUE(mask & (1u << 2)) << "drive C: missing, mask " << mask;
    EXPECT_EQ(plat.driveType("C:\\"), kDriveFixed);
    // A letter that no drive uses has no root directory.
    int unused = -1;
    for (int i = 25; i >= 3 && unused < 0; --i)
        if (!(mask & (1u << i))) unused = i;
    ASSERT_GE(unused, 0);
    char root[4] = {char('A' + unused), ':', '\\', 0};
    EXPECT_EQ(plat.driveType(root), kDriveNoRootDir);

    uint64_t freeBytes = 0, total = 0;
    ASSERT_TRUE(plat.diskFreeSpace("C:\\", &freeBytes, &total));
    EXPECT_GT(total, 0u);
    EXPECT_LE(freeBytes, total);
    EXPECT_FALSE(plat.diskFreeSpace(root, &freeBytes, &total));
}

TEST_F(PlatformTest, GeometryOfAPlainFileIsRefused) {
    std::string p = path("g.bin");
    writeWhole(p, "not a disk");
    Handle h = plat.openFile(p.c_str(), kAccessRead, kShareRead, Disposition::OpenExisting);
    ASSERT_NE(h, kInvalidHandle);
    DiskGeometry g;
    g.bytesPerSector = 77;
    EXPECT_FALSE(plat.diskGeometry(h, &g));
    EXPECT_EQ(g.bytesPerSector, 77u);
    plat.closeHandle(h);
}

TEST_F(PlatformTest, VersionAndDate) {
    EXPECT_GE(plat.osMajorVersion(), 4u);
    char d[11];
    plat.today(d);
    ASSERT_EQ(std::strlen(d), 10u);
    SYSTEMTIME st;
    GetLocalTime(&st);
    char want[11];
    std::snprintf(want, sizeof want, "%02d.%02d.%04d", st.wDay, st.wMonth, st.wYear);
    EXPECT_STREQ(d, want);
    EXPECT_EQ(d[2], '.');
    EXPECT_EQ(d[5], '.');
}

// ---- the window services --------------------------------------------------------------------

// Answers every size request with a fixed size, as the real size rule would with its grid.
LRESULT CALLBACK testWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_WINDOWPOSCHANGING) {
        auto *pos = reinterpret_cast<WINDOWPOS *>(lp);
        if (!(pos->flags & SWP_NOSIZE) && pos->cx == 0 && pos->cy == 0) {
            pos->cx = 517;
            pos->cy = 343;
        }
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
        HMENU file = CreatePopupMenu();
        AppendMenuA(file, MF_STRING, 101, "&Eins");
        AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(file, MF_STRING, 102, "&Zwei");
        AppendMenuA(menu, MF_POPUP, UINT_PTR(file), "&Datei");
        HMENU edit = CreatePopupMenu();
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

    Win32Platform plat{GetModuleHandleA(nullptr)};
    HWND hwnd = nullptr;
    HMENU menu = nullptr;
};

TEST_F(WindowTest, TitleAndScrollBar) {
    plat.setTitle("Z:\\daten\\gro\xdf.bin");
    char buf[64];
    GetWindowTextA(hwnd, buf, sizeof buf);
    EXPECT_STREQ(buf, "Z:\\daten\\gro\xdf.bin");

    plat.setScrollRange(0, 1024);
    plat.setScrollPos(300);
    int lo = -1, hi = -1;
    GetScrollRange(hwnd, SB_VERT, &lo, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 1024);
    EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 300);
    plat.setScrollRange(0, 24575);
    plat.setScrollPos(24575);
    GetScrollRange(hwnd, SB_VERT, &lo, &hi);
    EXPECT_EQ(hi, 24575);
    EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 24575);
}

TEST_F(WindowTest, MenuStatesByCommandAndPopupsByPosition) {
    plat.setMenuState(102, MenuState::Greyed);
    EXPECT_EQ(GetMenuState(menu, 102, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), UINT(MF_GRAYED));
    plat.setMenuState(102, MenuState::Disabled);
    EXPECT_EQ(GetMenuState(menu, 102, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), UINT(MF_DISABLED));
    plat.setMenuState(102, MenuState::Enabled);
    EXPECT_EQ(GetMenuState(menu, 102, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);
    // A command on the bar itself is found by number as well.
    plat.setMenuState(301, MenuState::Greyed);
    EXPECT_TRUE(GetMenuState(menu, 301, MF_BYCOMMAND) & MF_GRAYED);

    plat.setPopupState(1, MenuState::Greyed);
    EXPECT_TRUE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED);
    plat.setPopupState(1, MenuState::Enabled);
    EXPECT_FALSE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_GRAYED);

    plat.setMenuCheck(201, true);
    EXPECT_TRUE(GetMenuState(menu, 201, MF_BYCOMMAND) & MF_CHECKED);
    plat.setMenuCheck(201, false);
    EXPECT_FALSE(GetMenuState(menu, 201, MF_BYCOMMAND) & MF_CHECKED);
    plat.drawMenuBar();
}

TEST_F(WindowTest, InsertAndRenameItemsByPositionInAPopup) {
    // Inserted before the item at the position, as the recent-files list needs.
    ASSERT_TRUE(plat.insertMenuItem(0, 2, 2, "1 C:\\a.bin"));
    ASSERT_TRUE(plat.insertMenuItem(0, 3, 3, "2 C:\\b.bin"));
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 5);
    EXPECT_EQ(itemText(0, 0), "&Eins");
    EXPECT_EQ(itemText(0, 2), "1 C:\\a.bin");
    EXPECT_EQ(itemText(0, 3), "2 C:\\b.bin");
    EXPECT_EQ(itemText(0, 4), "&Zwei");
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 0), 3), 3u);

    ASSERT_TRUE(plat.setMenuItemText(0, 3, 3, "2 D:\\neu.bin"));
    EXPECT_EQ(itemText(0, 3), "2 D:\\neu.bin");
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 0), 3), 3u);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 5);

    // Position 2 of the bar is a plain item, not a pop-up.
    EXPECT_FALSE(plat.insertMenuItem(2, 0, 9, "x"));
    EXPECT_FALSE(plat.setMenuItemText(7, 0, 9, "x"));
}

TEST_F(WindowTest, SizeRequestGoesThroughTheWindowProcedure) {
    plat.requestWindowSize();
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, 517);
    EXPECT_EQ(r.bottom - r.top, 343);
    EXPECT_EQ(r.left, 0); // the position stays
    EXPECT_EQ(r.top, 0);
}

TEST_F(WindowTest, FontMetricsAndOpaqueText) {
    int cw = 0, lh = 0;
    ASSERT_TRUE(plat.createViewFont(16, 8, &cw, &lh));
    EXPECT_EQ(cw, 8);
    EXPECT_EQ(lh, 16);
    int cw2 = 0, lh2 = 0;
    ASSERT_TRUE(plat.createViewFont(20, 10, &cw2, &lh2));
    EXPECT_EQ(cw2, 10);
    EXPECT_EQ(lh2, 20);

    // Nested drawing: the inner pair must not end the outer one.
    plat.beginDraw();
    plat.beginDraw();
    plat.textOut(0, 0, "  AB", 4, 0xEEFFEE);
    plat.endDraw();
    plat.textOut(0, lh2, " ", 1, 0x8888FF);
    plat.endDraw();
    // A call outside any drawing pair still draws.
    plat.textOut(4 * cw2, 0, " ", 1, 0xDDDDFF);
    GdiFlush();

    HDC dc = GetDC(hwnd);
    EXPECT_EQ(GetPixel(dc, 0, lh2 / 2), COLORREF(0xEEFFEE));
    EXPECT_EQ(GetPixel(dc, 2 * cw2 - 1, lh2 - 1), COLORREF(0xEEFFEE)); // the whole cell
    EXPECT_EQ(GetPixel(dc, 0, lh2 + lh2 / 2), COLORREF(0x8888FF));
    EXPECT_EQ(GetPixel(dc, 4 * cw2, lh2 / 2), COLORREF(0xDDDDFF));
    EXPECT_EQ(GetPixel(dc, 5 * cw2 + 1, lh2 / 2), COLORREF(0x000000)); // nothing drawn there
    ReleaseDC(hwnd, dc);
}

TEST_F(WindowTest, PollMessageReportsCharactersOnly) {
    drain();
    EXPECT_EQ(plat.pollMessage(), -1);
    PostMessageA(hwnd, WM_USER + 5, 0, 0);
    PostMessageA(hwnd, WM_CHAR, 0xE4, 0); // Windows-1252 a-umlaut
    PostMessageA(hwnd, WM_CHAR, ' ', 0);
    EXPECT_EQ(plat.pollMessage(), 0);
    EXPECT_EQ(plat.pollMessage(), 0xE4);
    EXPECT_EQ(plat.pollMessage(), ' ');
    EXPECT_EQ(plat.pollMessage(), -1);

    // A quit message is kept for the main loop.
    PostQuitMessage(3);
    EXPECT_EQ(plat.pollMessage(), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(WindowTest, ClipboardWithARegisteredFormat) {
    unsigned fmt = plat.registerClipboardFormat("Kelmor Platform Test");
    EXPECT_GE(fmt, 0xC000u);
    EXPECT_EQ(plat.registerClipboardFormat("Kelmor Platform Test"), fmt);
    const uint8_t data[6] = {0, 1, 0xFF, 0x80, 'A', 0};
    ASSERT_TRUE(plat.clipboardOpen());
    plat.clipboardEmpty();
    EXPECT_TRUE(plat.clipboardSet(fmt, data, sizeof data));
    plat.clipboardClose();

    ASSERT_TRUE(plat.clipboardOpen());
    uint8_t back[16] = {};
    int64_t n = plat.clipboardGet(fmt, back, sizeof back);
    EXPECT_GE(n, int64_t(sizeof data)); // global blocks may be rounded up
    EXPECT_EQ(std::memcmp(back, data, sizeof data), 0);
    uint8_t small[2] = {};
    EXPECT_EQ(plat.clipboardGet(fmt, small, 2), n); // the full size, two bytes copied
    EXPECT_EQ(small[1], 1);
    unsigned other = plat.registerClipboardFormat("Kelmor Platform Test (absent)");
    EXPECT_EQ(plat.clipboardGet(other, back, sizeof back), -1);
    plat.clipboardClose();
}

} // namespace
