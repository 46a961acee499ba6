// One model of a document against random user actions in each undo mode: typing (digits,
// characters, Backspace, Esc, source bytes fetched back), Return, moves, journal and direct
// mode, saves of the page, a range or everything, discards, undo and redo, pastes, file
// inserts and marking fills. After every action
// the source file, the view read back from the journal and the screen must agree with the
// model (the source as on disk, journalled edits, the page's inputs), and the journal must be
// sound. After undo and redo no unmarked byte may differ from the source and the model takes
// the state over; "Undo Alles" must give back the original, "Re&do Alles" right after it the
// state before, where the history allows. Previews stepped and switched leave both files as
// they were when ended, and no unmarked byte different from the source when accepted; after
// a restore the source is the original in every mode with undo. A failure is retried with
// fewer steps to report the
// shortest failing prefix. KELMOR_MODEL_SEED and KELMOR_MODEL_STEPS replay a run
// (KELMOR_MODEL_RUNS runs from that seed on); KELMOR_MODEL_TRACE=1 lists its actions.
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "app/startup.h"
#include "edit/fill.h"
#include "tests/support/doc_test.h"

namespace {

class Model : public DocTest {
  protected:
    std::mt19937 rng;
    uint32_t rnd(uint32_t n) { return n ? uint32_t(rng() % n) : 0; }

    uint32_t mode = 2;
    std::vector<uint8_t> disk;                          // the source as it must be on disk
    std::map<uint64_t, uint8_t> edits;                  // journalled edits, shown marked
    std::map<uint64_t, std::pair<uint8_t, bool>> input; // current inputs: value, marked
    std::set<uint64_t> inputBlocks;                     // the blocks they flag
    std::set<uint64_t> stale; // cells that keep old colours until the page is painted anew
    bool direct, yes, asked, tailBefore;
    // What the history allows to promise.
    bool directWritten, discarded, scrambled, savedOrUndone, emptied, accepted;
    bool drive, allowDiscard, cleanHistory, allowDirect; // profiles by seed
    std::string failure, what;
    bool trace = false;
    int fileNo = 0;
    long steps = 0, commits = 0, saves = 0, exactPairs = 0;

    uint64_t size() const { return disk.size(); }
    uint8_t shown(uint64_t p) const {
        auto e = edits.find(p);
        return e != edits.end() ? e->second : disk[p];
    }
    bool fail(const std::string &w) {
        if (failure.empty()) failure = what + ": " + w;
        return false;
    }
    static std::string n(uint64_t v) { return std::to_string(v); }

    // ---- checks that report instead of asserting, so that a run can be retried ----
    // The files against the model; `takeOver`: only no unmarked byte may differ from the
    // source, and the model takes the files' state (after undo and redo).
    bool filesOk(bool takeOver) {
        std::string e = checkOpenJournal();
        if (!e.empty()) return fail("journal: " + e);
        if (readAll(jnlHost()).size() != g_jnl.JnlEnd) return fail("JnlEnd is not the length");
        std::vector<uint8_t> s = sourceNow();
        if (s.size() != size()) return fail("source size " + n(s.size()));
        ViewImage v = viewFromFiles();
        for (size_t i = 0; i < size(); ++i) {
            if (takeOver ? !v.marked[i] && v.bytes[i] != s[i] : s[i] != disk[i])
                return fail("source byte " + n(i) + " is " + n(s[i]));
            if (!takeOver && (v.bytes[i] != shown(i) || bool(v.marked[i]) != edits.count(i)))
                return fail("the journal shows byte " + n(i) + " as " + n(v.bytes[i]) +
                            (v.marked[i] ? " marked" : "") + ", not " + n(shown(i)));
        }
        for (size_t i = 0; takeOver && i < size(); ++i) {
            disk[i] = s[i];
            v.marked[i] ? void(edits[i] = v.bytes[i]) : void(edits.erase(i));
        }
        return true;
    }
    bool screenOk() {
        if (g_doc.MarkFlag) {
            g_doc.MarkFlag = 0; // the marking's colours are not modelled
            paintPage();
        }
        PageImage p{first(), {}, {}};
        for (uint64_t pos = first(); pos < first() + 512 && pos < size(); ++pos) {
            auto in = input.find(pos);
            bool marked = in != input.end() ? in->second.second : edits.count(pos) > 0;
            p.bytes.push_back(in != input.end() ? in->second.first : shown(pos));
            p.marked.push_back(stale.count(pos) ? 2 : marked);
        }
        std::string e = screenDiff(p);
        return e.empty() || fail("the screen: " + e);
    }
    bool exact(bool takeOver = false) { return filesOk(takeOver) && screenOk(); }
    // Nothing could be redone: no record after the undo cursor, and not its own save taken back.
    bool nothingToRedo() {
        const JournalHeader &h = g_jnl.Header;
        if (isNull(h.Undo)) return isNull(h.UndoFirst);
        JRec u = rec(h.Undo);
        return isNull(u.NUndo) && (u.Flags & 0x331904) != 0x110904;
    }

