// Randomized model test of saving, discarding, undo and redo in the three undo modes.
//
// The model is the source as the user expects it plus the journalled edits laid over it.
// Edits, saves and discards have one right outcome, checked byte for byte in the source file,
// in the view read back from the journal file and on the screen. Undo and redo steps move
// through the journal's history; after each of them no unmarked byte on screen may differ
// from the source, and the model takes the state over. The promise is checked exactly:
// "Undo Alles" gives back the original source (with undo on) and "Re&do Alles" right after it
// the state before (when nothing was left to redo). Without undo, undo changes nothing.
//
// KELMOR_SOAK_STEPS sets the steps per mode (default: a bounded CI run), KELMOR_SOAK_SEED the
// first seed. A failing run is shrunk to a short list of operations, which the failure message
// shows; KELMOR_SOAK_TRACE=1 prints the journal before each of them.
#include <cstdlib>
#include <random>

#include "res/resource.h"
#include "tests/save_fixture.h"

namespace {

enum OpKind {
    kEdit,
    kSavePage,
    kSaveMarked,
    kSaveAll,
    kDiscardMarked,
    kDiscardPage,
    kCommand, // an undo, redo or undo-position command
    kUndoAll,
    kUndoRedoAll,
    kReopen,
    kMove
};

struct Op {
    OpKind kind = kMove;
    uint64_t a = 0, b = 0;      // position, range end
    uint32_t shift = 0;         // view offset for page commands
    unsigned cmd = 0;           // command number
    std::vector<uint8_t> bytes; // typed bytes
};

struct Model {
    std::vector<uint8_t> src;
    std::map<uint64_t, uint8_t> pend;
};

struct Stats {
    long steps = 0, edits = 0, saves = 0, discards = 0, undos = 0, redos = 0, undoAlls = 0,
         pairs = 0, exactPairs = 0, sourcePairs = 0, reopens = 0;
};

std::string describe(const Op &op) {
    auto n = [](uint64_t v) { return std::to_string(v); };
    switch (op.kind) {
    case kEdit:
        return "edit " + n(op.a) + "+" + n(op.bytes.size());
    case kSavePage:
        return "savePage " + n(op.a) + "/" + n(op.shift);
    case kSaveMarked:
        return "saveMarked " + n(op.a) + ".." + n(op.b);
    case kSaveAll:
        return "saveAll";
    case kDiscardMarked:
        return "discard " + n(op.a) + ".." + n(op.b);
    case kDiscardPage:
        return "discardPage " + n(op.a);
    case kCommand:
        return "cmd " + n(op.cmd);
    case kUndoAll:
        return "undoAll";
    case kUndoRedoAll:
        return "undoAll+redoAll";
    case kReopen:
        return "reopen";
    case kMove:
        return "move " + n(op.a);
    }
    return "?";
}

class UndoRandom : public SaveTest {
  protected:
    std::mt19937 rng;
    Model m;
    uint32_t mode = 3;
    Stats st;
    std::vector<uint8_t> orig;
    std::string failure;    // the first failed check of the current execution
    bool discarded = false; // a discard happened in this execution
    // Edits or saves were made while undone saves could still be redone: redo then replays
    // them over the newer history, and "the state before" is no longer one redo away.
    bool scrambled = false;
    bool allowDiscard = true;
    // Runs whose history stays linear: undo only as "Undo Alles" followed by "Re&do Alles",
    // so that every pair must give back exactly the state before it.
    bool cleanHistory = false;
    // Runs where a file stands in for a drive (disk mode): whole sectors only.
    bool driveRun = false;
    void enterDiskMode() {
        if (driveRun) g_doc.ModFlag |= kModDisk;
    }
    bool traceOn = false; // the journal before every operation of the shrunk run
    int fileNo = 0;

    uint32_t pick(uint32_t n) { return n ? uint32_t(rng() % n) : 0; }
    uint64_t size() const { return m.src.size(); }

