// The scroll bar with its scaling for 64-bit sizes, the thumb, the scroll-bar codes and the
// mouse wheel.
#include "tests/navigation_fixture.h"

#include <sys/stat.h>

#include "res/resource.h"
#include "view/navigation.h"
#include "view/scroll.h"

namespace {

class NavigationScroll : public NavTest {};

TEST_F(NavigationScroll, SixGiBGivesShift18AndTheThumbEndShowsTheLastPair) {
    const uint64_t size = 6ull << 30; // high word 1, low word 0x80000000
    open(sparseWith("six.bin", size, {{0xFFFF0000ull, 0x20000}, {size - 2048, 2048}}));
    EXPECT_EQ(g_doc.ScrollShift, 18u);
    EXPECT_EQ(fake.scrollMin, 0);
    EXPECT_EQ(fake.scrollMax, 0x5FFF);
    EXPECT_EQ(fake.scrollPos, 0);

    onVScroll(kSbThumbTrack, 0x5FFF);
    EXPECT_EQ(g_doc.AnfPtr, g_doc.LastPairPtr);
    EXPECT_EQ(g_doc.AnfPtr, size - 1024);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    expectPage(size - 512);
    EXPECT_EQ(fake.scrollPos, 0x5FFF);

    // 0x4000 units of 256 KiB: exactly 4 GiB.
    onVScroll(kSbThumbPosition, 0x4000);
    EXPECT_EQ(g_doc.AnfPtr, 0x100000000ull);
    EXPECT_EQ(g_doc.ViewOfs, 0u);
    expectPage(0x100000000ull);
    EXPECT_EQ(fake.scrollPos, 0x4000);
    // One unit lower lies 256 KiB before the boundary.
    onVScroll(kSbThumbTrack, 0x3FFF);
    expectPage(0x100000000ull - 0x40000);

    // The thumb where the page already is: nothing is read or drawn.
    fake.textCalls = 0;
    int reads = fake.reads;
    EXPECT_EQ(scrollThumb(0x3FFF), 1);
    EXPECT_EQ(fake.textCalls, 0);
    EXPECT_EQ(fake.reads, reads);
}

TEST_F(NavigationScroll, ScrollPositionFollowsEveryMove) {
    const uint64_t size = 6ull << 30;
    open(sparseWith("six.bin", size, {}));
    auto expected = [] { return int((g_doc.AnfPtr + (g_doc.ViewOfs & ~15u)) >> 18); };
    onVScroll(kSbThumbTrack, 0x2345);
    EXPECT_EQ(fake.scrollPos, 0x2345);
    for (int i = 0; i < 2000; ++i)
        pageDown();
    EXPECT_EQ(fake.scrollPos, expected());
    EXPECT_GT(fake.scrollPos, 0x2345);
    dispatchCommand(IDM_FILE_END_KEY, 0); // Ctrl+End
    EXPECT_EQ(fake.scrollPos, expected());
    EXPECT_EQ(fake.scrollPos, 0x5FFF);
}

TEST_F(NavigationScroll, ThumbKeepsTheByteWithinTheRowOnSmallFiles) {
    open(sigFile("a.bin", 20000));
    EXPECT_EQ(g_doc.ScrollShift, 0u);
    EXPECT_EQ(fake.scrollMax, 19968); // LastBlkPtr itself
    byteRight();
    byteRight();
    byteRight();
    onVScroll(kSbThumbTrack, 1000);
    EXPECT_EQ(g_doc.AnfPtr, 512u);
    EXPECT_EQ(g_doc.ViewOfs, 3u + 480);
    expectPage(995);
    // Near the end: the row asked for, in the last pair.
    onVScroll(kSbThumbTrack, 19960);
    EXPECT_EQ(g_doc.AnfPtr, 19456u);
    expectPage(19952 + 3);
    // The end of the bar: the last block.
    onVScroll(kSbThumbTrack, 19968);
    EXPECT_EQ(g_doc.AnfPtr, 19456u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    expectPage(19968);
}

// A sparse file on tmpfs, which allows sizes that disk file systems refuse.
struct HugeFile {
    std::string path;
    explicit HugeFile(uint64_t size) {
        path = "/dev/shm/kelmor-huge-" + std::to_string(getpid());
        int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        ok = fd >= 0 && ftruncate(fd, off_t(size)) == 0;
        if (fd >= 0) close(fd);
    }
    ~HugeFile() { unlink(path.c_str()); }
    bool ok = false;
};

TEST_F(NavigationScroll, SourcesBeyond128TiBCountTheHighWord) {
    const uint64_t size = (1ull << 47) + (5ull << 32); // high word 32773
    HugeFile huge(size);
    if (!huge.ok) GTEST_SKIP() << "no tmpfs for a 128 TiB sparse file";
    open(huge.path);
    EXPECT_EQ(g_doc.FileSize, size);
    EXPECT_EQ(g_doc.ScrollShift, 2u);
    EXPECT_EQ(fake.scrollMax, 32773 >> 2);
    onVScroll(kSbThumbTrack, 100);
    EXPECT_EQ(g_doc.AnfPtr, 400ull << 32);
    EXPECT_EQ(g_doc.ViewOfs, 0u);
    expectPage(400ull << 32);
    EXPECT_EQ(fake.scrollPos, 100);
    pageDown();
    pageDown();
    EXPECT_EQ(fake.scrollPos, 100);
    onVScroll(kSbThumbTrack, 32773 >> 2);
    EXPECT_EQ(g_doc.AnfPtr, size - 1024);
    expectPage(size - 512);
    EXPECT_EQ(fake.scrollPos, 32773 >> 2);
    // The wheel takes the largest steps.
    EXPECT_EQ(g_scroll.wheelLarge[0], 0xFFFFFE00u);
    EXPECT_EQ(g_scroll.wheelLarge[1], 0x0FFFFE00u);
    EXPECT_EQ(g_scroll.wheelLarge[2], 0xFFFFFE00u);
    onMouseWheel(0, 120);
    EXPECT_EQ(first(), size - 512 - 0xFFFFFE00ull - 0);
}

TEST_F(NavigationScroll, ScrollRangeAtTheLargestSizes) {
    startProgram();
    g_doc.FileSize = 0x7FFFFFFF00000000ull; // high word 0x7FFFFFFF
    computeSizeFields();
    computeScrollRange();
    EXPECT_EQ(g_doc.ScrollShift, 17u);
    EXPECT_EQ(fake.scrollMax, 0x3FFF);
    g_doc.AnfPtr = 0x0000400000000000ull;
    EXPECT_EQ(scrollPosition(), 0x4000 >> 17);
    g_doc.FileSize = 1ull << 47; // high word 32768
    computeSizeFields();
    computeScrollRange();
    EXPECT_EQ(g_doc.ScrollShift, 2u);
    EXPECT_EQ(fake.scrollMax, 8192);
    g_doc.FileSize = (1ull << 47) - 1; // the largest size counted in bytes
    computeSizeFields();
    computeScrollRange();
    EXPECT_EQ(g_doc.ScrollShift, 32u);
    EXPECT_LT(fake.scrollMax, 32768);
    EXPECT_GE(fake.scrollMax, 32767 - 1023);
}

TEST_F(NavigationScroll, ScrollBarCodes) {
    open(sigFile("a.bin", 5000));
    onVScroll(kSbLineDown, 0);
    expectPage(16);
    onVScroll(kSbLineUp, 0);
    expectPage(0);
    onVScroll(kSbPageDown, 0);
    expectPage(512);
    onVScroll(kSbPageDown, 0);
    expectPage(1024);
    onVScroll(kSbPageUp, 0);
    expectPage(512);
    onVScroll(kSbBottom, 0);
    expectPage(4608);
    onVScroll(kSbTop, 0);
    expectPage(0);
    fake.textCalls = 0;
    onVScroll(kSbEndScroll, 0);
    EXPECT_EQ(fake.textCalls, 0);
}

TEST_F(NavigationScroll, WheelOverA100KiBFile) {
    open(sigFile("a.bin", 100 * 1024));
    onMouseWheel(0, -120); // backward: toward the end
    EXPECT_EQ(first(), 100u);
    EXPECT_EQ(g_doc.ViewOfs, 100u);
    onMouseWheel(0, -120);
    expectPage(200);
    onMouseWheel(kMkControl, -120);
    expectPage(216);
    onMouseWheel(kMkControl | kMkShift, -120);
    expectPage(232);
    onMouseWheel(0, 120); // forward: toward the start
    expectPage(132);
    onMouseWheel(0, 0);
    expectPage(132);
    // Shift: 16 x 100 rounded down to whole blocks.
    onMouseWheel(kMkShift, 120);
    expectPage(0);
    onMouseWheel(kMkShift, -120);
    EXPECT_EQ(g_doc.AnfPtr, 1536u);
    EXPECT_EQ(g_doc.ViewOfs, 0u);
    expectPage(1536);
    onMouseWheel(kMkShift, -120);
    expectPage(3072);
    onMouseWheel(kMkShift, 120);
    expectPage(1536);
    // Small steps cross into the next and the previous block.
    for (int i = 0; i < 6; ++i)
        onMouseWheel(0, -120);
    expectPage(2136);
    for (int i = 0; i < 6; ++i)
        onMouseWheel(0, 120);
    expectPage(1536);
    for (int i = 0; i < 20; ++i)
        onMouseWheel(0, 120);
    expectPage(0);
    EXPECT_EQ(wheelStep(), 1);
}

TEST_F(NavigationScroll, WheelStepsFromTheSize) {
    startProgram();
    struct Case {
        uint64_t size;
        uint32_t small[3], large[3];
    } cases[] = {
        {1000, {16, 16, 0}, {0, 0, 0}},
        {100 * 1024, {100, 16, 0}, {0, 0, 1536}},
        {300 * 1024, {300, 18, 0}, {0, 0, 4608}},
        {512 * 1024, {0, 32, 0}, {512, 0, 8192}},
        {1ull << 20, {0, 64, 0}, {1024, 0, 16384}},
        {64ull << 30, {0, 0, 0}, {64u << 20, 4u << 20, 1u << 30}},
        {300ull << 30, {0, 0, 0}, {300u << 20, (300u << 20) / 16, 0xFFFFFE00u}},
        {5ull << 40, {0, 0, 0}, {0xFFFFFE00u, 0x0FFFFE00u, 0xFFFFFE00u}},
        {16385ull << 32, {0, 0, 0}, {0xFFFFFE00u, 0x0FFFFE00u, 0xFFFFFE00u}},
    };
    for (const Case &c : cases) {
        g_doc.FileSize = c.size;
        computeWheelSteps();
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(g_scroll.wheelSmall[k], c.small[k]) << c.size << " key " << k;
            EXPECT_EQ(g_scroll.wheelLarge[k], c.large[k]) << c.size << " key " << k;
        }
    }
}

TEST_F(NavigationScroll, WholeBlockWheelStepsReachTheEndAndAlwaysMove) {
    const uint64_t size = 64ull << 30;
    open(sparseWith("big.bin", size, {{size - 8192, 8192}}));
    showPosition(size - (3u << 20));
    onMouseWheel(0, -120); // 64 MiB: beyond the end, so the end is shown
    EXPECT_EQ(g_doc.AnfPtr, size - 1024);
    expectPage(size - 512);
    EXPECT_EQ(wheelStep(), 1);
    onMouseWheel(0, 120);
    expectPage(size - 512 - (64u << 20));
    // 600 KiB: a step of one block moves the view from block 2 as well.
    src = path = sigFile("b.bin", 600 * 1024);
    openThroughDialog(path);
    ASSERT_EQ(g_scroll.wheelLarge[0], 512u);
    pageDown();
    ASSERT_EQ(first(), 512u);
    onMouseWheel(0, -120);
    expectPage(1024);
    onMouseWheel(0, -120);
    expectPage(1536);
    onMouseWheel(0, 120);
    expectPage(1024);
}

} // namespace
