// The RIFF walk and the AVI tools on files ffmpeg writes, checked against ffprobe, the files'
// own bytes and a chunk walker of the test's own; damaged and foreign files must end quietly.
#include <cstdlib>
#include <cstring>
#include <map>

#include "tests/support/doc_test.h"
#include "tools/avi.h"
#include "view/status.h"

namespace {

std::string g_gen; // the generated files; empty without ffmpeg

std::string shell(const std::string &cmd) {
    std::string out;
    if (FILE *f = popen(cmd.c_str(), "r")) {
        for (int c; (c = fgetc(f)) != EOF;)
            out += char(c);
        if (pclose(f) != 0) out = "failed";
    }
    return out;
}

struct Chunk {
    uint64_t pos;
    std::string id;
    uint32_t size;
};

class Avi : public DocTest {
  protected:
    static void SetUpTestSuite() {
        if (shell("command -v ffmpeg >/dev/null && echo yes") != "yes\n") return;
        char tmpl[] = "/tmp/kelmor-avi-XXXXXX";
        g_gen = mkdtemp(tmpl);
        const std::string src = " -f lavfi -i testsrc=size=64x48:rate=10:duration=2 ";
        const std::string ff = "cd " + g_gen + " && ffmpeg -v error -y ";
        if (shell(ff + src + "-c:v mjpeg v.avi") == "failed" ||
            shell(ff + src +
                  "-f lavfi -i sine=duration=2:sample_rate=8000 -c:v mjpeg -c:a pcm_u8 va.avi") ==
                "failed")
            g_gen.clear();
    }
    void SetUp() override {
        DocTest::SetUp();
        if (g_gen.empty())
            GTEST_SKIP() << "ffmpeg is missing: install it (scripts/deps.sh) to run the AVI tests";
    }
    std::vector<uint8_t> gen(const std::string &name) { return readAll(g_gen + "/" + name); }
    static uint32_t le(const std::vector<uint8_t> &b, uint64_t p) {
        return b[p] | b[p + 1] << 8 | b[p + 2] << 16 | uint32_t(b[p + 3]) << 24;
    }
    // The chunks of the list whose data begins at `from`, each with its padding byte.
    static std::vector<Chunk> chunks(const std::vector<uint8_t> &b, uint64_t from, uint64_t to) {
        std::vector<Chunk> v;
        for (uint64_t p = from; p + 8 <= to; p += 8 + le(b, p + 4) + (le(b, p + 4) & 1))
            v.push_back(
                {p, std::string(b.begin() + long(p), b.begin() + long(p) + 4), le(b, p + 4)});
        return v;
    }
    static Chunk movi(const std::vector<uint8_t> &b) {
        for (Chunk c : chunks(b, 12, b.size()))
            if (c.id == "LIST" && le(b, c.pos + 8) == fourCC("movi")) return c;
        return {};
    }
    std::string probe(const std::string &path, const std::string &entries) {
        return shell("ffprobe -v error -show_entries " + entries + " -of csv=p=0 " + path);
    }
};

TEST_F(Avi, WalkMarksEachChunkAndEntersLists) {
    open(g_gen + "/va.avi");
    std::vector<uint8_t> b = gen("va.avi");
    auto top = chunks(b, 12, b.size()), hdrl = chunks(b, 24, 20 + le(b, 16));
    struct Step {
        unsigned cmd;
        uint64_t from, to;
    } steps[] = {{IDM_AVI_FIRST_CHUNK, 0, b.size()},
                 {IDM_AVI_NEXT_CHUNK_KEY, 0, b.size()},
                 {IDM_AVI_FIRST_CHUNK, 0, b.size()},
                 {IDM_AVI_CHUNK_DOWN_KEY, 12, 20 + le(b, 16)},
                 {IDM_AVI_CHUNK_DOWN, 24, 32 + hdrl[0].size},
                 {IDM_AVI_NEXT_CHUNK, hdrl[1].pos, hdrl[2].pos},
                 {IDM_AVI_NEXT_CHUNK_KEY, hdrl[2].pos, hdrl[3].pos}};
    for (const Step &s : steps) {
        run(s.cmd);
        EXPECT_EQ(g_doc.MarkStart, s.from);
        EXPECT_EQ(g_doc.MarkEnd, s.to);
        if (s.cmd != IDM_AVI_NEXT_CHUNK_KEY || s.from) EXPECT_EQ(first(), s.from);
        expectMarkingDrawn(s.from, s.to);
    }
    g_settings.dblClickAction = 3; // the chunk at a double-clicked byte
    showByte(top[1].pos);
    cursorAt(uint32_t(top[1].pos - first()));
    run(IDM_AVI_MARK_CHUNK);
    EXPECT_EQ(g_doc.MarkEnd, top[2].pos);
}

TEST_F(Avi, InformationAgreesWithFfprobe) {
    for (std::string name : {"v.avi", "va.avi"}) {
        startProgram();
        open(g_gen + "/" + name);
        std::string wh = probe(g_gen + "/" + name, "stream=width,height");
        int w = 0, h = 0;
        ASSERT_EQ(sscanf(wh.c_str(), "%d,%d", &w, &h), 2) << wh;
        char text[400];
        snprintf(text, sizeof text,
                 "\xB5s pro Frame:       %10d\n\rinterleaved:                  ja  \r\nBreite:     "
                 "               %10d\n\rH\xF6he:                    %10d\n\rVideo Stream:         "
                 "    00dc\r\nAudio Stream:             %s\r\n"
                 "Kompression:              MJPG",
                 1000000 / 10, w, h, name == "va.avi" ? "01wb" : "n.v.");
        EXPECT_EQ(probe(g_gen + "/" + name, "stream=codec_type"),
                  name == "va.avi" ? "video\naudio\n" : "video\n");
        run(IDM_AVI_FIRST_CHUNK);
        run(IDM_AVI_CHUNK_DOWN);
        expectBox("AVI Datei-Information", kIdOk, text);
        run(IDM_AVI_INFO);
        EXPECT_EQ(fake.boxes.back().text, text);
        EXPECT_EQ(first(), 12u) << "the view stays on the chunk it stood on";
    }
}

// Size fields damaged in "movi": the repair journals the right sizes, the source keeps its
// bytes until saved, and then equals the file ffmpeg wrote (a gap of 256 is out of reach).
TEST_F(Avi, RepairJournalsTheSizesAndTheSavedFileParses) {
    std::vector<uint8_t> good = gen("va.avi");
    auto data = chunks(good, movi(good).pos + 12, movi(good).pos + 8 + movi(good).size);
    std::vector<size_t> even;
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i].size % 2 == 0) even.push_back(i);
    ASSERT_GE(even.size(), 12u);
    struct Case {
        std::vector<std::pair<size_t, int>> damage;
        bool repaired;
    } cases[] = {{{{even[2], 3}, {even[6], -3}, {even[10], 2}}, true}, {{{even[3], 256}}, false}};
    for (const Case &c : cases) {
        std::vector<uint8_t> bad = good;
        for (auto [i, d] : c.damage)
            for (int k = 0; k < 4; ++k)
                bad[data[i].pos + 4 + k] = uint8_t((data[i].size + d) >> (8 * k));
        startProgram();
        openWritable(bad, 1, "bad" + std::to_string(c.repaired) + ".avi");
        expectBox("Experimentell ! ", kIdOk, "Experimentell !");
        run(IDM_AVI_REPAIR);
        EXPECT_EQ(sourceNow(), bad) << "only the journal takes the corrections";
        if (!c.repaired) {
            EXPECT_FALSE(journalHasEdits());
            continue;
        }
        checkJournal("after the repair");
        expectBox("Speichern?", kIdYes, "Datei wurde bearbeitet!");
        expectBox("Schreibzugriff erlauben ?", kIdYes); // the repair locked the source
        run(IDM_SAVE_ALL);
        checkJournal("after saving");
        EXPECT_EQ(sourceNow(), good);
        EXPECT_EQ(probe(src, "stream=nb_read_packets -count_packets"),
                  probe(g_gen + "/va.avi", "stream=nb_read_packets -count_packets"));
    }
}

