// RIFF chunk navigation and the AVI tools: the chunk walk, the scan and repair of wrong chunk
// sizes, the information box and the stepping playback of one stream's data chunks.
// Handlers return 0 when done and 1 at the end of the file or when nothing was done.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Where the walk stands: the header read last and where the next one is expected.
struct ChunkCursor {
    uint64_t next, cur, prev;
    uint32_t id, listType;
    uint64_t total; // size field + 8 (+1 for an odd size), so that every step goes forward
};

// AviState.flags
enum : uint32_t { kAviAnalysed = 0x1, kAviNoVideo = 0x2, kAviNoAudio = 0x4 };

struct AviState {
    uint32_t videoId, audioId; // FourCC words; 0x39 until the analysis finds them
    char counter[2];           // stream number of the next stream header
    uint32_t compression;      // handler of the last video stream header
    bool playAudio;            // the stream playback follows
    uint32_t flags;
    uint32_t playOffset; // playback shows each chunk from this offset on
    bool resume;         // a stopped run goes on at the current chunk
    bool repairConfirmed;
    bool warned; // "Experimentell !" was shown
    uint8_t activity;
    Pacer pace;     // the last poll and activity mark
    char info[400]; // the text of "AVI Datei-Information"
};

extern ChunkCursor g_chunk;
extern AviState g_avi;

constexpr uint32_t fourCC(const char s[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

// Program start.
void resetAviState();
// A source beginning with "RIFF" was opened: the analysis starts afresh.
void aviFileOpened();

// ---- the walk ----
void restartChunks(uint32_t start);
int stepChunk();
int showChunk();
int enterChunkList(bool show);
// "erster RIFF-Chunk", "nächster RIFF-Chunk", "eine Chunk-Ebene tiefer".
int firstChunk();
int nextChunk();
int chunkDown();
// Double click with the action "AVI-Chunk markieren": the chunk whose header is at the cursor.
int markAviChunk();

// ---- scan and repair ----
bool knownChunkId(uint32_t id);
int scanAviHeader();
int repairAvi();
int repairChunkGap();

// ---- information and playback ----
int analyseAvi();
int showAviInfo();
int gotoFilmStart();
int playStream(bool audio);
int playVideo();
int playAudio();