    // ---- checks that report instead of asserting (so that runs can be shrunk) ----
    bool fail(const std::string &what) {
        if (failure.empty()) failure = what;
        return false;
    }

    ViewImage modelView() const {
        ViewImage v;
        v.bytes = m.src;
        v.marked.assign(m.src.size(), 0);
        for (auto &e : m.pend) {
            v.bytes[e.first] = e.second;
            v.marked[e.first] = 1;
        }
        return v;
    }

    bool chainsOk(const char *what) {
        std::string e = checkOpenJournal();
        if (!e.empty()) return fail(std::string(what) + ": journal: " + e);
        e = checkPageCursors();
        if (!e.empty()) return fail(std::string(what) + ": cursors: " + e);
        if (jnlBytes().size() != g_jnl.JnlEnd) return fail(std::string(what) + ": JnlEnd");
        return true;
    }

    bool screenOk(const ViewImage &v, const char *what) {
        g_doc.MarkFlag = 0;
        paintPage();
        for (uint32_t off = 0; off < 512; ++off) {
            uint64_t pos = g_doc.AnfPtr + g_doc.ViewOfs + off;
            if (pos >= v.bytes.size()) break;
            char want[3];
            std::snprintf(want, sizeof want, "%02X", v.bytes[pos]);
            if (hexText(off) != want)
                return fail(std::string(what) + ": screen text of byte " + std::to_string(pos));
            if (off == g_doc.CurOfs) continue;
            if (hexBg(off) != (v.marked[pos] ? kJournalColour : kPlainHexBg))
                return fail(std::string(what) + ": screen colour of byte " + std::to_string(pos));
        }
        return true;
    }

    bool exact(const char *what) {
        if (!chainsOk(what)) return false;
        std::vector<uint8_t> s = sourceNow();
        if (s != m.src) {
            for (size_t i = 0; i < s.size() && i < m.src.size(); ++i)
                if (s[i] != m.src[i])
                    return fail(std::string(what) + ": source byte " + std::to_string(i) + " is " +
                                std::to_string(s[i]) + ", expected " + std::to_string(m.src[i]));
            return fail(std::string(what) + ": source size");
        }
        ViewImage want = modelView(), got = viewFromFiles();
        for (size_t i = 0; i < want.bytes.size(); ++i) {
            if (got.bytes[i] != want.bytes[i])
                return fail(std::string(what) + ": view byte " + std::to_string(i) + " is " +
                            std::to_string(got.bytes[i]) + ", expected " +
                            std::to_string(want.bytes[i]));
            if (got.marked[i] != want.marked[i])
                return fail(std::string(what) + ": mark of byte " + std::to_string(i) + " is " +
                            std::to_string(got.marked[i]));
        }
        return screenOk(want, what);
    }

    // After undo and redo: the screen tells the truth, then the model takes the state over.
    bool consistentTakeOver(const char *what) {
        if (!chainsOk(what)) return false;
        std::vector<uint8_t> s = sourceNow();
        if (s.size() != m.src.size()) return fail(std::string(what) + ": source size changed");
        ViewImage v = viewFromFiles();
        for (size_t i = 0; i < s.size(); ++i)
            if (!v.marked[i] && v.bytes[i] != s[i])
                return fail(std::string(what) + ": unmarked byte " + std::to_string(i) + " shows " +
                            std::to_string(v.bytes[i]) + ", the source holds " +
                            std::to_string(s[i]));
        m.src = s;
        m.pend.clear();
        for (size_t i = 0; i < s.size(); ++i)
            if (v.marked[i]) m.pend[i] = v.bytes[i];
        return screenOk(v, what);
    }

    // Nothing could be redone: no record after the undo cursor, and the cursor's own save not
    // undone (the restore step leaves the cursor on its record, and redo saves it again).
    bool nothingToRedo() {
        const JournalHeader &h = g_jnl.Header;
        if (isNull(h.Undo)) return isNull(h.UndoFirst);
        JRec u = rec(h.Undo);
        return isNull(u.NUndo) && (u.Flags & 0x331904) != 0x110904;
    }

