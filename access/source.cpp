#include "access/source.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/rollback.h"
#include "platform/platform.h"

namespace {

// The sector services of the old systems. Current systems open drives as devices and read
// them like files, so sector mode is never entered; the path stays so that every reader
// keeps one shape.
bool sectorRead(uint64_t, uint32_t, uint8_t *) {
    plat().setLastError(50); // not supported
    return false;
}

bool sectorWrite(uint64_t, uint32_t, const uint8_t *) {
    plat().setLastError(50);
    return false;
}

bool sectorMode() {
    return (g_doc.ModFlag & kModSector) != 0;
}

bool fileRead(uint64_t pos, uint32_t len, uint8_t *out, uint32_t *got) {
    Platform &p = plat();
    return p.seekFile(g_doc.SrcHandle, pos) && p.readFile(g_doc.SrcHandle, out, len, got);
}

bool fileWrite(uint64_t pos, uint32_t len, const uint8_t *data) {
    Platform &p = plat();
    uint32_t put = 0;
    return rollbackBeforeSource(pos, len) && p.seekFile(g_doc.SrcHandle, pos) &&
           p.writeFile(g_doc.SrcHandle, data, len, &put) && put == len;
}

bool readFailed() {
    reportError(kReadErrorPrefix, g_doc.SrcName);
    return false;
}

bool writeFailed() {
    reportError(kWriteErrorPrefix, g_doc.SrcName);
    return false;
}

// The sector image of a partial sector write.
uint8_t g_sector[512];

} // namespace

bool readSourceBytes(uint64_t pos, uint32_t len, uint8_t *out, uint32_t *got) {
    *got = 0;
    bool ok;
    if (sectorMode()) {
        ok = sectorRead(pos >> 9, len / 512, out);
        if (ok) *got = len;
    } else {
        ok = fileRead(pos, len, out, got);
    }
    return ok || readFailed();
}

bool readSource(uint64_t adr, uint32_t len, uint8_t *buf) {
    if (len == 0) return true;
    if (sectorMode()) return sectorRead(adr >> 9, (len + 511) / 512, buf) || readFailed();
    if (!diskMode() && adr + len > g_doc.FileSize) {
        // Bytes beyond the end of a file (its records outlived a size change) read as zero.
        uint32_t have = adr < g_doc.FileSize ? uint32_t(g_doc.FileSize - adr) : 0;
        std::memset(buf + have, 0, len - have);
        len = have;
        if (len == 0) return true;
    }
    uint32_t n = diskMode() ? (len + 511) & ~511u : len, got = 0;
    if (!fileRead(adr, n, buf, &got)) return readFailed();
    if (got < len) {
        plat().setLastError(kErrHandleEof);
        return readFailed();
    }
    return true;
}

bool readSourceByte(uint64_t pos, uint8_t *out) {
    uint32_t got = 0;
    if (!diskMode()) return readSourceBytes(pos, 1, out, &got) && got == 1;
    if (!readSourceBytes(pos & ~uint64_t(511), 512, g_sector, &got) || got <= (pos & 511))
        return false;
    *out = g_sector[pos & 511];
    return true;
}

uint32_t readSourceBlock(uint64_t &pos, uint8_t *buf) {
    uint32_t got = 0;
    bool ok;
    if (sectorMode()) {
        ok = sectorRead(pos >> 9, 1, buf);
        pos &= ~uint64_t(511);
        got = 512;
    } else {
        ok = fileRead(pos, 512, buf, &got);
    }
    if (!ok) readFailed();
    return got;
}

bool writeSourceBytes(uint64_t pos, uint32_t len, const uint8_t *data) {
    // A file changes its length only through the size change: a record of a block that lies
    // beyond the end now (the file was made shorter) writes nothing there.
    if (!diskMode()) {
        if (pos >= g_doc.FileSize) return true;
        if (g_doc.FileSize - pos < len) len = uint32_t(g_doc.FileSize - pos);
    }
    bool ok = sectorMode() ? sectorWrite(pos >> 9, len / 512, data) : fileWrite(pos, len, data);
    return ok || writeFailed();
}

bool writeSource(uint64_t adr, uint32_t off, uint32_t n, const uint8_t *block) {
    if (n == 0) return true;
    if (diskMode() && (off != 0 || n < 512)) {
        // A drive is written by whole sectors: the rest of the sector keeps what it holds now.
        if (!readSource(adr, 512, g_sector)) return false;
        std::memcpy(g_sector + off, block + off, n);
        return writeSourceBytes(adr, 512, g_sector);
    }
    if (sectorMode()) return writeSourceBytes(adr, n, block); // n is whole sectors here
    return writeSourceBytes(adr + off, n, block + off);
}