    // ---- the model's side ----
    // Inputs no longer flagged were committed, or dropped by a "Nein" to the direct write.
    void settle() {
        if (inputBlocks.empty() || (g_doc.InputFlag & 6)) return;
        if (yes || !asked) {
            ++commits;
            scrambled |= tailBefore || direct; // redo passes direct writes over
            directWritten |= direct;
            for (uint64_t b : inputBlocks) {
                for (uint64_t p = b; direct && p < b + 512 && p < size(); ++p) {
                    auto in = input.find(p); // the block as shown goes to the source
                    disk[p] = in != input.end() ? in->second.first : shown(p);
                    edits.erase(p), stale.insert(p);
                }
                for (auto in = input.lower_bound(b); in != input.end() && in->first < b + 512; ++in)
                    if (!direct && in->second.second)
                        edits[in->first] = in->second.first;
                    else if (!direct)
                        edits.erase(in->first);
                // A record left without marks is replaced by a fresh one at the next commit;
                // Undo Alles may mark its unchanged bytes then, and redo leaves those marks.
                auto e = edits.lower_bound(b);
                emptied |= !direct && (e == edits.end() || e->first >= b + 512);
            }
        }
        input.clear(), inputBlocks.clear();
    }
    // Edits in [from, to) saved (or dropped).
    void take(uint64_t from, uint64_t to, bool save) {
        scrambled |= save && tailBefore;
        savedOrUndone |= save, discarded |= !save, saves += save;
        for (auto it = edits.lower_bound(from); it != edits.end() && it->first < to;) {
            if (save) disk[it->first] = it->second;
            it = edits.erase(it);
        }
    }