    void saveRangeModel(uint64_t from, uint64_t to) {
        if (to > size()) to = size();
        for (auto it = m.pend.lower_bound(from); it != m.pend.end() && it->first < to;) {
            m.src[it->first] = it->second;
            it = m.pend.erase(it);
        }
    }
    void discardModel(uint64_t from, uint64_t to) {
        for (auto it = m.pend.lower_bound(from); it != m.pend.end() && it->first < to;)
            it = m.pend.erase(it);
    }

    // ---- operations ----
    uint64_t position() {
        uint64_t blocks = (size() + 511) / 512;
        uint64_t b = pick(4) ? pick(uint32_t(blocks < 3 ? blocks : 3)) : pick(uint32_t(blocks));
        uint64_t pos = b * 512 + pick(512);
        return pos < size() ? pos : size() - 1;
    }

    Op generate() {
        Op op;
        uint32_t r = pick(100);
        if (r < 34) {
            op.kind = kEdit;
            op.a = position();
            uint64_t pair = op.a & ~uint64_t(511);
            uint64_t lastPair = (size() - 1) & ~uint64_t(1023);
            if (pair > lastPair) pair = lastPair;
            uint64_t pageEnd = pair + (op.a - pair >= 512 ? 1024 : 512);
            uint64_t room = std::min<uint64_t>(pageEnd, size()) - op.a;
            op.bytes.resize(1 + pick(uint32_t(room < 6 ? room : 6)));
            for (auto &b : op.bytes)
                b = uint8_t(rng());
        } else if (r < 41) {
            op.kind = kSavePage;
            op.a = position();
            op.shift = pick(2) ? 0 : pick(512);
        } else if (r < 48) {
            op.kind = kSaveMarked;
            op.a = position();
            op.b = std::min<uint64_t>(op.a + 1 + pick(pick(3) ? 600 : 2000), size());
        } else if (r < 53) {
            op.kind = kSaveAll;
        } else if (r < 57 && allowDiscard) {
            op.kind = kDiscardMarked;
            op.a = position();
            op.b = std::min<uint64_t>(op.a + 1 + pick(900), size());
        } else if (r < 61 && allowDiscard) {
            op.kind = kDiscardPage;
            op.a = position();
        } else if (r < 61) {
            op.kind = kMove;
            op.a = position();
        } else if (r < 81 && cleanHistory) {
            op.kind = kUndoRedoAll;
        } else if (r < 81) {
            static const unsigned kCmds[] = {IDM_UNDO_RUN, IDM_UNDO_ONE,      IDM_REDO_RUN,
                                             IDM_REDO_ONE, IDM_PREV_UNDO_POS, IDM_NEXT_UNDO_POS};
            op.kind = kCommand;
            op.cmd = kCmds[pick(6)];
        } else if (r < 85 && !cleanHistory) {
            op.kind = kUndoAll;
        } else if (r < 91) {
            op.kind = kUndoRedoAll; // also where a clean run leaves out the lone Undo Alles
        } else if (r < 93) {
            op.kind = kReopen;
        } else {
            op.kind = kMove;
            op.a = pick(uint32_t(size()));
        }
        return op;
    }

