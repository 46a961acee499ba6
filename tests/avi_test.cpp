// The RIFF walk and the AVI tools on files ffmpeg writes, checked against ffprobe, the files'
// own bytes and a chunk walker of the test's own; damaged and foreign files must end quietly.
#include <cstring>

#include "tests/support/doc_test.h"
#include "tools/avi.h"
#include "view/status.h"

namespace {

std::string g_gen; // the generated files; empty without ffmpeg

std::string shell(const std::string &cmd) { // its output, or "failed"
    std::string out;
    FILE *f = popen(cmd.c_str(), "r");
    for (int c; f && (c = fgetc(f)) != EOF;)
        out += char(c);
    return f && pclose(f) == 0 ? out : "failed";
}

using Chunk = std::pair<uint64_t, uint32_t>; // position, size field

class Avi : public DocTest {
  protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/kelmor-avi-XXXXXX";
        g_gen = mkdtemp(tmpl);
        std::string ff = "cd " + g_gen + " && ffmpeg -v error -y -f lavfi -i " +
                         "testsrc=size=64x48:rate=10:duration=2 ";
        if (shell(ff + "-c:v mjpeg v.avi") == "failed" ||
            shell(ff + "-f lavfi -i sine=d=2:r=8000 -c:v mjpeg -c:a pcm_u8 va.avi") == "failed")
            g_gen.clear();
    }
    void SetUp() override {
        DocTest::SetUp();
        if (g_gen.empty()) GTEST_SKIP() << "ffmpeg is missing (scripts/deps.sh installs it)";
    }
    std::vector<uint8_t> gen(const std::string &name) { return readAll(g_gen + "/" + name); }
    static uint32_t le(const std::vector<uint8_t> &b, uint64_t p) {
        return b[p] | b[p + 1] << 8 | b[p + 2] << 16 | uint32_t(b[p + 3]) << 24;
    }
    // The chunks of the list whose data begins at `from`, each with its padding byte.
    static std::vector<Chunk> chunks(const std::vector<uint8_t> &b, uint64_t from, uint64_t to) {
        std::vector<Chunk> v;
        for (uint64_t p = from; p + 8 <= to; p += 8 + le(b, p + 4) + (le(b, p + 4) & 1))
            v.push_back({p, le(b, p + 4)});
        return v;
    }
    static std::vector<Chunk> inside(const std::vector<uint8_t> &b, Chunk list) {
        return chunks(b, list.first + 12, list.first + 8 + list.second);
    }
    static Chunk movi(const std::vector<uint8_t> &b) {
        for (Chunk c : chunks(b, 12, b.size()))
            if (le(b, c.first + 8) == fourCC("movi")) return c;
        return {};
    }
    std::string probe(const std::string &path, const std::string &entries) {
        return shell("ffprobe -v error -show_entries " + entries + " -of csv=p=0 " + path);
    }
};

TEST_F(Avi, WalkMarksEachChunkAndEntersLists) {
    open(g_gen + "/va.avi");
    std::vector<uint8_t> b = gen("va.avi");
    auto hdrl = inside(b, {12, le(b, 16)});
    const uint64_t steps[][3] = {{IDM_AVI_FIRST_CHUNK, 0, b.size()},
                                 {IDM_AVI_NEXT_CHUNK_KEY, 0, b.size()}, // the end
                                 {IDM_AVI_FIRST_CHUNK, 0, b.size()},
                                 {IDM_AVI_CHUNK_DOWN_KEY, 12, 20 + le(b, 16)},
                                 {IDM_AVI_CHUNK_DOWN, 24, 32 + hdrl[0].second},
                                 {IDM_AVI_NEXT_CHUNK, hdrl[1].first, hdrl[2].first},
                                 {IDM_AVI_NEXT_CHUNK_KEY, hdrl[2].first, hdrl[3].first}};
    for (auto [cmd, from, to] : steps) {
        run(unsigned(cmd));
        EXPECT_TRUE(g_doc.MarkStart == from && g_doc.MarkEnd == to) << cmd << " " << from;
        expectMarkingDrawn(from, to);
    }
    cursorAt(showByte(hdrl[1].first)); // a double click there marks that chunk
    run(IDM_AVI_MARK_CHUNK);
    EXPECT_EQ(g_doc.MarkEnd, hdrl[2].first);
}