    // ---- actions ----
    uint64_t cursorPos() { return first() + g_doc.CurOfs; }
    // Mostly in the first three blocks, so that edits, ranges and pages meet often.
    uint64_t somewhere() {
        return rnd(uint32_t(rnd(4) ? std::min<uint64_t>(size(), 1536) : size()));
    }
    void click() { // on a byte of the page, either column
        uint32_t avail = g_doc.PageLen > g_doc.ViewOfs ? g_doc.PageLen - g_doc.ViewOfs : 0;
        if (!avail) return;
        uint32_t off = rnd(avail < 512 ? avail : 512);
        int x = (rnd(3) == 0 ? charCol(off) : hexCol(off)) * g_geom.cw + 1;
        onLButtonDown(x, rowOf(off) * g_geom.lh + 1, 0);
        onLButtonUp(x, rowOf(off) * g_geom.lh + 1, 0);
    }
    void view(uint64_t pos, bool shift) {
        stale.clear();
        showByte(pos);
        if (shift && g_doc.ViewOfs == 0) {
            g_doc.ViewOfs = std::min<uint32_t>(16 * rnd(33), g_doc.Blk2Flag);
            paintPage();
        }
        settle();
    }
    void typeBytes() {
        if (rnd(2)) click();
        for (int i = 1 + rnd(3); i > 0; --i) {
            uint64_t pos = cursorPos();
            bool on = pos < size(); // beyond the end nothing is typed: the source never grows
            uint8_t c = uint8_t(rng());
            if (g_doc.CurCol == 1) {
                if (c == 8 || c == 13 || c == 27) c = 'x';
                key(c);
            } else {
                const char *digits = "0123456789ABCDEFabcdef";
                char hi = digits[rnd(22)], lo = digits[rnd(22)];
                c = uint8_t(std::stoi(std::string{hi, lo}, nullptr, 16));
                key(hi), key(lo);
            }
            if (on) input[pos] = {c, true}, inputBlocks.insert(pos & ~511ull), stale.insert(pos);
            settle(); // the cursor may have left the pair
        }
    }
    bool undoAll(bool redoToo) {
        ret(); // inputs first: they are new history
        settle();
        bool tailEmpty = nothingToRedo();
        std::vector<uint8_t> diskBefore = disk;
        std::map<uint64_t, uint8_t> editsBefore = edits;
        savedOrUndone = true;
        run(IDM_UNDO_ALL);
        // Direct writes are restored (by the restore chain), not undone.
        if (mode && !directWritten && sourceNow() != original)
            return fail("the source is not the original");
        if (!exact(mode != 0) || !redoToo) return failure.empty();
        run(IDM_REDO_ALL);
        if ((mode == 0 && !accepted) || (tailEmpty && !discarded && !scrambled)) {
            ++exactPairs;
            disk = diskBefore, edits = editsBefore;
            ViewImage v = viewFromFiles();
            for (size_t i = 0; emptied && i < size(); ++i)
                if (v.marked[i] && v.bytes[i] == disk[i]) edits.emplace(i, disk[i]);
            return exact();
        }
        // Discarding is no part of the history: the source comes back, the edits as far as
        // the history knows them.
        if (tailEmpty && !scrambled && sourceNow() != diskBefore)
            return fail("the source differs from before");
        return exact(true);
    }
    bool reopen() {
        g_doc.ModFlag &= ~kModDisk; // the file standing in for a drive is closed as a file
        run(IDM_CLOSE_FILE);
        settle();
        if (sourceOpen()) return fail("still open");
        openThroughDialog(src, false);
        if (!sourceOpen() || !journalOpen()) return fail("not open again");
        if (drive) g_doc.ModFlag |= kModDisk;
        run(direct ? IDM_DIRECT_MODE : IDM_JOURNAL_MODE);
        return exact();
    }

    // A paste, file insert or marking fill of random bytes: journalled edits, or in direct
    // mode every block it touches goes to the source as shown.
    void overwrite() {
        uint32_t kind = rnd(3);
        std::vector<uint8_t> b(1 + rnd(rnd(3) ? 700 : 2500));
        for (auto &x : b)
            x = uint8_t(rng() | 1); // no zero: a text paste ends at one
        fake.dialogScripts.clear();
        if (kind == 2)
            fake.dialogScripts.push_back(
                [](int, DialogLogic &l, FakeDialogHost &h) { l.command(h, IDC_FILL_OK, 0); });
        if (direct) answerSavePage(true, true);
        uint64_t at;
        if (kind == 2) {
            at = somewhere();
            g_fill.FillValue = b[0];
            b.assign(std::min<uint64_t>(b.size(), size() - at), b[0]);
            mark(at, at + b.size());
        } else {
            click();
            at = cursorPos();
            if (kind == 0) {
                fake.clipboard.clear();
                fake.clipboard[1] = b, fake.clipboard[1].push_back(0);
            } else {
                fake.fileDialogAnswers.push_back({true, makeFile("ins.bin", b)});
                if (at + b.size() > size()) expectBox("Datei zu groß !", kIdOk), b.clear();
            }
            b.resize(std::min<uint64_t>(b.size(), size() - at));
        }
        what = (kind == 2 ? "fill " : kind ? "insert " : "paste ") + n(at) + "+" + n(b.size());
        run(kind == 2 ? IDM_FILL_MARKING : kind ? IDM_INSERT_FILE : IDM_PASTE);
        settle();
        if (b.empty()) return;
        ++commits, stale.clear();
        scrambled |= tailBefore || direct, directWritten |= direct;
        for (size_t i = 0; i < b.size(); ++i)
            edits[at + i] = b[i];
        for (uint64_t q = at & ~511ull; direct && q < at + b.size(); ++q)
            disk[q] = shown(q), edits.erase(q);
        for (uint64_t q = at + b.size(); direct && q < size() && q & 511; ++q)
            disk[q] = shown(q), edits.erase(q);
    }

