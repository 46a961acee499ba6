// x86 instruction decoder: one instruction of 16- or 32-bit code into one line of text and
// its length. Pure logic; the disassembly window feeds it the bytes at the cursor.
#pragma once

#include <cstdint>

// DisasmMode bits. The three settings in use are 0 (real mode, 16 bit), 1 (protected mode,
// 16 bit) and 7 (protected mode, 32 bit).
enum : uint32_t {
    kDisasmProtected = 0x1, // only the window title depends on it
    kDisasmOp32 = 0x2,      // operand size 32 bits, else 16
    kDisasmAdr32 = 0x4      // address size 32 bits, else 16
};

// The decoder mode, process-wide. The 66h and 67h prefixes switch it for one instruction and
// put it back afterwards.
extern uint32_t DisasmMode;

// Operand kind bits: what formatOperands prints.
enum : uint32_t {
    kOpW = 0x01,          // word or double word operands, else byte
    kOpD = 0x02,          // the ModRM register operand comes first
    kOpImm = 0x04,        // an immediate follows
    kOpReg = 0x08,        // a ModRM register operand is printed
    kOpSeg = 0x10,        // the register operand is a segment register
    kOpDirect = 0x20,     // direct memory offset, no ModRM
    kOpSizeLetter = 0x40, // "b", "w" or "d" before a memory operand
    kOpSigned = 0x80      // the immediate is printed signed
};

// Every decode sees exactly this many bytes; nothing beyond them is read.
constexpr uint32_t kDisasmWindow = 16;
// Each appended piece of text is cut after this many characters.
constexpr int kDisasmPieceMax = 80;
// A line buffer of this size holds any decoded text, prefixes and branch target included.
constexpr int kDisasmTextSize = 512;

// The state of one decode. Rebuilt for every instruction; only the text, the length and the
// mode survive it.
struct DisasmState {
    char *Out;            // where the next piece of text goes (null: text is dropped)
    char *OutEnd;         // the last byte of the line buffer, kept for the terminator
    uint32_t Length;      // instruction length in bytes so far, counted from the opcode
    uint8_t ModRM;        // the byte after the opcode (after the second opcode byte for 0Fh)
    uint32_t Kind;        // operand kind bits
    uint32_t ImmOfs;      // where the immediate begins, counted from the opcode
    uint32_t ImmSize;     // 0: immediate sized by w and the operand size; else 1, 2 or 4
    uint64_t Pos;         // file position of the opcode being decoded (after prefixes)
    const uint8_t *Start; // the first of the kDisasmWindow bytes
    uint32_t BaseMode;    // DisasmMode when the instruction began (before any prefix)
    uint32_t Depth;       // prefix nesting
};

extern DisasmState g_disasm;

// Prepares a decode: the text goes into out (outSize bytes, always terminated), bytes are the
// kDisasmWindow bytes the instruction starts with, pos is the file position of bytes[0].
void beginDecode(char *out, int outSize, const uint8_t *bytes, uint64_t pos);

// Decodes the instruction at bytes (inside the window given to beginDecode; a pointer outside
// it starts a new window there). Appends the text and leaves the length in g_disasm.Length.
void decodeInstruction(const uint8_t *bytes);

// Appends the mnemonic text and the operands the operand kind asks for; adds the operand
// bytes to the length. bytes points at the opcode.
void formatOperands(const char *mnemonic, const uint8_t *bytes);

// Appends a line feed, 37 spaces, "=> " and target in the address form of the page display.
void appendBranchTarget(uint64_t target);

// Appends one piece of text (cut after kDisasmPieceMax characters and at the buffer's end).
void appendText(const char *text);

// Writes the 20-character address form: a space and four groups of four upper-case hex
// digits separated by spaces, then a terminator (21 bytes).
void formatAddress(uint64_t pos, char out[21]);

// One whole decode in the current DisasmMode: text into out, returns the length (1 to 16).
uint32_t disassemble(const uint8_t *bytes, uint64_t pos, char *out, int outSize);
