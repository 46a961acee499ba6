// Reading and writing the source's bytes: the one place that knows the file path and the
// sector path of the disk modes. Every failure is reported with the source's name.
#pragma once

#include <cstdint>

// Reads up to `len` bytes at `pos`; *got receives the count (short at the end of a file).
bool readSourceBytes(uint64_t pos, uint32_t len, uint8_t *out, uint32_t *got);
// Reads exactly `len` bytes at `adr`. A drive is read by whole sectors, so `buf` must hold
// `len` rounded up to 512 there. A short read is reported as an error; bytes beyond the end
// of a file (FileSize) read as zero.
bool readSource(uint64_t adr, uint32_t len, uint8_t *buf);
// One byte; on a drive through its sector.
bool readSourceByte(uint64_t pos, uint8_t *out);
// One block of the page pair (512 bytes at `pos`): the count read. In sector mode `pos` moves
// back to its sector's start.
uint32_t readSourceBlock(uint64_t &pos, uint8_t *buf);
// Writes `len` bytes at `pos` as they are (whole sectors in sector mode); a file is never
// written beyond FileSize.
bool writeSourceBytes(uint64_t pos, uint32_t len, const uint8_t *data);
// Writes bytes off..off+n-1 of the block image `block` to the block at `adr`. On a drive a
// partial sector is read first and written whole.
bool writeSource(uint64_t adr, uint32_t off, uint32_t n, const uint8_t *block);