    // A preview entered, stepped and switched, then ended or accepted.
    bool previewAction(bool accept) {
        static const unsigned kKeys[] = {IDM_PREVIOUS_VERSION_KEY, IDM_NEXT_VERSION_KEY,
                                         IDM_UNDO_PREVIEW_KEY, IDM_REDO_PREVIEW_KEY};
        auto shown = [this] { return fake.title.find("-Vorschau   *") != std::string::npos; };
        ret(), settle(), view(somewhere(), rnd(2));
        std::vector<uint8_t> jnl = readAll(jnlHost()), src = sourceNow();
        for (unsigned i = 1 + rnd(6), kind = 2 * rnd(2); i > 0; --i)
            run(kKeys[(kind ^= rnd(5) ? 0 : 2) + rnd(2)]);
        if (readAll(jnlHost()) != jnl || sourceNow() != src) return fail("the preview wrote");
        what = "preview ended";
        if (accept && shown()) {
            expectBox("! ! !", kIdOk, "Originaldatei wird verändert !\n\nEinverstanden ?");
            ret(), fake.boxAnswers.clear(); // asked only when the source changes
            // Like undo, it may take a commit or a save back, which redo brings again.
            if (!shown())
                return what = "accepted", scrambled = savedOrUndone = accepted = true,
                       stale.clear(), exact(true);
            what = "preview refused"; // nothing kept to go back to
        }
        rnd(2) ? key(27) : run(IDM_ROW_START);
        stale.clear();
        if (shown() || readAll(jnlHost()) != jnl || sourceNow() != src) return fail("a trace");
        return exact();
    }
    bool restoreAction() {
        what = "restore", ret(), settle(), stale.clear(), run(IDM_RESTORE_ORIGINAL);
        if (mode == 0) return exact(true) && (edits.empty() || fail("marks after the restore"));
        disk = original, edits.clear(); // (directWritten stays: Undo Alles takes the copies)
        return exact();
    }

