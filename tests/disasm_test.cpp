// The x86 decoder: exact texts, lengths over the whole one-byte map, the 16-byte window, and
// the lengths compared with objdump over random instructions.
#include "tools/disasm.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const uint32_t kReal16 = 0, kProt16 = 1, kProt32 = 7;
const uint32_t kModes[3] = {kReal16, kProt16, kProt32};

struct Decoded {
    std::string text;
    uint32_t length;
};

// Decodes bytes (the rest of the 16-byte window zero) in the given mode.
Decoded decode(uint32_t mode, std::initializer_list<int> bytes, uint64_t pos = 0) {
    uint8_t b[16] = {};
    int n = 0;
    for (int v : bytes)
        b[n++] = uint8_t(v);
    DisasmMode = mode;
    char out[kDisasmTextSize];
    uint32_t len = disassemble(b, pos, out, sizeof out);
    return {out, len};
}

std::string hexBytes(const uint8_t *b, int n) {
    std::string s;
    char t[4];
    for (int i = 0; i < n; ++i) {
        snprintf(t, sizeof t, "%02X ", b[i]);
        s += t;
    }
    return s;
}

std::string targetLine(const char *address) {
    return "\n" + std::string(37, ' ') + "=> " + address;
}

// ---- the cases the decoder was written against ----

TEST(Disasm, SixteenBitMemoryWithDisplacement) {
    Decoded d = decode(kReal16, {0x00, 0x40, 0x10});
    EXPECT_EQ(d.text, "ADD [BX + SI + 0x10],AL");
    EXPECT_EQ(d.length, 3u);
}

TEST(Disasm, ThirtyTwoBitSib) {
    Decoded d = decode(kProt32, {0x8B, 0x44, 0x24, 0x08});
    EXPECT_EQ(d.text, "MOV EAX,[ESP + 0x08]");
    EXPECT_EQ(d.length, 4u);
}