// Playback steps through the video chunks with the offset keys; space stops and resumes.
TEST_F(Avi, PlaybackTakesTheOffsetKeysAndStops) {
    open(g_gen + "/va.avi");
    g_avi.playOffset = 0;
    fake.keys = {'+', '+', '>', '<', '-', '+'};
    run(IDM_AVI_PLAY_VIDEO);
    EXPECT_EQ(g_avi.playOffset, 1024u);
    EXPECT_EQ(fake.row(0).substr(0, 21), "Ofs:> < +- 0000 0400 ");
    EXPECT_FALSE(g_avi.resume) << "the end of the file ends the run";
    EXPECT_EQ(std::string(g_status.indicator), "    Edit Mode      ");
    g_avi.playOffset = 0;
    fake.keys = {0, ' '};
    run(IDM_AVI_PLAY_VIDEO);
    uint64_t at = g_chunk.cur;
    EXPECT_TRUE(g_avi.resume);
    EXPECT_EQ(g_chunk.id, fourCC("01wb")) << "stopped after the first video chunk";
    fake.keys = {' '};
    run(IDM_AVI_PLAY_AUDIO);
    EXPECT_EQ(g_chunk.cur, at) << "resumed where it stopped";
}

// Damaged and foreign files: every walk and tool ends, with no box but those of the tools.
TEST_F(Avi, BadInputEndsQuietly) {
    std::vector<uint8_t> random(5000);
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = sig(i);
    std::vector<std::vector<uint8_t>> files = {random, gen("va.avi"), gen("v.avi")};
    files[1].resize(files[1].size() / 2); // truncated
    std::vector<uint8_t> wave = files[2];
    std::memcpy(&wave[8], "WAVE", 4);
    files.push_back(wave);
    for (uint32_t size : {0u, 1u, 0xFFFFFFF7u, 0xFFFFFFFFu, 0xFFFFFFF8u})
        for (uint64_t at : {uint64_t(4), uint64_t(16), uint64_t(28), movi(files[2]).pos + 16})
            files.push_back(files[2]), std::memcpy(&files.back()[at], &size, 4);
    std::memcpy(&files[0][0], "RIFF", 4);
    std::map<std::string, int> seen;
    fake.onUnexpected = [&](const std::string &what) {
        EXPECT_NE(what.find("unexpected message box"), std::string::npos) << what;
        for (const char *c :
             {"[keine StreamIDs]", "[Experimentell ! ]", "[Fehler in Chunk-Struktur]"})
            if (what.find(c) != std::string::npos) ++seen[c];
    };
    for (size_t i = 0; i < files.size(); ++i) {
        startProgram();
        open(makeFile("f" + std::to_string(i) + ".avi", files[i]));
        for (unsigned cmd :
             {IDM_AVI_FIRST_CHUNK, IDM_AVI_CHUNK_DOWN, IDM_AVI_NEXT_CHUNK, IDM_AVI_NEXT_CHUNK,
              IDM_AVI_INFO, IDM_AVI_MOVIE_START, IDM_AVI_PLAY_VIDEO, IDM_AVI_REPAIR})
            run(cmd);
        for (int k = 0; k < 4; ++k)
            fake.boxAnswers.push_back({"", kIdYes, ""});
        g_avi.flags = 0;
        run(IDM_AVI_REPAIR);
        fake.boxAnswers.clear();
        EXPECT_EQ(sourceNow(), files[i]) << i;
    }
    EXPECT_GT(seen["[keine StreamIDs]"], 0);
}

} // namespace