    bool step() {
        if (uint32_t p = rnd(100); p < 8) { // previews and restores, a direct write answered
            yes = true, asked = false;
            fake.dialogScripts.assign(1, [this](int, DialogLogic &l, FakeDialogHost &h) {
                asked = true, l.command(h, IDC_SAVE_PAGE_YES, 0);
            });
            bool ok = p < 7 ? previewAction(p < 3) : restoreAction();
            if (trace) std::printf("  %s\n%s", what.c_str(), journalTable(journal()).c_str());
            return ok;
        }
        static const unsigned kCommands[] = {
            IDM_PAGE_DOWN,   IDM_PAGE_UP,    IDM_ARROW_DOWN,     IDM_ARROW_UP,
            IDM_ARROW_RIGHT, IDM_ARROW_LEFT, IDM_FILE_START_KEY, IDM_FILE_END_KEY,
            IDM_ROW_START,   IDM_ROW_END,    IDM_UNDO_RUN,       IDM_UNDO_ONE,
            IDM_REDO_RUN,    IDM_REDO_ONE,   IDM_PREV_UNDO_POS,  IDM_NEXT_UNDO_POS};
        bool answer = rnd(6) != 0;
        yes = true, asked = false;
        tailBefore = mode != 0 && !nothingToRedo();
        fake.dialogScripts.clear();
        fake.dialogScripts.push_back([this](int id, DialogLogic &logic, FakeDialogHost &host) {
            asked = true;
            if (id != IDD_SAVE_PAGE) fail("dialog " + n(id));
            logic.command(host, yes ? IDC_SAVE_PAGE_YES : IDC_SAVE_PAGE_NO, 0);
        });
        uint32_t r = rnd(100);
        bool over = rnd(12) == 0, takeOver = false;
        // Return and Esc paint the page anew; "Nein" to a direct write only before them, since
        // other commands leave the dropped inputs on the page (a fault of the program).
        if (!over && r >= 37 && r < 49) stale.clear(), yes = answer;
        if (over) {
            overwrite();
        } else if (r < 24) {
            what = "type";
            typeBytes();
        } else if (r < 27) {
            what = "half a byte";
            click();
            if (g_doc.CurCol == 0) key('7');
            // Right on the last byte leaves the digit on screen (a fault of the program).
            rnd(2) || cursorPos() + 1 >= size() ? ret() : run(IDM_ARROW_RIGHT);
        } else if (r < 37) {
            click();
            uint64_t pos = cursorPos();
            what = r < 31 ? "Backspace" : "fetch";
            if (r < 31)
                input.erase(pos), key(8); // the committed value and mark come back
            else if (pos < size())
                input[pos] = {disk[pos], false}, inputBlocks.insert(pos & ~511ull);
            if (r >= 31) run(r < 34 ? IDM_FETCH_SOURCE_RIGHT : IDM_FETCH_SOURCE_LEFT);
        } else if (r < 45) {
            what = "Return";
            ret();
        } else if (r < 49) {
            what = "Esc";
            bool drop = rnd(2);
            if (!inputBlocks.empty())
                expectBox("Eingaben verwerfen?", drop ? kIdYes : kIdNo,
                          "Sollen die aktuellen Eingaben verworfen werden?");
            key(27);
            if (drop) input.clear(), inputBlocks.clear();
        } else if (r < 57 || (r < 65 && !cleanHistory)) {
            unsigned c = kCommands[r < 57 ? rnd(10) : 10 + rnd(6)];
            what = "command " + n(c);
            run(c);
            // Undo and redo in a mode with undo (the undo positions move the cursor they use).
            takeOver = mode != 0 && r >= 57;
            savedOrUndone |= r >= 57;
        } else if (r < 70) {
            what = "view";
            view(somewhere(), true);
        } else if (r < 72 && allowDirect) {
            direct = !direct;
            what = direct ? "direct mode" : "journal mode";
            run(direct ? IDM_DIRECT_MODE : IDM_JOURNAL_MODE);
        } else if (r < 77) {
            what = "savePage";
            view(somewhere(), rnd(2));
            uint64_t from = first();
            savePageYes(), settle(), take(from, from + 512, true);
        } else if (r < 82) {
            uint64_t a = somewhere(),
                     b = std::min<uint64_t>(a + 1 + rnd(rnd(3) ? 600 : 2000), size());
            what = "save " + n(a) + ".." + n(b);
            stale.clear();
            saveMarkedYes(a, b), settle(), take(a, b, true);
        } else if (r < 85) {
            what = "saveAll";
            saveAllYes(), settle(), take(0, size(), true);
        } else if (r < 89 && allowDiscard) {
            uint64_t a = somewhere(), b = std::min<uint64_t>(a + 1 + rnd(900), size());
            what = rnd(2) ? "discard " + n(a) + ".." + n(b) : "discardPage";
            stale.clear();
            if (what == "discardPage") {
                view(a, false);
                a = first(), b = a + 512;
                run(IDM_DISCARD_PAGE);
            } else {
                discardMarked(a, b);
            }
            settle(), take(a, b, false);
        } else {
            stale.clear();
            bool alone = r < 92 && !cleanHistory, redo = !alone && r < 98;
            what = alone ? "Undo Alles" : redo ? "Undo Alles, Re&do Alles" : "reopen";
            if (!(alone || redo ? undoAll(redo) : reopen())) return false;
        }
        settle();
        if (trace) std::printf("  %s\n%s", what.c_str(), journalTable(journal()).c_str());
        if ((over || r < 89) && !exact(takeOver)) return false;
        return fake.boxAnswers.empty() || fail("a question was not asked");
    }

