// Thousands of random keys, moves, Returns and Escs against a reference model: the source
// plus the journalled edits (values and marks), plus the current inputs of the page.
#include "tests/edit_fixture.h"

#include <map>
#include <random>

#include "edit/commit.h"
#include "edit/input.h"
#include "res/resource.h"

namespace {

class EditRandom : public EditTest {
  protected:
    std::mt19937 rng;
    std::vector<uint8_t> jv; // journalled value of every byte (the source where none)
    std::vector<bool> jm;    // journalled mark
    std::set<uint64_t> withRecord;
    struct Pend {
        uint8_t v;
        bool m;
    };
    std::map<uint64_t, Pend> pend; // current inputs by source position
    std::set<uint64_t> pendBlocks; // blocks flagged with inputs
    std::vector<uint8_t> source;   // what the source file holds
    bool mixModes = false;         // direct mode is switched on and off as well
    int commits = 0, directWrites = 0;

    uint32_t rnd(uint32_t n) { return n ? uint32_t(rng() % n) : 0; }
    static uint64_t blockOf(uint64_t pos) { return pos & ~uint64_t(511); }

    void modelCommit() {
        if (g_doc.AccessFlag & kAccDirect) {
            // The whole block as shown goes to the source; its journal record hands over.
            for (uint64_t b : pendBlocks) {
                for (uint64_t pos = b; pos < b + 512 && pos < source.size(); ++pos) {
                    auto it = pend.find(pos);
                    source[pos] = jv[pos] = it != pend.end() ? it->second.v : jv[pos];
                    jm[pos] = false;
                }
                withRecord.erase(b);
                ++directWrites;
            }
            pend.clear();
            pendBlocks.clear();
            return;
        }
        for (auto &p : pend) {
            if (!pendBlocks.count(blockOf(p.first))) continue;
            jv[p.first] = p.second.v;
            jm[p.first] = p.second.m;
        }
        for (uint64_t b : pendBlocks)
            withRecord.insert(b);
        if (!pendBlocks.empty()) ++commits;
        pend.clear();
        pendBlocks.clear();
    }
    void modelDrop() {
        pend.clear();
        pendBlocks.clear();
    }
    // A page load commits whatever was pending; the program tells when it loaded.
    void syncAfterMove() {
        if (!pendBlocks.empty() && !(g_doc.InputFlag & 6)) modelCommit();
    }

    uint64_t cursorPos() { return g_doc.AnfPtr + g_doc.ViewOfs + g_doc.CurOfs; }
    uint32_t validOnPage() {
        return g_doc.PageLen > g_doc.ViewOfs
                   ? std::min<uint32_t>(512, g_doc.PageLen - g_doc.ViewOfs)
                   : 0;
    }

    void checkPage(const std::string &where) {
        SCOPED_TRACE(where);
        bool flaggedInModel = !pendBlocks.empty();
        ASSERT_EQ(flaggedInModel, (g_doc.InputFlag & 6) != 0) << "pending inputs";
        for (uint32_t i = 0; i < g_doc.PageLen; ++i) {
            uint64_t pos = g_doc.AnfPtr + i;
            ASSERT_LT(pos, jv.size());
            auto it = pend.find(pos);
            uint8_t v = it != pend.end() ? it->second.v : jv[pos];
            bool m = it != pend.end() ? it->second.m : bool(jm[pos]);
            ASSERT_EQ(g_doc.PageBuf[i], v) << "byte at " << pos;
            ASSERT_EQ(bool((g_doc.ModMask[i >> 3] >> (i & 7)) & 1), m) << "mark at " << pos;
        }
    }

    void placeRandomCursor() {
        uint32_t n = validOnPage();
        if (!n) return;
        cursorAt(rnd(n), rnd(3) == 0 ? 1 : 0);
    }

    void typeByte() {
        if (!validOnPage()) return;
        uint64_t pos = cursorPos();
        uint8_t v = uint8_t(rng());
        if (g_doc.CurCol == 1) {
            if (v == 8 || v == 13 || v == 27) v = 'x';
            key(v);
        } else {
            const char *digits = "0123456789ABCDEFabcdef";
            char hi = digits[rnd(22)], lo = digits[rnd(22)];
            key(hi);
            key(lo);
            auto val = [](char c) { return c <= '9' ? c - '0' : (c & ~0x20) - 'A' + 10; };
            v = uint8_t(val(hi) * 16 + val(lo));
        }
        pend[pos] = {v, true};
        pendBlocks.insert(blockOf(pos));
        syncAfterMove(); // the cursor may have left the pair
    }

    void backspace() {
        if (!validOnPage()) return;
        uint64_t pos = cursorPos();
        if (withRecord.count(blockOf(pos)))
            pend[pos] = {jv[pos], bool(jm[pos])};
        else
            pend[pos] = {source[pos], false};
        key(8);
        syncAfterMove();
    }

    void fetchBack(bool right) {
        if (!validOnPage()) return;
        uint64_t pos = cursorPos();
        pend[pos] = {source[pos], false};
        pendBlocks.insert(blockOf(pos));
        run(right ? IDM_FETCH_SOURCE_RIGHT : IDM_FETCH_SOURCE_LEFT);
        syncAfterMove();
    }