    bool apply(const Op &op) {
        bool acts = op.kind == kEdit || op.kind == kSavePage || op.kind == kSaveMarked ||
                    op.kind == kSaveAll;
        if (acts && mode != 0 && !nothingToRedo()) scrambled = true;
        switch (op.kind) {
        case kEdit: {
            typeAt(op.a, op.bytes);
            for (size_t i = 0; i < op.bytes.size(); ++i)
                m.pend[op.a + i] = op.bytes[i];
            ++st.edits;
            return exact("edit");
        }
        case kSavePage: {
            showByte(op.a);
            if (g_doc.ViewOfs == 0 && g_doc.Blk2Flag >= op.shift) {
                g_doc.ViewOfs = op.shift;
                paintPage();
            }
            uint64_t from = g_doc.AnfPtr + g_doc.ViewOfs;
            savePageYes();
            saveRangeModel(from, from + 512);
            ++st.saves;
            return exact("savePage");
        }
        case kSaveMarked:
            saveMarkedYes(op.a, op.b);
            saveRangeModel(op.a, op.b);
            ++st.saves;
            return exact("saveMarked");
        case kSaveAll:
            saveAllYes();
            saveRangeModel(0, size());
            ++st.saves;
            return exact("saveAll");
        case kDiscardMarked:
            discarded = true;
            discardMarked(op.a, op.b);
            discardModel(op.a, op.b);
            ++st.discards;
            return exact("discard");
        case kDiscardPage: {
            discarded = true;
            showByte(op.a);
            uint64_t from = g_doc.AnfPtr + g_doc.ViewOfs;
            run(IDM_DISCARD_PAGE);
            discardModel(from, from + 512);
            ++st.discards;
            return exact("discardPage");
        }
        case kCommand: {
            run(op.cmd);
            bool jump = op.cmd == IDM_PREV_UNDO_POS || op.cmd == IDM_NEXT_UNDO_POS;
            bool undo = op.cmd == IDM_UNDO_RUN || op.cmd == IDM_UNDO_ONE;
            if (undo) ++st.undos;
            if (!jump && !undo) ++st.redos;
            if (mode == 0 || jump) return exact("undo/redo command");
            return consistentTakeOver("undo/redo command");
        }
        case kUndoAll:
        case kUndoRedoAll: {
            bool tailEmpty = nothingToRedo();
            Model before = m;
            run(IDM_UNDO_ALL);
            ++st.undoAlls;
            if (mode == 0) {
                if (!exact("undoAll without undo changes nothing")) return false;
            } else {
                std::vector<uint8_t> now = sourceNow();
                for (size_t i = 0; i < now.size(); ++i)
                    if (now[i] != orig[i])
                        return fail("undoAll: source byte " + std::to_string(i) +
                                    " is not the original");
                if (!consistentTakeOver("undoAll")) return false;
            }
            if (op.kind == kUndoAll) return true;
            run(IDM_REDO_ALL);
            ++st.pairs;
            if (mode == 0 || (tailEmpty && !discarded && !scrambled)) {
                m = before;
                ++st.exactPairs;
                return exact("redoAll gives back the state before undoAll");
            }
            // Discarding is not part of the history: the source comes back exactly, the
            // journalled edits as far as the history knows them.
            if (tailEmpty && !scrambled) {
                ++st.sourcePairs;
                std::vector<uint8_t> now = sourceNow();
                for (size_t i = 0; i < now.size(); ++i)
                    if (now[i] != before.src[i])
                        return fail("redoAll: source byte " + std::to_string(i) +
                                    " differs from before undoAll");
            }
            return consistentTakeOver("redoAll");
        }
        case kReopen:
            // A drive would be opened again as a drive; the file standing in for it is opened
            // as a file, so it is closed as one.
            g_doc.ModFlag &= ~kModDisk;
            run(IDM_CLOSE_FILE); // "Datei Sch&liessen"
            if (sourceOpen()) return fail("reopen: source still open");
            openThroughDialog(src, false);
            if (!sourceOpen() || !journalOpen()) return fail("reopen: not open again");
            enterDiskMode();
            ++st.reopens;
            return exact("reopen");
        case kMove:
            showByte(op.a);
            return exact("move");
        }
        return true;
    }

    // Runs `ops` on a fresh file of `bytes`; returns the first failure ("" when none).
    std::string execute(const std::vector<uint8_t> &bytes, const std::vector<Op> &ops,
                        size_t *failedAt = nullptr) {
        failure.clear();
        discarded = false;
        scrambled = false;
        fake.boxAnswers.clear();
        fake.onUnexpected = [this](const std::string &w) { fail("unexpected: " + w); };
        orig = bytes;
        m.src = bytes;
        m.pend.clear();
        openWritable(bytes, mode, "src" + std::to_string(++fileNo) + ".bin");
        enterDiskMode();
        exact("open");
        for (size_t i = 0; i < ops.size() && failure.empty(); ++i) {
            if (traceOn)
                std::printf("---- %s\n%s", describe(ops[i]).c_str(), dumpJournal().c_str());
            if (!apply(ops[i]) && failedAt) *failedAt = i;
            ++st.steps;
        }
        if (sourceOpen()) run(IDM_CLOSE_FILE);
        fake.boxAnswers.clear();
        fake.onUnexpected = [](const std::string &w) { ADD_FAILURE() << w; };
        return failure;
    }