    // Runs `count` actions on a fresh file made from `seed`; returns the first failure and in
    // `prefix` the number of actions up to it.
    std::string runOnce(uint32_t seed, int count, int *prefix) {
        rng.seed(seed);
        failure.clear(), what = "open";
        edits.clear(), input.clear(), inputBlocks.clear(), stale.clear();
        direct = directWritten = discarded = scrambled = savedOrUndone = emptied = accepted = false;
        drive = seed % 4 == 1, allowDiscard = seed % 2 == 0;
        cleanHistory = seed % 3 == 0, allowDirect = seed % 3 == 1;
        uint32_t kind = drive ? 1 : rnd(3);
        disk.resize(kind == 0   ? 1 + rnd(511)
                    : kind == 1 ? 512 * (1 + rnd(8))
                                : 512 * rnd(12) + 1 + rnd(511));
        for (auto &b : disk)
            b = uint8_t(rng());
        startProgram(); // a fresh program, so that a run replays alone as within the series
        quietClose();
        fake.onUnexpected = [this](const std::string &w) { fail("unexpected " + w); };
        openWritable(disk, mode, "m" + n(++fileNo) + ".bin");
        if (drive) g_doc.ModFlag |= kModDisk;
        *prefix = count;
        bool ok = exact();
        for (int i = 0; i < count && ok; ++i, ++steps)
            if (!(ok = step())) *prefix = i + 1;
        if (ok) {
            what = "end";
            ret(), settle();
            ok = exact() && reopen();
            for (uint64_t p = 0; ok && p <= g_doc.LastPairPtr; p += 512)
                gotoPair(p), ok = screenOk();
            if (ok && directWritten && !savedOrUndone && restored() != original)
                fail("restoring does not give back the original");
        }
        fake.onUnexpected = [](const std::string &) {};
        fake.boxAnswers.clear(), fake.dialogScripts.clear();
        if (sourceOpen()) run(IDM_CLOSE_FILE);
        closeSettingsFile();
        fake.onUnexpected = [](const std::string &w) { ADD_FAILURE() << w; };
        return failure;
    }

    void runMode(uint32_t undoMode) {
        mode = undoMode;
        auto env = [](const char *name, long otherwise) {
            const char *v = std::getenv(name);
            return v ? std::atol(v) : otherwise;
        };
        bool replay = std::getenv("KELMOR_MODEL_SEED");
        trace = std::getenv("KELMOR_MODEL_TRACE");
        int count = int(env("KELMOR_MODEL_STEPS", 150));
        uint32_t seed = uint32_t(env("KELMOR_MODEL_SEED", 1000 * undoMode + 1));
        for (long runs = env("KELMOR_MODEL_RUNS", replay ? 1 : 12); runs > 0; --runs, ++seed) {
            int at = 0, unused;
            std::string f = runOnce(seed, count, &at);
            if (f.empty()) continue;
            trace = false;
            for (int lo = 1; lo < at;) {
                int mid = (lo + at) / 2;
                runOnce(seed, mid, &unused).empty() ? void(lo = mid + 1) : void(at = mid);
            }
            ADD_FAILURE() << "UndoMode " << mode << " seed " << seed << ": " << f
                          << "\nshortest failing prefix: " << at << " steps (replay with "
                          << "KELMOR_MODEL_SEED=" << seed << " KELMOR_MODEL_STEPS=" << at << ")";
            break;
        }
        std::printf("[ model ] UndoMode %u: %ld steps, %ld commits, %ld saves, %ld exact Undo/Redo "
                    "Alles pairs\n",
                    mode, steps, commits, saves, exactPairs);
    }
};

TEST_F(Model, UndoMode0) {
    runMode(0);
}
TEST_F(Model, UndoMode1) {
    runMode(1);
}
TEST_F(Model, UndoMode2) {
    runMode(2);
}

} // namespace
