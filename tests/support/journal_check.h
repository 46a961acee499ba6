// Journal helpers for tests, fuzzing and benchmarks: the tests' own decoder of the journal
// layout, an invariant checker that reads the journal file itself, and a builder that writes
// journals with given chains. Free of GoogleTest so that fuzz and bench targets can use it.
// Offsets are written out here again on purpose: the tests must not share a mistake with the
// format module they check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "journal/format.h"

// ---- decoding ----

constexpr uint64_t kNull = 0xFFFFFFFF00000000ull;
inline bool isNull(uint64_t p) {
    return (p >> 32) == 0xFFFFFFFFu;
}
// Position of journal entry k.
inline uint64_t entry(uint64_t k) {
    return 1024 + 640 * k;
}

// A journal entry as the file holds it.
struct JRec {
    uint64_t pos = 0; // where the entry lies in the file
    uint64_t Adr = 0, PrevPtr = 0, NextPtr = 0, PUndo = 0;
    uint32_t Len = 0;
    uint64_t PJnl = 0, NJnl = 0, NUndo = 0;
    uint32_t Flags = 0;
    uint8_t ModBits[64] = {};
    uint8_t Data[512] = {};
    bool bit(uint32_t i) const { return (ModBits[i >> 3] >> (i & 7)) & 1; }
};

// The header fields as the file holds them.
struct JHdr {
    uint32_t Magic = 0;
    uint64_t SavedAnfPtr = 0;
    uint32_t SavedViewOfs = 0;
    uint64_t Undo = 0, Rest = 0, FirstPtr = 0, LastPtr = 0;
    uint64_t MarkStart = 0, MarkEnd = 0;
    uint32_t MarkFlag = 0;
    uint64_t JnlEndAtClose = 0, SourceTime = 0, UndoFirst = 0;
    std::string SourceName;
};

// A journal file on the host, read where asked: journals (and sources) may be sparse and far
// beyond 4 GiB.
struct JFile {
    explicit JFile(const std::string &hostPath);
    uint64_t length = 0; // 0 when the file cannot be read
    JHdr h;              // decoded when the file holds a whole header
    // Whole entries after the header.
    uint64_t entries() const { return length < 1024 ? 0 : (length - 1024) / 640; }
    // True when `p` is the start of a whole entry.
    bool valid(uint64_t p) const;
    // The entry at `p` (all zero when there is none).
    JRec rec(uint64_t p) const;
    // Up to n bytes from `pos`.
    std::vector<uint8_t> bytes(uint64_t pos, size_t n) const;

  private:
    std::shared_ptr<int> fd_;
};

// The entries as a table, one row each, in file order: entry index, Adr, the links as entry
// indexes ("-" for null), Len and Flags; then the header's chain heads. For golden tables.
std::string journalTable(const JFile &f);

// ---- checking ----

// Checks a journal file on the host: whole entries, header, address chain (sorted, doubly
// linked, ends at FirstPtr/LastPtr), version chains (doubly linked, all versions sharing
// Adr/PrevPtr/NextPtr, none but the node current), undo chain (doubly linked from UndoFirst,
// Undo on it), restore chain (ends; direct-mode records linked forward too), no self-links,
// every pointer of every reachable record null or on an entry boundary inside the file, Len at
// most 512.
// `header` replaces the file's header (an open journal keeps its header in memory).
// Returns a description of the first violation, or "" when there is none.
std::string checkJournalFile(const std::string &hostPath, const JournalHeader *header = nullptr);
// The open journal of the program (g_jnl) with its in-memory header; "" without a journal.
std::string checkOpenJournal();
// The page records and cursors against the address chain, for the fuzz target (the tests see
// wrong cursors on the screen): a block has its JReadFlag bit and JData1/JData2 the node
// exactly when the chain has a node for it; JPrevPtr/JNextPtr (with their addresses) are the
// nearest nodes below and above the page.
std::string checkPageCursors();

// The FILETIME the fake platform reports as last-write time of a host file.
uint64_t fakeLastWriteTime(const std::string &hostPath);

// ---- building ----

struct BlockSpec {
    uint64_t adr;       // source address (a multiple of 512)
    uint32_t len = 512; // Len of every version
    uint32_t flags = 0; // extra flags of the current version (0x20, 0x400000 ...)
    int versions = 1;   // entries in the block's version chain; the newest is current
    uint32_t seed = 0;  // data and change map of the current version come from it
};

// Data byte i and change-map byte i of a version made from `seed`.
uint8_t specData(uint32_t seed, int i);
uint8_t specMask(uint32_t seed, int i);

struct BuiltJournal {
    std::vector<uint64_t> nodes; // position of each block's current version, in block order
    std::vector<uint64_t> undo;  // the undo chain, oldest first
    uint64_t length;
};

// The 128 bytes of a record as the layout says, by the builder's own writer (not the encoder
// it is used to test).
void recordImage(const JournalRecord &r, uint8_t out[128]);

// Writes a journal for `sourcePath`: one address-chain node per block (blocks sorted by adr),
// older versions chained by PJnl/NJnl, every entry in the undo chain in file order, entries
// placed from entry index `firstEntry` on (the file is sparse before it) in a shuffled order.
// Records and header are written by the builder's own byte writer; Undo points to the newest
// commit, Rest and UndoFirst to the oldest, the saved position is 0.
BuiltJournal buildJournal(const std::string &hostPath, const char *sourcePath, uint64_t sourceTime,
                          const std::vector<BlockSpec> &blocks, uint64_t firstEntry = 0,
                          uint32_t shuffle = 1);
// Sets the magic and the saved page position and view offset in a journal's header.
void setJournalHead(const std::string &hostPath, uint32_t magic, uint64_t savedAnf,
                    uint32_t savedView);
// Writes raw bytes into a host file at `pos`.
void patchFile(const std::string &hostPath, uint64_t pos, const void *bytes, size_t n);