TEST(Disasm, OperandSizePrefixIsUndoneAfterTheInstruction) {
    Decoded d = decode(kReal16, {0x66, 0xB8, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "(32 Bit Op.) MOV EAX,0x12345678");
    EXPECT_EQ(d.length, 6u);
    EXPECT_EQ(DisasmMode, kReal16);
    // The mode's other bits survive too, and the next decode is 16-bit again.
    d = decode(kProt16, {0x66, 0xB8, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(DisasmMode, kProt16);
    d = decode(DisasmMode, {0xB8, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV AX,0x5678");
    EXPECT_EQ(d.length, 3u);
}

TEST(Disasm, SegmentPrefix) {
    Decoded d = decode(kReal16, {0x26, 0x8B, 0x07});
    EXPECT_EQ(d.text, "ES: MOV AX,[BX]");
    EXPECT_EQ(d.length, 3u);
}

TEST(Disasm, ShortBranchBackToItself) {
    Decoded d = decode(kReal16, {0x75, 0xFE}, 0x100);
    EXPECT_EQ(d.text, "JNZ  - 0x02" + targetLine(" 0000 0000 0000 0100"));
    EXPECT_EQ(d.length, 2u);
}

TEST(Disasm, ReservedAndUnknownOpcodes) {
    Decoded d = decode(kReal16, {0xF7, 0xC8});
    EXPECT_EQ(d.text, "(reserviert)");
    EXPECT_EQ(d.length, 2u); // no immediate: the slot has no defined operands
    d = decode(kReal16, {0xD6});
    EXPECT_EQ(d.text, "(reserviert)");
    EXPECT_EQ(d.length, 1u);
    d = decode(kReal16, {0x0F, 0xB9});
    EXPECT_EQ(d.text, "invalid opcode !!!");
    EXPECT_EQ(d.length, 3u);
    d = decode(kReal16, {0x0F, 0x10});
    EXPECT_EQ(d.text, "(erweiterter Befehlssatz, noch nicht implementiert");
    EXPECT_EQ(d.length, 3u);
}

TEST(Disasm, NegativeThirtyTwoBitDisplacementPrintsTheMagnitude) {
    Decoded d = decode(kProt32, {0x8B, 0x80, 0xF0, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(d.text, "MOV EAX,[EAX- 0x00000010]");
    EXPECT_EQ(d.length, 6u);
}

// ---- operand forms ----

TEST(Disasm, SixteenBitAddressing) {
    EXPECT_EQ(decode(kReal16, {0x8B, 0x1E, 0x34, 0x12}).text, "MOV BX,[0x1234]");
    EXPECT_EQ(decode(kReal16, {0x8B, 0x1E, 0x34, 0x12}).length, 4u);
    EXPECT_EQ(decode(kReal16, {0x8B, 0x86, 0xF8, 0xFF}).text, "MOV AX,[BP - 0x0008]");
    EXPECT_EQ(decode(kReal16, {0x8B, 0x86, 0xF8, 0xFF}).length, 4u);
    EXPECT_EQ(decode(kReal16, {0x8B, 0x46, 0x80}).text, "MOV AX,[BP - 0x80]");
    EXPECT_EQ(decode(kReal16, {0x03, 0x3B}).text, "ADD DI,[BP + DI]");
    EXPECT_EQ(decode(kReal16, {0x88, 0xE0}).text, "MOV AL,AH");
    EXPECT_EQ(decode(kReal16, {0x8A, 0xE0}).text, "MOV AH,AL");
}

TEST(Disasm, ThirtyTwoBitAddressing) {
    Decoded d = decode(kProt32, {0x8B, 0x80, 0x00, 0x10, 0x00, 0x00});
    EXPECT_EQ(d.text, "MOV EAX,[EAX+ 0x00001000]");
    EXPECT_EQ(d.length, 6u);
    d = decode(kProt32, {0x8B, 0x05, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV EAX,[0x12345678]");
    EXPECT_EQ(d.length, 6u);
    d = decode(kProt32, {0x8B, 0x04, 0x88});
    EXPECT_EQ(d.text, "MOV EAX,[EAX + 4*ECX]");
    EXPECT_EQ(d.length, 3u);
    d = decode(kProt32, {0x8B, 0x04, 0x24});
    EXPECT_EQ(d.text, "MOV EAX,[ESP]");
    EXPECT_EQ(d.length, 3u);
    // No base: a 32-bit displacement follows the SIB byte and is printed after the index.
    d = decode(kProt32, {0x8B, 0x04, 0xCD, 0x00, 0x10, 0x00, 0x00});
    EXPECT_EQ(d.text, "MOV EAX,[8*ECX+ 0x00001000]");
    EXPECT_EQ(d.length, 7u);
    d = decode(kProt32, {0x8B, 0x84, 0x4B, 0xFC, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(d.text, "MOV EAX,[EBX + 2*ECX- 0x00000004]");
    EXPECT_EQ(d.length, 7u);
    d = decode(kProt32, {0x89, 0x5C, 0x24, 0xFC});
    EXPECT_EQ(d.text, "MOV [ESP - 0x04],EBX");
    EXPECT_EQ(d.length, 4u);
}

TEST(Disasm, AddressSizePrefixSwitchesTheMemoryTable) {
    Decoded d = decode(kReal16, {0x67, 0x8B, 0x44, 0x24, 0x08});
    EXPECT_EQ(d.text, "(32 Bit Adr.) MOV AX,[ESP + 0x08]");
    EXPECT_EQ(d.length, 5u);
    d = decode(kProt32, {0x67, 0x8B, 0x47, 0x02});
    EXPECT_EQ(d.text, "(16 Bit Adr.) MOV EAX,[BX + 0x02]");
    EXPECT_EQ(d.length, 4u);
    EXPECT_EQ(DisasmMode, kProt32);
    d = decode(kProt32, {0x66, 0x67, 0x8B, 0x47, 0x02});
    EXPECT_EQ(d.text, "(16 Bit Op.) (16 Bit Adr.) MOV AX,[BX + 0x02]");
    EXPECT_EQ(d.length, 5u);
    EXPECT_EQ(DisasmMode, kProt32);
}

TEST(Disasm, RepeatedSizePrefixKeepsTheOverride) {
    // The processor treats 66 66 as one override; switching back would make a 7-byte
    // instruction look like a 4-byte one.
    Decoded d = decode(kReal16, {0x66, 0x66, 0xB8, 0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(d.text, "(32 Bit Op.) (32 Bit Op.) MOV EAX,0x04030201");
    EXPECT_EQ(d.length, 7u);
    EXPECT_EQ(DisasmMode, kReal16);
}

TEST(Disasm, ImmediateAfterTheMemoryOperand) {
    Decoded d = decode(kReal16, {0xC7, 0x46, 0x02, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV [BP + 0x02],0x1234");
    EXPECT_EQ(d.length, 5u);
    d = decode(kProt32, {0xC7, 0x44, 0x24, 0x08, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV [ESP + 0x08],0x12345678");
    EXPECT_EQ(d.length, 8u);
    d = decode(kReal16, {0xC6, 0x06, 0x34, 0x12, 0x7F});
    EXPECT_EQ(d.text, "MOV [0x1234],0x7F");
    EXPECT_EQ(d.length, 5u);
}

TEST(Disasm, GroupOneImmediateSizes) {
    Decoded d = decode(kReal16, {0x80, 0xC3, 0x05});
    EXPECT_EQ(d.text, "ADD BL,0x05");
    EXPECT_EQ(d.length, 3u);
    d = decode(kReal16, {0x81, 0xEB, 0x34, 0x12});
    EXPECT_EQ(d.text, "SUB BX,0x1234");
    EXPECT_EQ(d.length, 4u);
    d = decode(kProt32, {0x81, 0xFB, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "CMP EBX,0x12345678");
    EXPECT_EQ(d.length, 6u);
    // 83: word operand, byte immediate.
    d = decode(kProt32, {0x83, 0xE4, 0xF0});
    EXPECT_EQ(d.text, "AND ESP,0xF0");
    EXPECT_EQ(d.length, 3u);
    d = decode(kReal16, {0x05, 0x34, 0x12});
    EXPECT_EQ(d.text, "ADD AX,0x1234");
    EXPECT_EQ(d.length, 3u);
    d = decode(kProt32, {0x3D, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "CMP EAX,0x12345678");
    EXPECT_EQ(d.length, 5u);
    d = decode(kReal16, {0x2C, 0x01});
    EXPECT_EQ(d.text, "SUB AL,0x01");
    EXPECT_EQ(d.length, 2u);
}

TEST(Disasm, SizeLetterOnlyBeforeMemory) {
    EXPECT_EQ(decode(kReal16, {0xF7, 0x27}).text, "MUL w[BX]");
    EXPECT_EQ(decode(kReal16, {0xF6, 0x27}).text, "MUL b[BX]");
    EXPECT_EQ(decode(kProt32, {0xF7, 0x20}).text, "MUL d[EAX]");
    EXPECT_EQ(decode(kReal16, {0xF7, 0xE3}).text, "MUL BX");
    EXPECT_EQ(decode(kReal16, {0xF7, 0x1E, 0x34, 0x12}).text, "NEG w[0x1234]");
    Decoded d = decode(kReal16, {0xF6, 0x47, 0x01, 0x80});
    EXPECT_EQ(d.text, "TEST b[BX + 0x01],0x80");
    EXPECT_EQ(d.length, 4u);
    d = decode(kProt32, {0xF7, 0xC1, 0x00, 0x00, 0x01, 0x00});
    EXPECT_EQ(d.text, "TEST ECX,0x00010000");
    EXPECT_EQ(d.length, 6u);
}

TEST(Disasm, ThreeOperandMultiply) {
    Decoded d = decode(kReal16, {0x69, 0x47, 0x02, 0x34, 0x12});
    EXPECT_EQ(d.text, "AX = IMUL w[BX + 0x02],0x1234");
    EXPECT_EQ(d.length, 5u);
    d = decode(kProt32, {0x6B, 0xC9, 0x0C});
    EXPECT_EQ(d.text, "ECX = IMUL ECX,0x0C");
    EXPECT_EQ(d.length, 3u);
}

TEST(Disasm, RegisterInTheOpcode) {
    EXPECT_EQ(decode(kReal16, {0x47}).text, "INC DI");
    EXPECT_EQ(decode(kProt32, {0x48}).text, "DEC EAX");
    EXPECT_EQ(decode(kReal16, {0x55}).text, "PUSH BP");
    EXPECT_EQ(decode(kProt32, {0x5D}).text, "POP EBP");
    EXPECT_EQ(decode(kReal16, {0x93}).text, "XCHG AX, BX");
    EXPECT_EQ(decode(kProt32, {0x97}).text, "XCHG EAX, EDI");
    EXPECT_EQ(decode(kReal16, {0x47}).length, 1u);
    Decoded d = decode(kReal16, {0xB4, 0x4C});
    EXPECT_EQ(d.text, "MOV AH,0x4C");
    EXPECT_EQ(d.length, 2u);
    d = decode(kProt32, {0xBF, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV EDI,0x12345678");
    EXPECT_EQ(d.length, 5u);
}

TEST(Disasm, SegmentRegisterMoves) {
    EXPECT_EQ(decode(kReal16, {0x8C, 0xD8}).text, "MOV AX,DS");
    EXPECT_EQ(decode(kReal16, {0x8C, 0x06, 0x34, 0x12}).text, "MOV [0x1234],ES");
    EXPECT_EQ(decode(kReal16, {0x8E, 0xD8}).text, "MOV DS,AX");
    EXPECT_EQ(decode(kReal16, {0x8E, 0x17}).text, "MOV SS,[BX]");
    EXPECT_EQ(decode(kReal16, {0x8E, 0xC8}).text, "???AX");
    EXPECT_EQ(decode(kReal16, {0x8E, 0xE0}).text, "???AX"); // FS has no name in the table
    EXPECT_EQ(decode(kReal16, {0x8E, 0x06, 0x34, 0x12}).length, 4u);
}

TEST(Disasm, DirectOffsets) {
    Decoded d = decode(kReal16, {0xA0, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV AL, [0x1234]");
    EXPECT_EQ(d.length, 3u);
    d = decode(kProt32, {0xA1, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV EAX, [0x12345678]");
    EXPECT_EQ(d.length, 5u);
    d = decode(kProt32, {0xA3, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV [0x12345678],EAX");
    d = decode(kReal16, {0xA2, 0x34, 0x12});
    EXPECT_EQ(d.text, "MOV [0x1234],AL");
    // The offset follows the address size, not the operand size.
    d = decode(kReal16, {0x67, 0xA1, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "(32 Bit Adr.) MOV AX, [0x12345678]");
    EXPECT_EQ(d.length, 6u);
    d = decode(kReal16, {0x66, 0xA1, 0x34, 0x12});
    EXPECT_EQ(d.text, "(32 Bit Op.) MOV EAX, [0x1234]");
    EXPECT_EQ(d.length, 4u);
}

TEST(Disasm, FixedTextsAndTheirLengths) {
    struct Case {
        uint32_t mode;
        int op;
        const char *text;
        uint32_t length;
    } cases[] = {
        {kReal16, 0x06, "PUSH ES", 1},
        {kReal16, 0x1F, "POP DS", 1},
        {kReal16, 0x27, "DAA", 1},
        {kReal16, 0x60, "PUSHA", 1},
        {kReal16, 0x6C, "INSB ES:DI,DX", 1},
        {kProt32, 0x6D, "INSD ES:EDI,DX", 1},
        {kReal16, 0x6E, "OUTSB DX,DS:SI", 1},
        {kReal16, 0x6F, "OUTSW DX,DS:SI", 1},
        {kProt32, 0x6F, "OUTSD DX,DS:ESI", 1},
        {kReal16, 0x90, "NOP", 1},
        {kReal16, 0x98, "CBW", 1},
        {kProt32, 0x98, "CWDE", 1},
        {kProt32, 0x99, "CDQ", 1},
        {kProt32, 0xA5, "MOVSD", 1},
        {kReal16, 0xAF, "SCASW", 1},
        {kReal16, 0xC3, "RET", 1},
        {kReal16, 0xCC, "INT 3", 1},
        {kReal16, 0xCF, "IRET", 1},
        {kReal16, 0xD4, "AAM", 2},
        {kReal16, 0xD5, "AAD", 2},
        {kReal16, 0xD7, "XLATB", 1},
        {kReal16, 0xEC, "IN AL,DX", 1},
        {kProt32, 0xEF, "OUT DX,EAX", 1},
        {kReal16, 0xF1, "(reserviert)", 1},
        {kReal16, 0x82, "(reserviert)", 1},
        {kReal16, 0xF4, "HLT", 1},
        {kReal16, 0xFD, "STD", 1},
    };
    for (const Case &c : cases) {
        Decoded d = decode(c.mode, {c.op, 0x0A, 0x0A, 0x0A});
        EXPECT_EQ(d.text, c.text) << std::hex << c.op;
        EXPECT_EQ(d.length, c.length) << std::hex << c.op;
    }
}

TEST(Disasm, ImmediateOnlyForms) {
    Decoded d = decode(kReal16, {0xCD, 0x21});
    EXPECT_EQ(d.text, "INT 0x21");
    EXPECT_EQ(d.length, 2u);
    d = decode(kProt32, {0xC2, 0x08, 0x00});
    EXPECT_EQ(d.text, "RET 0x0008");
    EXPECT_EQ(d.length, 3u);
    d = decode(kProt32, {0xCA, 0x04, 0x00});
    EXPECT_EQ(d.text, "RETF 0x0004");
    d = decode(kReal16, {0xC8, 0x10, 0x00, 0x01});
    EXPECT_EQ(d.text, "ENTER 0x0010");
    EXPECT_EQ(d.length, 4u);
    d = decode(kProt32, {0x68, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d.text, "PUSH 0x12345678");
    EXPECT_EQ(d.length, 5u);
    d = decode(kReal16, {0x6A, 0xFF});
    EXPECT_EQ(d.text, "PUSH 0xFF");
    EXPECT_EQ(d.length, 2u);
    d = decode(kProt32, {0xE5, 0x60});
    EXPECT_EQ(d.text, "IN EAX,0x60");
    EXPECT_EQ(d.length, 2u);
    d = decode(kReal16, {0xE7, 0x60});
    EXPECT_EQ(d.text, "OUT 0x60,AX");
    EXPECT_EQ(d.length, 2u);
    d = decode(kProt32, {0xA9, 0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(d.text, "Test EAX,0x00000001");
    EXPECT_EQ(d.length, 5u);
}

TEST(Disasm, FarPointers) {
    Decoded d = decode(kReal16, {0x9A, 0x00, 0x01, 0x00, 0xF0});
    EXPECT_EQ(d.text, "CALL far0xF0000100");
    EXPECT_EQ(d.length, 5u);
    d = decode(kReal16, {0xEA, 0x5B, 0xE0, 0x00, 0xF0});
    EXPECT_EQ(d.text, "JMP FAR 0xF000E05B");
    EXPECT_EQ(d.length, 5u);
    // A 32-bit operand size makes the offset four bytes: the selector ends two bytes later.
    d = decode(kProt32, {0xEA, 0x78, 0x56, 0x34, 0x12, 0x08, 0x00});
    EXPECT_EQ(d.length, 7u);
    d = decode(kReal16, {0x66, 0x9A, 0x78, 0x56, 0x34, 0x12, 0x08, 0x00});
    EXPECT_EQ(d.length, 8u);
}

TEST(Disasm, ShiftGroup) {
    EXPECT_EQ(decode(kReal16, {0xD1, 0xE0}).text, "SHL AX");
    EXPECT_EQ(decode(kReal16, {0xD3, 0xE8}).text, "SHR AX,CL");
    EXPECT_EQ(decode(kReal16, {0xD2, 0xC0}).text, "ROL AL,CL");
    EXPECT_EQ(decode(kProt32, {0xD1, 0xF8}).text, "SAR EAX");
    Decoded d = decode(kProt32, {0xC1, 0xE0, 0x04});
    EXPECT_EQ(d.text, "SHL EAX,0x04");
    EXPECT_EQ(d.length, 3u);
    d = decode(kReal16, {0xC0, 0x4F, 0x02, 0x03});
    EXPECT_EQ(d.text, "ROR [BX + 0x02],0x03");
    EXPECT_EQ(d.length, 4u);
    d = decode(kReal16, {0xD0, 0xF0});
    EXPECT_EQ(d.text, "(reserviert)");
    EXPECT_EQ(d.length, 2u);
    // The opcode still carries its byte immediate in the reserved slot.
    d = decode(kReal16, {0xC1, 0x36, 0x34, 0x12, 0x05});
    EXPECT_EQ(d.text, "(reserviert)");
    EXPECT_EQ(d.length, 5u);
}

TEST(Disasm, GroupsFourAndFive) {
    EXPECT_EQ(decode(kReal16, {0xFE, 0xC0}).text, "INC AL");
    EXPECT_EQ(decode(kReal16, {0xFE, 0x0F}).text, "DEC [BX]");
    Decoded d = decode(kReal16, {0xFE, 0x57, 0x01});
    EXPECT_EQ(d.text, "");
    EXPECT_EQ(d.length, 3u);
    EXPECT_EQ(decode(kReal16, {0xFF, 0x06, 0x34, 0x12}).text, "INC [0x1234]");
    EXPECT_EQ(decode(kReal16, {0xFF, 0xD3}).text, "CALL NEAR BX");
    EXPECT_EQ(decode(kReal16, {0xFF, 0x1F}).text, "CALL FAR [BX]");
    EXPECT_EQ(decode(kProt32, {0xFF, 0x24, 0x85, 0, 0, 0, 0}).text, "JMP NEAR [4*EAX+ 0x00000000]");
    EXPECT_EQ(decode(kReal16, {0xFF, 0x2F}).text, "JMP FAR [BX]");
    EXPECT_EQ(decode(kProt32, {0xFF, 0x75, 0x08}).text, "PUSH [EBP + 0x08]");
    d = decode(kReal16, {0xFF, 0xBF, 0x34, 0x12});
    EXPECT_EQ(d.text, "(reserviert)");
    EXPECT_EQ(d.length, 4u);
    EXPECT_EQ(decode(kReal16, {0x8F, 0x06, 0x34, 0x12}).text, "POP [0x1234]");
}

TEST(Disasm, OtherModRmInstructions) {
    EXPECT_EQ(decode(kReal16, {0x8D, 0x46, 0xFE}).text, "LEA AX,[BP - 0x02]");
    EXPECT_EQ(decode(kReal16, {0xC4, 0x1E, 0x34, 0x12}).text, "LES ES:BX,[0x1234]");
    EXPECT_EQ(decode(kReal16, {0xC5, 0x37}).text, "LDS DS:SI,[BX]");
    EXPECT_EQ(decode(kReal16, {0x62, 0x07}).text, "BOUND AX,[BX]");
    EXPECT_EQ(decode(kReal16, {0x63, 0xC8}).text, "ARPL AX,CX");
    EXPECT_EQ(decode(kProt32, {0x63, 0xC8}).text, "ARPL AX,CX"); // ARPL is always 16-bit
    EXPECT_EQ(decode(kReal16, {0x84, 0xC0}).text, "TEST AL,AL");
    EXPECT_EQ(decode(kProt32, {0x85, 0xC0}).text, "TEST EAX,EAX");
    EXPECT_EQ(decode(kReal16, {0x86, 0xE0}).text, "XCHG AH,AL");
    Decoded d = decode(kReal16, {0xDB, 0x06, 0x34, 0x12});
    EXPECT_EQ(d.text, "(ESC)");
    EXPECT_EQ(d.length, 4u);
    d = decode(kProt32, {0xDD, 0x44, 0x24, 0x04});
    EXPECT_EQ(d.text, "(ESC)");
    EXPECT_EQ(d.length, 4u);
}

// ---- branches ----

TEST(Disasm, BranchTargets) {
    Decoded d = decode(kReal16, {0xEB, 0x10}, 0x200);
    EXPECT_EQ(d.text, "JMP SHORT  + 0x10" + targetLine(" 0000 0000 0000 0212"));
    d = decode(kReal16, {0xE8, 0x10, 0x00}, 0);
    EXPECT_EQ(d.text, "CALL NEAR  + 0x0010" + targetLine(" 0000 0000 0000 0013"));
    EXPECT_EQ(d.length, 3u);
    d = decode(kProt32, {0xE9, 0x00, 0x01, 0x00, 0x00}, 0x1000);
    EXPECT_EQ(d.text, "JMP NEAR + 0x00000100" + targetLine(" 0000 0000 0000 1105"));
    EXPECT_EQ(d.length, 5u);
    // Sign-extended to 64 bits: a backward jump from above 4 GiB stays below it.
    d = decode(kProt32, {0xE9, 0xF0, 0xFF, 0xFF, 0xFF}, 0x100000000ull);
    EXPECT_EQ(d.text, "JMP NEAR - 0x00000010" + targetLine(" 0000 0000 FFFF FFF5"));
    d = decode(kReal16, {0xE8, 0x00, 0x80}, 0x123456789ABCull);
    EXPECT_EQ(d.text, "CALL NEAR  - 0x8000" + targetLine(" 0000 1234 5678 1ABF"));
    d = decode(kReal16, {0xE2, 0xFC}, 0x10);
    EXPECT_EQ(d.text, "LOOP  - 0x04" + targetLine(" 0000 0000 0000 000E"));
    EXPECT_EQ(decode(kProt32, {0xE3, 0x00}).text.substr(0, 10), "JECXZ  + 0");
    EXPECT_EQ(decode(kReal16, {0x7C, 0x00}).text.substr(0, 10), "JL  + 0x00");
    EXPECT_EQ(decode(kReal16, {0x7F, 0x7F}).text.substr(0, 10), "JG  + 0x7F");
}

TEST(Disasm, BranchTargetCountsThePrefixes) {
    // The target is relative to the end of the whole instruction, prefixes included.
    Decoded d = decode(kReal16, {0x2E, 0x75, 0xFE}, 0x100);
    EXPECT_EQ(d.text, "CS: JNZ  - 0x02" + targetLine(" 0000 0000 0000 0101"));
    EXPECT_EQ(d.length, 3u);
    d = decode(kReal16, {0x66, 0xE8, 0x00, 0x00, 0x00, 0x00}, 0x100);
    EXPECT_EQ(d.text, "(32 Bit Op.) CALL NEAR + 0x00000000" + targetLine(" 0000 0000 0000 0106"));
    EXPECT_EQ(d.length, 6u);
}

// ---- the two-byte map ----

TEST(Disasm, TwoByteMapNames) {
    struct Case {
        std::initializer_list<int> bytes;
        const char *text;
    } cases[] = {
        {{0x0F, 0x00, 0x18}, "ltr"},
        {{0x0F, 0x00, 0xF0}, "(erweiterter Befehlssatz, noch nicht implementiert"},
        {{0x0F, 0x01, 0x38}, "invdpg"},
        {{0x0F, 0x01, 0x30}, "lmsw"},
        {{0x0F, 0x01, 0x10}, "lgdt"},
        {{0x0F, 0x06}, "clts"},
        {{0x0F, 0x0B}, "ud2"},
        {{0x0F, 0x22, 0xC0}, "mov"},
        {{0x0F, 0x31}, "rdtsc"},
        {{0x0F, 0x34}, "sysenter"},
        {{0x0F, 0x44}, "cmove"},
        {{0x0F, 0x4F}, "cmovg"},
        {{0x0F, 0x68}, "punpckhwb"},
        {{0x0F, 0x6F}, "movq"},
        {{0x0F, 0x71, 0xE0}, "psarw"},
        {{0x0F, 0x73, 0xF0}, "psllq"},
        {{0x0F, 0x77}, "emms"},
        {{0x0F, 0x84}, "je"},
        {{0x0F, 0x8B}, "jpo"},
        {{0x0F, 0x9A}, "setp"},
        {{0x0F, 0x9B}, "setpo"},
        {{0x0F, 0xA0}, "push fs"},
        {{0x0F, 0xA2}, "cpuid"},
        {{0x0F, 0xA5}, "shld"},
        {{0x0F, 0xA9}, "pop gs"},
        {{0x0F, 0xAE, 0x08}, "fxrstor"},
        {{0x0F, 0xAF}, "imul"},
        {{0x0F, 0xB6}, "movzx"},
        {{0x0F, 0xBA, 0x28}, "bts"},
        {{0x0F, 0xBB}, "btc"},
        {{0x0F, 0xBF}, "movsx"},
        {{0x0F, 0xC1}, "xadd"},
        {{0x0F, 0xC7, 0x08}, "cmpxchg8b"},
        {{0x0F, 0xC8}, "bswap ax"},
        {{0x0F, 0xCF}, "bswap di"},
        {{0x0F, 0xDF}, "pandn"},
        {{0x0F, 0xEF}, "pxor"},
        {{0x0F, 0xFE}, "paddd"},
        {{0x0F, 0x05}, "(erweiterter Befehlssatz, noch nicht implementiert"},
        {{0x0F, 0x58}, "(erweiterter Befehlssatz, noch nicht implementiert"},
        {{0x0F, 0xFF}, "(erweiterter Befehlssatz, noch nicht implementiert"},
    };
    for (const Case &c : cases) {
        Decoded d = decode(kProt32, c.bytes);
        EXPECT_EQ(d.text, c.text) << std::hex << *(c.bytes.begin() + 1);
        EXPECT_EQ(d.length, 3u);
    }
    Decoded d = decode(kReal16, {0x66, 0x0F, 0xB6, 0xC0});
    EXPECT_EQ(d.text, "(32 Bit Op.) movzx");
    EXPECT_EQ(d.length, 4u);
}

// ---- the window and the text buffer ----

TEST(Disasm, ModesZeroAndOneDecodeAlike) {
    // Bit 0 only changes the window title.
    for (int op = 0; op < 256; ++op) {
        Decoded a = decode(kReal16, {op, 0x84, 0x24, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
        Decoded b = decode(kProt16, {op, 0x84, 0x24, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
        EXPECT_EQ(a.text, b.text) << std::hex << op;
        EXPECT_EQ(a.length, b.length) << std::hex << op;
    }
}

// Decodes 16 bytes held in a heap block of exactly 16 bytes, so that any read beyond them
// is caught by the address sanitizer.
Decoded decodeExact(uint32_t mode, const std::vector<uint8_t> &bytes) {
    uint8_t *b = static_cast<uint8_t *>(malloc(16));
    for (int i = 0; i < 16; ++i)
        b[i] = i < int(bytes.size()) ? bytes[i] : 0;
    DisasmMode = mode;
    char out[kDisasmTextSize];
    uint32_t len = disassemble(b, 0, out, sizeof out);
    free(b);
    return {out, len};
}

TEST(Disasm, NeverReadsOrClaimsBeyondSixteenBytes) {
    for (uint32_t mode : kModes) {
        // Sixteen prefixes: the last one has nothing after it inside the window.
        Decoded d = decodeExact(mode, std::vector<uint8_t>(16, 0x26));
        EXPECT_EQ(d.length, 16u);
        EXPECT_EQ(d.text.size(), 16u * 4);
        EXPECT_EQ(DisasmMode, mode);
        // Fifteen prefixes before an instruction that would need eleven more bytes.
        std::vector<uint8_t> v(15, 0x3E);
        v.push_back(0x81);
        d = decodeExact(mode, v);
        EXPECT_EQ(d.length, 16u);
        v.assign(12, 0x66);
        v.insert(v.end(), {0x67, 0xC7, 0x84, 0x24});
        d = decodeExact(mode, v);
        EXPECT_EQ(d.length, 16u);
        EXPECT_EQ(DisasmMode, mode);
        v.assign(14, 0xF3);
        v.insert(v.end(), {0x0F, 0x10});
        d = decodeExact(mode, v);
        EXPECT_EQ(d.length, 16u);
        v.assign(15, 0xF0);
        v.push_back(0x0F);
        d = decodeExact(mode, v);
        EXPECT_EQ(d.length, 16u);
        v.assign(15, 0x67);
        v.push_back(0xE8);
        d = decodeExact(mode, v);
        EXPECT_LE(d.length, 16u);
        EXPECT_EQ(DisasmMode, mode);
    }
    // Random windows: every length within 1..16, every mode restored.
    std::mt19937 rng(7);
    for (int i = 0; i < 30000; ++i) {
        std::vector<uint8_t> v(16);
        for (auto &x : v)
            x = uint8_t(rng());
        // Bias towards prefix runs, the only way to reach the end of the window.
        int run = int(rng() % 16);
        for (int k = 0; k < run; ++k)
            v[k] = (rng() & 1) ? 0x66 : 0x67;
        uint32_t mode = kModes[i % 3];
        Decoded d = decodeExact(mode, v);
        ASSERT_GE(d.length, 1u);
        ASSERT_LE(d.length, 16u);
        ASSERT_EQ(DisasmMode, mode);
        ASSERT_LT(d.text.size(), size_t(kDisasmTextSize));
    }
}

TEST(Disasm, TextStaysInsideASmallBuffer) {
    uint8_t b[16] = {0x66, 0xC7, 0x84, 0x24, 0x78, 0x56, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
    char out[16];
    memset(out, 'X', sizeof out);
    DisasmMode = kProt32;
    uint32_t len = disassemble(b, 0, out, 8);
    EXPECT_EQ(std::string(out), "(16 Bit");
    EXPECT_EQ(len, 10u); // the length does not depend on the room for text
    for (int i = 8; i < 16; ++i)
        EXPECT_EQ(out[i], 'X') << i;
    // No buffer at all still yields the length.
    EXPECT_EQ(disassemble(b, 0, nullptr, 0), 10u);
}

TEST(Disasm, AppendedPieceIsCutAfterEightyCharacters) {
    char out[kDisasmTextSize];
    uint8_t b[16] = {0x90};
    beginDecode(out, sizeof out, b, 0);
    std::string longPiece(100, 'a');
    appendText(longPiece.c_str());
    appendText("bc");
    EXPECT_EQ(std::string(out), std::string(80, 'a') + "bc");
}

TEST(Disasm, AddressForm) {
    char a[21];
    formatAddress(0x0123456789ABCDEFull, a);
    EXPECT_STREQ(a, " 0123 4567 89AB CDEF");
    formatAddress(0, a);
    EXPECT_STREQ(a, " 0000 0000 0000 0000");
}

TEST(Disasm, DecodingContinuesInTheCallersLine) {
    // The disassembly window puts the address in front and lets the decoder append.
    char line[kDisasmTextSize] = " 0000 0000 0000 0010 :    ";
    size_t used = strlen(line);
    uint8_t b[16] = {0x8B, 0x07};
    DisasmMode = kReal16;
    beginDecode(line + used, int(sizeof line - used), b, 0x10);
    decodeInstruction(b);
    EXPECT_STREQ(line, " 0000 0000 0000 0010 :    MOV AX,[BX]");
    EXPECT_EQ(g_disasm.Length, 2u);
}

// ---- lengths over the whole one-byte map ----

// An opcode map written from the processor manual, independent of the decoder's handlers:
// 1 one byte, b opcode+imm8, w opcode+imm16, v opcode+imm16/32, m ModRM, B ModRM+imm8,
// V ModRM+imm16/32, G group 3 (immediate only for TEST), p prefix, t two-byte (named only:
// 3 bytes), f far pointer, a direct offset, e ENTER, 2 two fixed bytes.
const char *const kLengthMap[16] = {
    "mmmmbv11mmmmbv1t", "mmmmbv11mmmmbv11", "mmmmbvp1mmmmbvp1", "mmmmbvp1mmmmbvp1",
    "1111111111111111", "1111111111111111", "11mmppppvVbB1111", "bbbbbbbbbbbbbbbb",
    "BV1Bmmmmmmmmmmmm", "1111111111f11111", "aaaa1111bv111111", "bbbbbbbbvvvvvvvv",
    "BBw1mmBVe1w11b11", "mmmm2211mmmmmmmm", "bbbbbbbbvvfb1111", "p1pp11GG111111mm",
};

// ModRM byte plus SIB and displacement.
uint32_t modelModRm(const uint8_t *p, bool a32) {
    uint32_t mod = p[0] >> 6, rm = p[0] & 7;
    if (mod == 3) return 1;
    if (!a32) return 1 + (mod == 1 ? 1 : mod == 2 ? 2 : rm == 6 ? 2 : 0);
    uint32_t n = 1;
    if (rm == 4) {
        n += 1;
        if (mod == 0 && (p[1] & 7) == 5) return n + 4;
    } else if (mod == 0 && rm == 5) {
        return n + 4;
    }
    return n + (mod == 1 ? 1 : mod == 2 ? 4 : 0);
}

uint32_t modelLength(const uint8_t *b, int left, bool o32, bool a32, bool mode32) {
    if (left <= 0) return 0;
    uint8_t op = b[0];
    uint32_t z = o32 ? 4 : 2;
    switch (kLengthMap[op >> 4][op & 15]) {
    case '1':
        return 1;
    case '2':
        return 2;
    case 'b':
        return 2;
    case 'w':
        return 3;
    case 'v':
        return 1 + z;
    case 'm':
        return 1 + modelModRm(b + 1, a32);
    case 'B':
        return 2 + modelModRm(b + 1, a32);
    case 'V':
        return 1 + modelModRm(b + 1, a32) + z;
    case 'G':
        return 1 + modelModRm(b + 1, a32) + (((b[1] >> 3) & 7) == 0 ? (op & 1 ? z : 1) : 0);
    case 't':
        return 3;
    case 'f':
        return 1 + 2 + z;
    case 'a':
        return 1 + (a32 ? 4 : 2);
    case 'e':
        return 4;
    case 'p':
        if (op == 0x66) o32 = !mode32;
        if (op == 0x67) a32 = !mode32;
        return 1 + modelLength(b + 1, left - 1, o32, a32, mode32);
    }
    return 0;
}

TEST(Disasm, LengthOfEveryFirstByteInEveryMode) {
    // Tails that exercise every ModRM length and, after prefixes, the size overrides.
    const std::vector<std::vector<uint8_t>> tails = {
        {0x00, 0x00, 0x00, 0x00, 0x00},
        {0x06, 0x34, 0x12, 0x00, 0x00},
        {0x05, 0x78, 0x56, 0x34, 0x12},
        {0x04, 0x25, 0x78, 0x56, 0x34, 0x12},
        {0x44, 0x24, 0x08, 0x01},
        {0x46, 0xFE, 0x01},
        {0x86, 0x00, 0x10, 0x02},
        {0x84, 0x88, 0x00, 0x10, 0x00, 0x00, 0x03},
        {0xC0, 0x01, 0x02},
        {0xC8, 0x01, 0x02, 0x03, 0x04},
        {0x38, 0x01, 0x02},
        {0xB8, 0x01, 0x02, 0x03, 0x04, 0x05},
        {0xA1, 0x01, 0x02, 0x03, 0x04, 0x05},
        {0xC7, 0x84, 0x24, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08},
        {0x66, 0xE8, 0x01, 0x02, 0x03, 0x04},
        {0x67, 0x8B, 0x80, 0x01, 0x02, 0x03, 0x04},
    };
    int checked = 0;
    for (uint32_t mode : kModes) {
        bool m32 = (mode & kDisasmOp32) != 0;
        for (int op = 0; op < 256; ++op) {
            for (const auto &tail : tails) {
                uint8_t b[16] = {uint8_t(op)};
                for (size_t i = 0; i < tail.size(); ++i)
                    b[1 + i] = tail[i];
                DisasmMode = mode;
                char out[kDisasmTextSize];
                uint32_t got = disassemble(b, 0, out, sizeof out);
                uint32_t want = modelLength(b, 16, m32, m32, m32);
                EXPECT_EQ(got, want) << "mode " << mode << ": " << hexBytes(b, 16) << "-> " << out;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 3 * 256 * 16);
}

// ---- lengths against objdump ----

bool isPrefix(uint8_t b) {
    switch (b) {
    case 0x26:
    case 0x2E:
    case 0x36:
    case 0x3E:
    case 0x64:
    case 0x65:
    case 0x66:
    case 0x67:
    case 0xF0:
    case 0xF2:
    case 0xF3:
        return true;
    default:
        return false;
    }
}

// The encodings where this decoder and objdump deliberately disagree on the length, with the
// reason; null where they must agree.
const char *deliberateDifference(const uint8_t *b) {
    int q = 0;
    while (q < 14 && isPrefix(b[q]))
        ++q;
    uint8_t op = b[q], modrm = b[q + 1];
    uint32_t reg = (modrm >> 3) & 7, mod = modrm >> 6;
    if (op == 0x0F) return "two-byte map: named only, its length is always taken as 3";
    if (op == 0x82) return "82 is reserved here (one byte); objdump reads it as an alias of 80";
    if ((op == 0xF6 || op == 0xF7) && reg == 1)
        return "F6/F7 /1 is reserved here without an immediate; objdump reads a TEST alias";
    // Encodings the processor rejects. objdump prints (bad) and moves on by one byte; this
    // decoder still steps over the ModRM operand.
    if (op == 0xFE && reg >= 2) return "FE /2-/7: no instruction";
    if (op == 0xFF && reg == 7) return "FF /7: reserved";
    if (op == 0xFF && (reg == 3 || reg == 5) && mod == 3) return "far CALL/JMP needs memory";
    if (op == 0x8D && mod == 3) return "LEA needs a memory operand";
    if (op == 0x8F && reg != 0) return "8F is POP whatever its reg field (objdump: XOP or bad)";
    if ((op == 0xC6 || op == 0xC7) && reg != 0 && modrm != 0xF8)
        return "C6/C7 are MOV whatever their reg field (objdump: bad; F8 is xabort/xbegin)";
    // objdump reads VEX and EVEX prefixes where LES, LDS and BOUND would have a register
    // operand; this decoder knows the map before those extensions.
    if ((op == 0xC4 || op == 0xC5 || op == 0x62) && mod == 3) return "VEX/EVEX";
    return nullptr;
}

bool objdumpAvailable() {
    FILE *p = popen("objdump --version 2>/dev/null", "r");
    if (!p) return false;
    char line[256];
    bool gotLine = fgets(line, sizeof line, p) != nullptr;
    int rc = pclose(p);
    return gotLine && rc == 0;
}

struct OracleResult {
    int compared = 0;
    int skipped = 0;
    int mismatches = 0;
    std::string firstMismatches;
    std::map<std::string, int> skipReasons;
};

// Writes every instruction followed by 16 NOPs: whatever objdump makes of an instruction,
// its view is back in step at the next one (no instruction is longer than 15 bytes).
OracleResult runOracle(uint32_t mode, int perOpcode, uint32_t seed) {
    OracleResult r;
    std::mt19937 rng(seed);
    struct Slot {
        uint32_t ofs, len;
        uint8_t bytes[16];
    };
    std::vector<Slot> slots;
    std::vector<uint8_t> file;
    slots.reserve(256 * perOpcode);
    for (int op = 0; op < 256; ++op) {
        for (int k = 0; k < perOpcode; ++k) {
            Slot s;
            s.bytes[0] = uint8_t(op);
            for (int i = 1; i < 16; ++i)
                s.bytes[i] = uint8_t(rng());
            DisasmMode = mode;
            char out[kDisasmTextSize];
            s.len = disassemble(s.bytes, 0, out, sizeof out);
            s.ofs = uint32_t(file.size());
            file.insert(file.end(), s.bytes, s.bytes + s.len);
            file.insert(file.end(), 16, 0x90);
            slots.push_back(s);
        }
    }
    char path[] = "/tmp/kelmor_disasm_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        ADD_FAILURE() << "cannot create a temporary file";
        return r;
    }
    bool written = write(fd, file.data(), file.size()) == ssize_t(file.size());
    close(fd);
    EXPECT_TRUE(written);

    std::string cmd = std::string("objdump -D -z -b binary -m ") +
                      ((mode & kDisasmOp32) ? "i386" : "i8086") + " --no-show-raw-insn " + path;
    FILE *p = popen(cmd.c_str(), "r");
    std::vector<uint32_t> starts;
    std::vector<std::string> texts;
    if (p) {
        char line[512];
        while (fgets(line, sizeof line, p)) {
            char *end;
            unsigned long a = strtoul(line, &end, 16);
            if (end != line && end[0] == ':' && end[1] == '\t') {
                starts.push_back(uint32_t(a));
                texts.emplace_back(end + 2);
            }
        }
        EXPECT_EQ(pclose(p), 0) << cmd;
    }
    unlink(path);
    if (starts.empty()) {
        ADD_FAILURE() << "objdump gave no instructions: " << cmd;
        return r;
    }

    size_t j = 0;
    for (const Slot &s : slots) {
        while (j < starts.size() && starts[j] < s.ofs)
            ++j;
        if (j >= starts.size() || starts[j] != s.ofs) {
            ADD_FAILURE() << "objdump has no instruction at " << s.ofs;
            return r;
        }
        uint32_t theirs = (j + 1 < starts.size() ? starts[j + 1] : uint32_t(file.size())) - s.ofs;
        if (const char *why = deliberateDifference(s.bytes)) {
            ++r.skipped;
            ++r.skipReasons[why];
            continue;
        }
        ++r.compared;
        if (theirs != s.len) {
            if (++r.mismatches <= 20) {
                DisasmMode = mode;
                char out[kDisasmTextSize];
                disassemble(s.bytes, 0, out, sizeof out);
                std::string t = texts[j];
                if (!t.empty() && t.back() == '\n') t.pop_back();
                r.firstMismatches += hexBytes(s.bytes, 16) + ": " + std::to_string(s.len) + " (" +
                                     out + ") vs objdump " + std::to_string(theirs) + " (" + t +
                                     ")\n";
            }
        }
    }
    return r;
}

TEST(DisasmOracle, LengthsAgreeWithObjdump) {
    ASSERT_TRUE(objdumpAvailable()) << "objdump (binutils) is needed for this test";
    const int perOpcode = 420; // 107 520 instructions per mode, ~2.5% of them skipped
    for (uint32_t mode : kModes) {
        OracleResult r = runOracle(mode, perOpcode, 0x5EED0000u + mode);
        EXPECT_GE(r.compared, 100000) << "mode " << mode;
        EXPECT_EQ(r.mismatches, 0) << "mode " << mode << ":\n" << r.firstMismatches;
        std::string reasons;
        for (const auto &kv : r.skipReasons)
            reasons += "  " + std::to_string(kv.second) + "  " + kv.first + "\n";
        printf("mode %u: %d compared, %d agree, %d skipped (deliberate differences):\n%s", mode,
               r.compared, r.compared - r.mismatches, r.skipped, reasons.c_str());
    }
    DisasmMode = kReal16;
}

} // namespace