TEST_F(Avi, InformationAgreesWithFfprobe) {
    for (std::string name : {"v.avi", "va.avi"}) {
        startProgram();
        open(g_gen + "/" + name);
        int w = 0, h = 0;
        std::string wh = probe(src, "stream=width,height");
        ASSERT_EQ(sscanf(wh.c_str(), "%d,%d", &w, &h), 2) << wh;
        EXPECT_EQ(probe(src, "stream=codec_type"), name == "va.avi" ? "video\naudio\n" : "video\n");
        char text[400];
        snprintf(
            text, sizeof text,
            "\xB5s pro Frame:       %10d\n\rinterleaved:%18cja  \r\nBreite:%20c%10d\n\rH\xF6he:"
            "%20c%10d\n\rVideo Stream:%13c00dc\r\nAudio Stream:%13c%s\r\nKompression:%14cMJPG",
            1000000 / 10, ' ', ' ', w, ' ', h, ' ', ' ', name == "va.avi" ? "01wb" : "n.v.", ' ');
        run(IDM_AVI_FIRST_CHUNK);
        run(IDM_AVI_CHUNK_DOWN);
        expectBox("AVI Datei-Information", kIdOk);
        run(IDM_AVI_INFO);
        EXPECT_EQ(fake.boxes.back().text, text);
        EXPECT_EQ(first(), 12u) << "the view stays on the chunk it stood on";
    }
}