    void randomPair() {
        uint64_t pairs = original.size() / 512 + 1;
        uint64_t block = rnd(uint32_t(pairs));
        uint64_t p = std::min<uint64_t>(block * 512, g_doc.LastPairPtr);
        g_doc.ReadPtr = p;
        gotoPage();
        uint32_t view = g_doc.Blk2Flag ? 16 * rnd(33) : 0;
        if (view > g_doc.Blk2Flag) view = g_doc.Blk2Flag;
        g_doc.ViewOfs = view;
        if (g_doc.CurOfs >= 512) g_doc.CurOfs = 0;
        paintPage();
    }

    void step(int i) {
        uint32_t op = rnd(100);
        std::string what;
        if (op < 30) {
            what = "type";
            if (rnd(2)) placeRandomCursor();
            typeByte();
        } else if (op < 36) {
            what = "half byte";
            placeRandomCursor();
            if (g_doc.CurCol == 0 && validOnPage()) key('7');
            if (rnd(2)) {
                ret();
                modelCommit();
            } else {
                run(IDM_ARROW_RIGHT); // a move drops the half byte
                syncAfterMove();
            }
        } else if (op < 44) {
            what = "backspace";
            placeRandomCursor();
            backspace();
        } else if (op < 50) {
            what = "fetch";
            placeRandomCursor();
            fetchBack(rnd(2));
        } else if (op < 62) {
            what = "return";
            ret();
            modelCommit();
        } else if (op < 68) {
            what = "esc";
            if (g_doc.InputFlag & 6) {
                bool drop = rnd(2);
                expectBox("Eingaben verwerfen?", drop ? kIdYes : kIdNo);
                key(27);
                if (drop)
                    modelDrop();
                else
                    modelCommit();
            } else {
                key(27);
            }
        } else if (op < 80) {
            what = "pair";
            randomPair();
            syncAfterMove();
        } else if (op < 96) {
            static const unsigned moves[] = {IDM_PAGE_DOWN,      IDM_PAGE_UP,      IDM_ARROW_DOWN,
                                             IDM_ARROW_UP,       IDM_ARROW_RIGHT,  IDM_ARROW_LEFT,
                                             IDM_FILE_START_KEY, IDM_FILE_END_KEY, IDM_ROW_START,
                                             IDM_ROW_END};
            unsigned m = moves[rnd(10)];
            what = "move " + std::to_string(m);
            run(m);
            syncAfterMove();
        } else if (op < 98 || !mixModes) {
            what = "undo mode";
            g_settings.UndoMode = g_settings.UndoMode == 2 ? 1 : 2;
        } else {
            what = "save mode";
            run((g_doc.AccessFlag & kAccDirect) ? IDM_JOURNAL_MODE : IDM_DIRECT_MODE);
        }
        checkPage("step " + std::to_string(i) + " " + what);
        if (i % 40 == 0) checkJournal(("step " + std::to_string(i)).c_str());
    }

    void runModel(uint32_t seed, size_t size, int steps) {
        rng.seed(seed);
        std::vector<uint8_t> bytes(size);
        for (auto &b : bytes)
            b = uint8_t(rng());
        openSource(bytes, !mixModes);
        if (mixModes) {
            // Every direct write is confirmed in the save-page question, whenever it comes.
            for (int i = 0; i < steps + 10; ++i)
                fake.dialogScripts.push_back([](int id, DialogLogic &logic, FakeDialogHost &host) {
                    EXPECT_EQ(id, IDD_SAVE_PAGE);
                    logic.command(host, 1, 0);
                });
        }
        source = bytes;
        jv = bytes;
        jm.assign(size, false);
        for (int i = 0; i < steps && !HasFatalFailure(); ++i)
            step(i);
        ASSERT_FALSE(HasFatalFailure());
        ret();
        modelCommit();
        checkJournal("end");
        EXPECT_GT(commits, steps / 20) << "the run committed too little to mean much";
        if (mixModes) {
            EXPECT_GT(directWrites, steps / 100);
        }
        verifyEveryPage("end");
        if (mixModes) {
            EXPECT_EQ(readAll(src), source);
            EXPECT_EQ(restored(), original) << "every direct write can be taken back";
        } else {
            EXPECT_EQ(readAll(src), original) << "journal mode never writes the source";
        }
        // Everything again after closing and opening the source with its journal.
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
        run(IDM_CLOSE_FILE);
        ASSERT_FALSE(sourceOpen());
        openThroughDialog(src);
        ASSERT_TRUE(sourceOpen());
        checkJournal("reopened");
        verifyEveryPage("reopened");
    }

    void verifyEveryPage(const std::string &where) {
        for (uint64_t p = 0; p <= g_doc.LastPairPtr && !HasFatalFailure(); p += 512) {
            g_doc.ReadPtr = p;
            gotoPage();
            checkPage(where + " pair " + std::to_string(p));
        }
    }
};

TEST_F(EditRandom, SmallFileWithShortLastBlock) {
    runModel(1, 1500, 1500);
}

TEST_F(EditRandom, SeveralPairs) {
    runModel(2, 9000, 2500);
}

TEST_F(EditRandom, ExactBlocksWithoutRetainedVersions) {
    g_settings.UndoMode = 1;
    runModel(3, 4096, 1500);
}

TEST_F(EditRandom, TinyFile) {
    runModel(4, 37, 800);
}

TEST_F(EditRandom, DirectAndJournalModesMixed) {
    mixModes = true;
    runModel(5, 6000, 2500);
}

TEST_F(EditRandom, DirectAndJournalModesMixedWithoutVersions) {
    mixModes = true;
    g_settings.UndoMode = 1;
    runModel(6, 3000, 1500);
}

} // namespace
