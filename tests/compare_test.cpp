#include <unistd.h>

#include "tests/support/doc_test.h"
#include "tools/compare.h"

namespace {

constexpr uint32_t kDiffBg = 0xDDDDFF; // RGB(255, 221, 221)

class Compare : public DocTest {
  protected:
    std::string second, shown; // the second file; the offset words the dialog showed
    void chooseSecond(const std::vector<uint8_t> &b, const char *caption, const char *text = "") {
        second = makeFile("second.bin", b);
        fake.fileDialogAnswers.push_back({true, second, true});
        expectBox(caption, kIdOk, text);
        run(IDM_COMPARE_OTHER_FILE);
    }
    void setOffset(const char *high, const char *low) {
        fake.dialogScripts.push_back([=, this](int, DialogLogic &logic, FakeDialogHost &host) {
            shown = host.texts[IDC_OFFSET_HIGH] + "|" + host.texts[IDC_OFFSET_LOW];
            host.texts[IDC_OFFSET_HIGH] = high, host.texts[IDC_OFFSET_LOW] = low;
            logic.command(host, IDC_OFFSET_OK, 0);
        });
        run(IDM_COMPARE_SET_OFFSET);
    }
};

TEST_F(Compare, OtherFileAndSameFileWhileF6IsHeld) {
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
    EXPECT_EQ(fake.title + hexText(100), second + hexByte(b[100]));
    EXPECT_TRUE(hexBg(100) == kDiffBg && hexBg(101) == kPlainHexBg);
    onKeyUp(0x75); // F6 released
    EXPECT_TRUE(fake.title == src && hexText(100) == hexByte(a[100]) && hexBg(100) == kPlainHexBg);
    EXPECT_TRUE(readAll(second) == b && sourceNow() == a);
    chooseSecond(pattern(5000), "2. Datei größer", "WARNUNG !\n\nDie Datei ist größer als die");
    chooseSecond(pattern(600), "2. Datei kleiner", "Die Datei ist kleiner als die erste !");
    gotoPair(1024);
    run(IDM_SHOW_COMPARE_FILE); // shorter than the position: nothing new
    expectPage(1024);
    std::string none = dir + "/none.bin"; // not created, and the comparison stays
    fake.fileDialogAnswers.push_back({true, none, true});
    run(IDM_COMPARE_OTHER_FILE);
    EXPECT_TRUE(access(none.c_str(), F_OK) != 0 && g_cmp.Mode == kCompareOtherFile);
    // The same file, with the offset of the cursor, then with offsets typed in.
    a = sigBytes(0, 8192);
    a[1024 + 5] = a[512 + 5];
    quietClose();
    openSource(a, true, "same.bin");
    expectBox("Hinweis", kIdOk, "vergleichen mit F6 !");
    run(IDM_COMPARE_SAME_FILE);
    g_settings.MsgOptions &= ~kMsgCompare;
    run(IDM_COMPARE_SAME_FILE); // the hint switched off: no box
    gotoPair(512);              // the cursor on its first byte
    run(IDM_COMPARE_OFFSET_AT_CURSOR);
    EXPECT_EQ(fake.cells(0, 0, 21), addressText(512));
    gotoPair(1024);
    run(IDM_SHOW_COMPARE_FILE);
    expectPage(512);
    EXPECT_TRUE(hexBg(5) == kPlainHexBg && hexBg(6) == kDiffBg);
    onKeyUp(0x75);
    EXPECT_EQ(first(), 1024u);
    setOffset("FFFF FFFF", "ffff fe00"); // -512: the second data 512 bytes further on
    EXPECT_EQ(shown, "0000 0000|0000 0200");
    run(IDM_SHOW_COMPARE_FILE);
    EXPECT_EQ(first(), 1536u);
    onKeyUp(0x75);
    setOffset("0", "1-0"); // low nine bits beyond the window start: nothing new
    run(IDM_SHOW_COMPARE_FILE);
    expectPage(1024);
    onKeyUp(0x75);
    EXPECT_EQ(sourceNow(), a);
}

} // namespace