// Size fields damaged in "movi": the repair journals the right sizes, the source keeps its
// bytes until saved, and then equals the file ffmpeg wrote, but for an odd size whose gap
// takes in the padding byte (a gap of 256 is out of reach).
TEST_F(Avi, RepairJournalsTheSizesAndTheSavedFileParses) {
    std::vector<uint8_t> good = gen("va.avi");
    std::vector<Chunk> even, odd;
    for (Chunk c : inside(good, movi(good)))
        (c.second % 2 ? odd : even).push_back(c);
    ASSERT_TRUE(even.size() >= 12 && odd.size() >= 2);
    auto put = [](std::vector<uint8_t> &b, uint64_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    // Out of reach: 256 bytes, and a size of 0 with only the chunk's own header behind it.
    const std::vector<std::pair<Chunk, int>> cases[] = {
        {{even[2], 3}, {even[6], -3}, {odd[1], 255}, {even[10], 2}},
        {{even[3], 256}},
        {{even[4], -int(even[4].second)}}};
    for (const auto &damage : cases) {
        std::vector<uint8_t> bad = good, want = good;
        for (auto [c, d] : damage) {
            put(bad, c.first + 4, c.second + d);
            put(want, c.first + 4, c.second + c.second % 2);
        }
        startProgram();
        bool repaired = damage.size() > 1;
        openWritable(bad, 1, "bad" + std::to_string(&damage - cases) + ".avi");
        expectBox("Experimentell ! ", kIdOk, "Experimentell !");
        run(IDM_AVI_REPAIR);
        EXPECT_EQ(sourceNow(), bad) << "only the journal takes the corrections";
        EXPECT_EQ(journalHasEdits(), repaired);
        if (!repaired) continue;
        checkJournal("after the repair");
        expectBox("Speichern?", kIdYes, "Datei wurde bearbeitet!");
        expectBox("Schreibzugriff erlauben ?", kIdYes); // the repair locked the source
        run(IDM_SAVE_ALL);
        EXPECT_EQ(sourceNow(), want);
        std::string packets = "stream=nb_read_packets -count_packets";
        EXPECT_EQ(probe(src, packets), probe(g_gen + "/va.avi", packets));
    }
}

// A wrong size in the header part: the analysis asks once; No leaves file and journal alone.
// In direct mode the scan first offers the journal (Yes: the corrections go there).
TEST_F(Avi, HeaderScanAsksBeforeItCorrects) {
    std::vector<uint8_t> good = gen("va.avi"), bad = good;
    Chunk strf = inside(good, inside(good, {12, le(good, 16)})[1])[1];
    bad[strf.first + 4] += 4;
    for (int answer : {kIdNo, kIdYes}) {
        startProgram();
        openSource(bad, true, "h" + std::to_string(answer) + ".avi");
        g_doc.AccessFlag |= answer == kIdYes ? kAccDirect : 0;
        if (answer == kIdYes)
            expectBox("Auf indirekten Zugriff umstellen?", kIdYes, "im Direkt-Zugriff!\n\nF");
        expectBox("Fehler in Chunk-Struktur", answer, "Sollen die Fehler korrigiert werden?");
        expectBox("AVI Datei-Information", kIdOk);
        run(IDM_AVI_INFO);
        EXPECT_EQ(sourceNow(), bad);
        EXPECT_EQ(journalHasEdits(), answer == kIdYes);
        EXPECT_TRUE(answer == kIdNo || viewFromFiles().bytes == good);
        EXPECT_FALSE(g_doc.AccessFlag & kAccDirect);
    }
}

// Playback steps through the video chunks with the offset keys; space stops and resumes.
TEST_F(Avi, PlaybackTakesTheOffsetKeysAndStops) {
    open(g_gen + "/va.avi");
    fake.keys = {'+', '+', '>', '<', '-', '+'};
    run(IDM_AVI_PLAY_VIDEO);
    EXPECT_EQ(fake.row(0).substr(0, 21), "Ofs:> < +- 0000 0400 ");
    EXPECT_FALSE(g_avi.resume) << "the end of the file ends the run";
    EXPECT_EQ(std::string(g_status.indicator), "    Edit Mode      ");
    fake.keys = {0, ' '};
    run(IDM_AVI_PLAY_VIDEO);
    uint64_t at = g_chunk.cur;
    EXPECT_TRUE(g_avi.resume && g_chunk.id == fourCC("01wb")) << "stopped after a video chunk";
    fake.keys = {' '};
    run(IDM_AVI_PLAY_AUDIO);
    EXPECT_EQ(g_chunk.cur, at) << "resumed where it stopped";
}

// Damaged and foreign files: every walk and tool ends, with no box but those of the tools.
TEST_F(Avi, BadInputEndsQuietly) {
    std::vector<std::vector<uint8_t>> files = {sigBytes(0, 5000), gen("va.avi"), gen("v.avi")};
    std::memcpy(&files[0][0], "RIFF", 4);
    files[1].resize(files[1].size() / 2); // truncated
    files.push_back(files[2]);
    std::memcpy(&files.back()[8], "WAVE", 4);
    for (uint32_t size : {0u, 1u, 0xFFFFFFF7u, 0xFFFFFFF8u, 0xFFFFFFFFu})
        for (uint64_t at : {uint64_t(4), uint64_t(16), uint64_t(28), movi(files[2]).first + 16})
            files.push_back(files[2]), std::memcpy(&files.back()[at], &size, 4);
    int noIds = 0;
    fake.onUnexpected = [&](const std::string &what) {
        noIds += what.find("[keine StreamIDs]") != std::string::npos;
        for (const char *c :
             {"[keine StreamIDs]", "[Experimentell ! ]", "[Fehler in Chunk-", "[AVI Datei-"})
            if (what.find("unexpected message box: " + std::string(c)) == 0) return;
        ADD_FAILURE() << what;
    };
    for (size_t i = 0; i < files.size(); ++i) {
        startProgram();
        open(makeFile("f" + std::to_string(i) + ".avi", files[i]));
        for (unsigned cmd : {IDM_AVI_FIRST_CHUNK, IDM_AVI_CHUNK_DOWN, IDM_AVI_NEXT_CHUNK,
                             IDM_AVI_INFO, IDM_AVI_MOVIE_START, IDM_AVI_PLAY_VIDEO, IDM_AVI_REPAIR})
            run(cmd);
        fake.boxAnswers.assign(4, {"", kIdYes, ""}); // and once with every correction taken
        g_avi.flags = 0;
        run(IDM_AVI_REPAIR);
        fake.boxAnswers.clear();
        EXPECT_EQ(sourceNow(), files[i]) << i;
    }
    EXPECT_GT(noIds, 0);
}

} // namespace
