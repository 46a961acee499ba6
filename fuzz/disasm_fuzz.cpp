// Random 16-byte windows through the x86 decoder in all three modes: the length stays within
// the window, the text is terminated inside its buffer and the mode comes back unchanged.
#include "tools/disasm.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The 16 bytes sit in a heap block of exactly that size, so a read past them is caught.
    uint8_t *bytes = static_cast<uint8_t *>(malloc(kDisasmWindow));
    memset(bytes, 0, kDisasmWindow);
    memcpy(bytes, data, size < kDisasmWindow ? size : kDisasmWindow);
    // Further input bytes choose the file position (branch targets) and a text buffer size.
    uint64_t pos = 0;
    for (size_t i = kDisasmWindow; i < size && i < kDisasmWindow + 8; ++i)
        pos = (pos << 8) | data[i];
    int smallSize = size > kDisasmWindow + 8 ? 1 + data[kDisasmWindow + 8] % 64 : 1;

    static const uint32_t kModes[3] = {0, 1, 7};
    for (uint32_t mode : kModes) {
        // Full-size buffer with a guard byte behind it.
        char out[kDisasmTextSize + 1];
        memset(out, 0x7F, sizeof out);
        DisasmMode = mode;
        uint32_t len = disassemble(bytes, pos, out, kDisasmTextSize);
        if (len < 1 || len > kDisasmWindow) abort();
        if (!memchr(out, 0, kDisasmTextSize)) abort();
        if (out[kDisasmTextSize] != 0x7F) abort();
        if (DisasmMode != mode) abort();

        // A short buffer: the text is cut, the length is the same.
        char *small = static_cast<char *>(malloc(size_t(smallSize)));
        uint32_t len2 = disassemble(bytes, pos, small, smallSize);
        if (len2 != len) abort();
        if (!memchr(small, 0, size_t(smallSize))) abort();
        if (strncmp(small, out, strlen(small)) != 0) abort();
        free(small);

        // Without a buffer at all.
        if (disassemble(bytes, pos, nullptr, 0) != len) abort();
    }
    free(bytes);
    return 0;
}
