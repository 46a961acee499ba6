#include <sys/stat.h>

#include "tests/support/doc_test.h"
#include "tools/compare.h"

namespace {

constexpr uint32_t kDiffBg = 0xDDDDFF; // RGB(255, 221, 221)

class Compare : public DocTest {
  protected:
    std::string second;
    void chooseSecond(const std::vector<uint8_t> &b, const char *caption, const char *text = "") {
        second = makeFile("second.bin", b);
        fake.fileDialogAnswers.push_back({true, second, true});
        if (caption) expectBox(caption, kIdOk, text);
        run(IDM_COMPARE_OTHER_FILE);
    }
    void setOffset(const char *high, const char *low) {
        fake.dialogScripts.push_back([=](int id, DialogLogic &logic, FakeDialogHost &host) {
            EXPECT_EQ(id, IDD_COMPARE_OFFSET);
            host.texts[IDC_OFFSET_HIGH] = high;
            host.texts[IDC_OFFSET_LOW] = low;
            logic.command(host, IDC_OFFSET_OK, 0);
        });
        run(IDM_COMPARE_SET_OFFSET);
    }
    void release() { onKeyUp(0x75); }
};

TEST_F(Compare, OtherFileWhileF6IsHeld) {
    expectBox("1. Datei nicht geöffnet", kIdOk,
              "Bitte zunächst die 1. Datei öffnen ! \n\n -> Datei -> Öffnen");
    run(IDM_COMPARE_OTHER_FILE);
    std::vector<uint8_t> a = pattern(4096), b = a;
    b[100] ^= 1;
    openSource(a);
    chooseSecond(b, "Hinweis",
                 "vergleichen mit F6 !\n\n(Diese Meldung lässt sich unter Extras->Optionen "
                 "unterbinden.)");
    run(IDM_SHOW_COMPARE_FILE);
    EXPECT_EQ(fake.title, second);
    EXPECT_EQ(hexText(100), hexByte(b[100]));
    EXPECT_EQ(hexBg(100), kDiffBg);
    EXPECT_EQ(hexBg(101), kPlainHexBg);
    release();
    EXPECT_EQ(fake.title, src);
    EXPECT_EQ(hexText(100), hexByte(a[100]));
    EXPECT_EQ(hexBg(100), kPlainHexBg);
    EXPECT_EQ(readAll(second), b);
    EXPECT_EQ(sourceNow(), a);
    // Sizes; a second file shorter than the position shows nothing new.
    chooseSecond(pattern(5000), "2. Datei größer",
                 "WARNUNG !\n\nDie Datei ist größer als die erste !\n\n"
                 "-----------------------------\n\nvergleichen mit F6 !");
    chooseSecond(pattern(600), "2. Datei kleiner", "Die Datei ist kleiner als die erste !");
    gotoPair(1024);
    run(IDM_SHOW_COMPARE_FILE);
    EXPECT_EQ(fake.title, src);
    expectPage(1024);
    // A name that does not exist is not created, and the comparison stays as it was.
    std::string none = dir + "/none.bin";
    fake.fileDialogAnswers.push_back({true, none, true});
    run(IDM_COMPARE_OTHER_FILE);
    struct stat st;
    EXPECT_NE(stat(none.c_str(), &st), 0);
    EXPECT_EQ(g_cmp.Mode, uint32_t(kCompareOtherFile));
}

TEST_F(Compare, SameFileWithOffsets) {
    std::vector<uint8_t> a = sigBytes(0, 8192);
    a[1024 + 5] = a[512 + 5];
    openSource(a);
    expectBox("Hinweis", kIdOk, "vergleichen mit F6 !");
    run(IDM_COMPARE_SAME_FILE);
    g_settings.MsgOptions &= ~kMsgCompare;
    run(IDM_COMPARE_SAME_FILE); // the hint switched off: no box
    gotoPair(512);
    cursorAt(0);
    run(IDM_COMPARE_OFFSET_AT_CURSOR);
    EXPECT_EQ(fake.cells(0, 0, 21), addressText(512));
    gotoPair(1024);
    run(IDM_SHOW_COMPARE_FILE);
    EXPECT_EQ(first(), 512u);
    EXPECT_EQ(hexText(0), hexByte(a[512]));
    EXPECT_EQ(hexBg(5), kPlainHexBg);
    EXPECT_EQ(hexBg(6), kDiffBg);
    release();
    EXPECT_EQ(first(), 1024u);
    // -512 in two's complement: the second data 512 bytes further on.
    fake.dialogScripts.push_back([](int, DialogLogic &logic, FakeDialogHost &host) {
        EXPECT_EQ(host.texts[IDC_OFFSET_HIGH], "0000 0000");
        EXPECT_EQ(host.texts[IDC_OFFSET_LOW], "0000 0200");
        logic.command(host, IDC_OFFSET_CANCEL, 0);
    });
    run(IDM_COMPARE_SET_OFFSET);
    setOffset("FFFF FFFF", "ffff fe00");
    EXPECT_EQ(g_cmp.Offset, 0xFFFFFFFFFFFFFE00ull);
    run(IDM_SHOW_COMPARE_FILE);
    EXPECT_EQ(first(), 1536u);
    release();
    // Low nine bits beyond the window start: nothing new; the release loads the page again.
    setOffset("0", "1-0");
    run(IDM_SHOW_COMPARE_FILE);
    expectPage(1024);
    release();
    expectPage(1024);
    EXPECT_EQ(sourceNow(), a);
}

} // namespace
