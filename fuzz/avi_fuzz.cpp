// Fuzz target: a file of arbitrary bytes behind a "RIFF" header is walked chunk by chunk,
// analysed, played and scanned with corrections accepted or refused. Every walk must end
// (each step goes forward, bounded by the file's size), and the source is never written:
// corrections go to the journal only.
//
// Input: [mode] [body ...]. mode bit 0: questions answered Yes (else No); bits 1-2: which
// commands run first. Without mode bit 3 the body follows "RIFF" as it is; with it, a sound
// AVI of two streams is built (chunk sizes from the body) and then damaged by the body's
// remaining bytes taken as patches [position: 2] [byte].
#include "fuzz/fuzz_dir.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "access/docstate.h"
#include "access/files.h"
#include "access/textutil.h"
#include "app/document.h"
#include "app/settings.h"
#include "app/startup.h"
#include "platform/fake/fake_platform.h"
#include "tools/avi.h"

namespace {

const std::string &g_dir = fuzzDir();

void put(std::string &b, const char *id, uint32_t size, const char *type = nullptr) {
    b.append(id, 4);
    b.append(reinterpret_cast<const char *>(&size), 4);
    if (type) b.append(type, 4);
}

std::string soundAvi(const uint8_t *p, size_t n) {
    std::string b, movi;
    size_t i = 0;
    for (int k = 0; k < 24 && i < n; ++k) {
        uint32_t size = p[i++] * 7u;
        put(movi, k % 3 ? "00dc" : "01wb", size);
        movi.append(size + (size & 1), char(k));
    }
    put(b, "RIFF", 0, "AVI ");
    put(b, "LIST", 4 + 64 + 2 * (12 + 64 + 48), "hdrl");
    put(b, "avih", 56);
    b.append(56, '\1');
    for (const char *type : {"vids", "auds"}) {
        put(b, "LIST", 4 + 64 + 48, "strl");
        put(b, "strh", 56, type);
        b.append(52, '\0');
        put(b, "strf", 40);
        b.append(40, '\0');
    }
    put(b, "LIST", uint32_t(movi.size() + 4), "movi");
    b += movi;
    put(b, "idx1", 0);
    uint32_t riff = uint32_t(b.size() - 8);
    b.replace(4, 4, reinterpret_cast<const char *>(&riff), 4);
    for (; i + 3 <= n; i += 3)
        b[(p[i] | p[i + 1] << 8) % b.size()] = char(p[i + 2]);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (g_dir.empty()) makeFuzzDir("kelmor-afuzz");
    if (size < 1 || size > 64 * 1024) return 0;
    uint8_t mode = data[0];
    const std::string srcHost = g_dir + "/D/s.avi";
    std::string image = "RIFF";
    if (mode & 8)
        image = soundAvi(data + 1, size - 1);
    else
        image.append(reinterpret_cast<const char *>(data + 1), size - 1);
    {
        int fd = open(srcHost.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        if (write(fd, image.data(), image.size()) != ssize_t(image.size())) std::abort();
        close(fd);
    }
    {
        FakePlatform fake;
        fake.drives[2] = {kDriveFixed, g_dir + "/C"};
        fake.drives[3] = {kDriveFixed, g_dir + "/D"};
        fake.onUnexpected = [](const std::string &) {};
        setPlatform(&fake);
        appInitialize(30, 60);
        g_settings.MsgOptions = 0;
        for (int i = 0; i < 64; ++i)
            fake.boxAnswers.push_back({"", (mode & 1) ? kIdYes : kIdNo, ""});
        copyString(g_open.fileDlg.file, "D:\\s.avi", sizeof g_open.fileDlg.file);
        g_open.fileDlg.readOnly = true;
        openSource();
        if (sourceOpen()) {
            fake.keys = {0, '+', 0, '>', '-', '<'};
            static int (*const walks[4][4])() = {{firstChunk, chunkDown, chunkDown, nextChunk},
                                                 {showAviInfo, gotoFilmStart, playVideo, playAudio},
                                                 {repairAvi, playAudio, repairAvi, nextChunk},
                                                 {markAviChunk, chunkDown, repairAvi, showAviInfo}};
            for (int (*f)() : walks[(mode >> 1) & 3])
                f();
            for (int i = 0; i < 8 && nextChunk() == 0; ++i) {
            }
            repairAvi();
            uint64_t at = g_doc.AnfPtr + g_doc.ViewOfs;
            if (at >= g_doc.FileSize && g_doc.FileSize) {
                std::fprintf(stderr, "window beyond the file\n");
                std::abort();
            }
            g_settings.MsgOptions = 0;
            closeSource();
        }
        closeSettingsFile();
        if (fake.openHandles() != 0) {
            std::fprintf(stderr, "handles left open\n");
            std::abort();
        }
        setPlatform(nullptr);
    }
    std::string back(image.size(), '\0');
    int fd = open(srcHost.c_str(), O_RDONLY);
    ssize_t got = read(fd, back.data(), back.size());
    close(fd);
    if (got != ssize_t(image.size()) || back != image) {
        std::fprintf(stderr, "the source was changed\n");
        std::abort();
    }
    return 0;
}