    // Removes operations while the run still fails, so that the report is short.
    std::vector<Op> shrink(const std::vector<uint8_t> &bytes, std::vector<Op> ops) {
        for (size_t chunk = ops.size() / 2; chunk >= 1; chunk /= 2) {
            for (size_t at = 0; at + chunk <= ops.size();) {
                std::vector<Op> trial = ops;
                trial.erase(trial.begin() + long(at), trial.begin() + long(at + chunk));
                if (!execute(bytes, trial).empty())
                    ops = trial;
                else
                    at += chunk;
            }
        }
        return ops;
    }

    void runOne(uint32_t seed, int steps) {
        rng.seed(seed);
        uint64_t n;
        driveRun = seed % 4 == 1;
        switch (driveRun ? 1 : pick(4)) {
        case 0:
            n = 1 + pick(511); // a single short block
            break;
        case 1:
            n = 512 * (1 + pick(6)); // whole blocks only
            break;
        default:
            n = 512 * pick(7) + 1 + pick(511); // a last block shorter than 512
        }
        std::vector<uint8_t> bytes(n);
        for (auto &b : bytes)
            b = uint8_t(rng());
        m.src = bytes;
        std::vector<Op> ops;
        allowDiscard = seed % 2 == 0; // half the runs keep every edit in the history
        cleanHistory = seed % 3 == 0;
        for (int i = 0; i < steps; ++i)
            ops.push_back(generate());
        size_t at = 0;
        std::string f = execute(bytes, ops, &at);
        if (f.empty()) return;
        ops.resize(at + 1);
        Stats keep = st;
        std::vector<Op> small = shrink(bytes, ops);
        st = keep;
        std::string list;
        for (const Op &op : small)
            list += describe(op) + "; ";
        traceOn = std::getenv("KELMOR_SOAK_TRACE") != nullptr;
        std::string last = execute(bytes, small);
        traceOn = false;
        ADD_FAILURE() << "mode " << mode << " seed " << seed << " size " << n << ": " << f
                      << "\nshrunk to " << small.size() << " operations: " << list
                      << "\nwhich fail with: " << last;
    }

    void runMode(uint32_t undoMode) {
        mode = undoMode;
        const char *env = std::getenv("KELMOR_SOAK_STEPS");
        const char *seedEnv = std::getenv("KELMOR_SOAK_SEED");
        long total = env ? std::atol(env) : 1500;
        uint32_t seed = seedEnv ? uint32_t(std::atol(seedEnv)) : 1000 * undoMode + 1;
        // Runs of 150 operations on fresh files until the budget is spent; stop at a failure.
        while (st.steps < total && !HasFailure())
            runOne(seed++, 150);
        std::printf("[ model ] mode %u: %ld steps, a quarter of the runs in disk mode (%ld edits, "
                    "%ld saves, %ld discards, %ld undo, "
                    "%ld redo, %ld undo all, %ld undo/redo all pairs of which %ld exact and %ld "
                    "source-exact, %ld reopens)\n",
                    undoMode, st.steps, st.edits, st.saves, st.discards, st.undos, st.redos,
                    st.undoAlls, st.pairs, st.exactPairs, st.sourcePairs, st.reopens);
    }
};

TEST_F(UndoRandom, WithoutUndo) {
    runMode(0);
}

TEST_F(UndoRandom, OriginalGuaranteed) {
    runMode(1);
}

TEST_F(UndoRandom, UndoForAllActions) {
    runMode(3);
}

} // namespace
