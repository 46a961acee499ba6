// x86 instruction decoder. Every byte is read through byteAt, which knows the 16-byte window,
// so no encoding, however malformed, makes the decoder look past the bytes it was given.
#include "tools/disasm.h"

uint32_t DisasmMode = 0;
DisasmState g_disasm = {};

namespace {

DisasmState &s = g_disasm;

const char *const kReg8[8] = {"AL", "CL", "DL", "BL", "AH", "CH", "DH", "BH"};
const char *const kReg16[8] = {"AX", "CX", "DX", "BX", "SP", "BP", "SI", "DI"};
const char *const kReg32[8] = {"EAX", "ECX", "EDX", "EBX", "ESP", "EBP", "ESI", "EDI"};
const char *const kSegReg[8] = {"ES", "CS", "SS", "DS", "", "", "", ""};
const char *const kMem16[8] = {"[BX + SI", "[BX + DI", "[BP + SI", "[BP + DI",
                               "[SI",      "[DI",      "[BP",      "[BX"};
const char *const kMem32[8] = {"[EAX", "[ECX", "[EDX", "[EBX", "[ESP", "[EBP", "[ESI", "[EDI"};

// Arithmetic group in opcode order: rows 0x to 3x and the reg field of 80h to 83h.
const char *const kAlu[8] = {"ADD ", "OR ", "ADC ", "SBB ", "AND ", "SUB ", "XOR ", "CMP "};
const char *const kAluAL[8] = {"ADD AL,", "OR AL,",  "ADC AL,", "SBB AL,",
                               "AND AL,", "SUB AL,", "XOR AL,", "CMP AL,"};
const char *const kAluAX[8] = {"ADD AX,", "OR AX,",  "ADC AX,", "SBB AX,",
                               "AND AX,", "SUB AX,", "XOR AX,", "CMP AX,"};
const char *const kAluEAX[8] = {"ADD EAX,", "OR EAX,",  "ADC EAX,", "SBB EAX,",
                                "AND EAX,", "SUB EAX,", "XOR EAX,", "CMP EAX,"};
const char *const kShift[8] = {"ROL ", "ROR ", "RCL ",         "RCR ",
                               "SHL ", "SHR ", "(reserviert)", "SAR "};
const char *const kGroup3[8] = {"TEST ", "(reserviert)", "NOT ", "NEG ",
                                "MUL ",  "IMUL ",        "DIV ", "IDIV "};
const char *const kGroup5[8] = {"INC ",      "DEC ",     "CALL NEAR ", "CALL FAR ",
                                "JMP NEAR ", "JMP FAR ", "PUSH ",      "(reserviert)"};
const char *const kJcc[16] = {"JO ", "JNO ", "JB ", "JAE ", "JZ ", "JNZ ", "JBE ", "JA ",
                              "JS ", "JNS ", "JP ", "JNP ", "JL ", "JGE ", "JLE ", "JG "};
const char *const kReserved = "(reserviert)";
const char *const kNotImplemented = "(erweiterter Befehlssatz, noch nicht implementiert";

bool op32() {
    return (DisasmMode & kDisasmOp32) != 0;
}
bool adr32() {
    return (DisasmMode & kDisasmAdr32) != 0;
}
const char *pick(const char *w16, const char *w32) {
    return op32() ? w32 : w16;
}

// Offset of p in the window; a pointer outside the window starts a new one there.
uint32_t windowOffset(const uint8_t *p) {
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    uintptr_t w = reinterpret_cast<uintptr_t>(s.Start);
    if (!s.Start || a < w || a - w >= kDisasmWindow) {
        s.Start = p;
        return 0;
    }
    return uint32_t(a - w);
}

// Bytes past the window read as zero and are never touched.
uint8_t byteAt(uint32_t ofs) {
    return ofs < kDisasmWindow ? s.Start[ofs] : 0;
}

uint32_t valueAt(uint32_t ofs, uint32_t size) {
    uint32_t v = 0;
    for (uint32_t i = size; i-- > 0;)
        v = (v << 8) | byteAt(ofs + i);
    return v;
}

const char kHexDigits[] = "0123456789ABCDEF";

void appendHex(uint32_t v, int digits) {
    char b[11] = {'0', 'x'};
    for (int i = 0; i < digits; ++i)
        b[2 + i] = kHexDigits[(v >> (4 * (digits - 1 - i))) & 15];
    b[2 + digits] = 0;
    appendText(b);
}

// Sign and magnitude; the 8- and 16-bit forms start with a space, the 32-bit form does not.
void appendSigned(uint32_t raw, uint32_t size) {
    uint32_t mask = size >= 4 ? 0xFFFFFFFFu : (1u << (8 * size)) - 1;
    uint32_t sign = 1u << (8 * size - 1);
    raw &= mask;
    bool neg = (raw & sign) != 0;
    uint32_t mag = neg ? (0u - raw) & mask : raw;
    if (size >= 4)
        appendText(neg ? "- " : "+ ");
    else
        appendText(neg ? " - " : " + ");
    appendHex(mag, int(2 * size));
}

int64_t signExtend(uint32_t raw, uint32_t size) {
    if (size == 1) return int8_t(raw);
    if (size == 2) return int16_t(raw);
    return int32_t(raw);
}

// Register of the r/m field (mod 3) or of an opcode's low bits: never a segment register.
const char *rmRegName(uint32_t idx) {
    if (!(s.Kind & kOpW)) return kReg8[idx & 7];
    return op32() ? kReg32[idx & 7] : kReg16[idx & 7];
}

const char *regName(uint32_t idx) {
    if (s.Kind & kOpSeg) return kSegReg[idx & 7];
    return rmRegName(idx);
}

void appendSizeLetter() {
    if (!(s.Kind & kOpW))
        appendText("b");
    else
        appendText(op32() ? "d" : "w");
}

uint32_t immediateSize() {
    if (s.ImmSize) return s.ImmSize;
    if (!(s.Kind & kOpW)) return 1;
    return op32() ? 4 : 2;
}

// The immediate begins where the length has got to.
void appendImmediate(uint32_t base) {
    uint32_t size = immediateSize();
    uint32_t v = valueAt(base + s.Length, size);
    if (s.Kind & kOpSigned)
        appendSigned(v, size);
    else
        appendHex(v, int(2 * size));
    s.Length += size;
}

void appendSib(uint32_t base, uint32_t mod) {
    uint8_t sib = byteAt(base + s.Length);
    s.Length += 1;
    uint32_t scale = sib >> 6, index = (sib >> 3) & 7, sibBase = sib & 7;
    bool noBase = sibBase == 5 && mod == 0;
    uint32_t disp = 0;
    appendText("[");
    if (noBase) {
        disp = valueAt(base + s.Length, 4);
        s.Length += 4;
    } else {
        appendText(kReg32[sibBase]);
    }
    if (index != 4) {
        if (!noBase) appendText(" + ");
        static const char *const kScale[4] = {"", "2*", "4*", "8*"};
        appendText(kScale[scale]);
        appendText(kReg32[index]);
    }
    if (noBase) appendSigned(disp, 4);
}

void appendRm(uint32_t base) {
    uint32_t mod = s.ModRM >> 6, rm = s.ModRM & 7;
    if (mod == 3) {
        appendText(rmRegName(rm));
        return;
    }
    if (s.Kind & kOpSizeLetter) appendSizeLetter();
    if (!adr32()) {
        if (mod == 0 && rm == 6) {
            appendText("[");
            appendHex(valueAt(base + s.Length, 2), 4);
            s.Length += 2;
        } else {
            appendText(kMem16[rm]);
            if (mod == 1) {
                appendSigned(byteAt(base + s.Length), 1);
                s.Length += 1;
            } else if (mod == 2) {
                appendSigned(valueAt(base + s.Length, 2), 2);
                s.Length += 2;
            }
        }
    } else {
        if (rm == 4) {
            appendSib(base, mod);
        } else if (mod == 0 && rm == 5) {
            appendText("[");
            appendHex(valueAt(base + s.Length, 4), 8);
            s.Length += 4;
        } else {
            appendText(kMem32[rm]);
        }
        if (mod == 1) {
            appendSigned(byteAt(base + s.Length), 1);
            s.Length += 1;
        } else if (mod == 2) {
            appendSigned(valueAt(base + s.Length, 4), 4);
            s.Length += 4;
        }
    }
    appendText("]");
}

// Counts the r/m operand's bytes without printing it (reserved slots that print no operands).
void skipRm(uint32_t base) {
    char *out = s.Out;
    s.Out = nullptr;
    appendRm(base);
    s.Out = out;
}

// A fixed text for an instruction of `len` bytes.
void fixed(const char *text, uint32_t len) {
    appendText(text);
    s.Length = len;
}

// A reserved group slot: the text alone, the ModRM operand still counted (plus the immediate
// the opcode itself defines, immBytes) so that the next instruction starts in the right place.
void reservedSlot(uint32_t base, const char *text, uint32_t immBytes) {
    appendText(text);
    skipRm(base);
    s.Length += immBytes;
}

void opcodeAt(uint32_t base, const char *mnemonic) {
    formatOperands(mnemonic, s.Start + base);
}

// A short or near branch: signed displacement, then the target line.
void branch(uint32_t base, const char *mnemonic, bool near) {
    s.Length = 1;
    s.Kind = kOpImm | kOpSigned | (near ? uint32_t(kOpW) : 0u);
    uint32_t size = immediateSize();
    uint32_t disp = valueAt(base + 1, size);
    opcodeAt(base, mnemonic);
    appendBranchTarget(s.Pos + s.Length + uint64_t(signExtend(disp, size)));
}

// Register in the opcode's low three bits, printed as an r/m register.
void registerInOpcode(uint32_t base, uint8_t op, const char *mnemonic) {
    s.ModRM = uint8_t(0xC0 | (op & 7));
    s.Kind = kOpW;
    s.Length = 1;
    opcodeAt(base, mnemonic);
}

void prefix(uint32_t base, const char *text) {
    appendText(text);
    if (base + 1 >= kDisasmWindow) { // nothing of the instruction is left in the window
        s.Length = 1;
        return;
    }
    s.Depth++;
    s.Pos++;
    decodeInstruction(s.Start + base + 1);
    s.Pos--;
    s.Depth--;
    s.Length += 1;
}

// 66h and 67h select the size the mode does not have; a repeated prefix selects the same one
// again (as the processor does) instead of switching back.
void sizePrefix(uint32_t base, uint32_t bit, const char *to16, const char *to32) {
    uint32_t saved = DisasmMode;
    uint32_t chosen = (s.BaseMode & bit) ^ bit;
    DisasmMode = (DisasmMode & ~bit) | chosen;
    prefix(base, chosen ? to32 : to16);
    DisasmMode = saved;
}

// ---- two-byte map (0Fh) ----

const char *const kTwo0[16] = {nullptr, nullptr, "lar",   "lsl",    nullptr, nullptr,
                               "clts",  nullptr, "invd",  "wbinvd", nullptr, "ud2",
                               nullptr, nullptr, nullptr, nullptr};
const char *const kGrp6[8] = {"sldt", "str", "lldt", "ltr", "verr", "verw", nullptr, nullptr};
const char *const kGrp7[8] = {"sgdt", "sidt", "lgdt", "lidt", "smsw", nullptr, "lmsw", "invdpg"};
const char *const kTwo3[16] = {"wrmsr", "rdtsc", nullptr, "rdpmc", "sysenter", "sysexit"};
const char *const kTwo4[16] = {"cmovo",  "cmovno", "cmovb",  "cmovae", "cmove", "cmovne",
                               "cmovbe", "cmova",  "cmovs",  "cmovns", "cmovp", "cmovnp",
                               "cmovl",  "cmovge", "cmovle", "cmovg"};
const char *const kTwo6[16] = {
    "punpcklbw", "punpcklwd", "punpckldq", "packsswb", "pcmpgtb", "pcmpgtw", "pcmpgtd", "packuswb",
    "punpckhwb", "punpckhwd", "punpckhdq", "packssdw", nullptr,   nullptr,   "movd",    "movq"};
const char *const kTwo7[16] = {nullptr,   nullptr, nullptr, nullptr, "pcmpeqb", "pcmpeqw",
                               "pcmpeqd", "emms",  nullptr, nullptr, nullptr,   nullptr,
                               nullptr,   nullptr, "movd",  "movq"};
const char *const kShiftW[8] = {nullptr, nullptr, "psrlw", nullptr, "psarw", nullptr, "psllw"};
const char *const kShiftD[8] = {nullptr, nullptr, "psrld", nullptr, "psrad", nullptr, "pslld"};
const char *const kShiftQ[8] = {nullptr, nullptr, "psrlq", nullptr, nullptr, nullptr, "psllq"};
const char *const kTwo8[16] = {"jo", "jno", "jb", "jae", "je", "jne", "jbe", "ja",
                               "js", "jns", "jp", "jpo", "jl", "jge", "jle", "jg"};
const char *const kTwo9[16] = {"seto", "setno", "setb", "setae", "sete", "setne", "setbe", "seta",
                               "sets", "setns", "setp", "setpo", "setl", "setge", "setle", "setg"};
const char *const kTwoA[16] = {"push fs", "pop fs", "cpuid",   "bt",     "shld", "shld",
                               nullptr,   nullptr,  "push gs", "pop gs", "rsm",  "bts",
                               "shrd",    "shrd",   nullptr,   "imul"};
const char *const kGrpAE[8] = {"fxsave", "fxrstor"};
const char *const kTwoB[16] = {"cmpxchg", "cmpxchg", "lss",   "btr",   "lfs",
                               "lgs",     "movzx",   "movzx", nullptr, "invalid opcode !!!",
                               nullptr,   "btc",     "bsf",   "bsr",   "movsx",
                               "movsx"};
const char *const kGrpBA[8] = {nullptr, nullptr, nullptr, nullptr, "bt", "bts", "btr", "btc"};
const char *const kTwoC[16] = {
    "xadd",     "xadd",     nullptr,    nullptr,    nullptr,    nullptr,    nullptr,    nullptr,
    "bswap ax", "bswap cx", "bswap dx", "bswap bx", "bswap sp", "bswap bp", "bswap si", "bswap di"};
const char *const kTwoD[16] = {nullptr,   "psrlw",   "psrld",   "psrlq",   nullptr, "pmullw",
                               nullptr,   nullptr,   "psubusb", "psubusw", nullptr, "pand",
                               "paddusb", "paddusw", nullptr,   "pandn"};
const char *const kTwoE[16] = {nullptr,  "psraw",  "psrad",  nullptr,  nullptr, "pmulhw",
                               nullptr,  nullptr,  "psubsb", "psubsw", nullptr, "por",
                               "paddsb", "paddsw", nullptr,  "pxor"};
const char *const kTwoF[16] = {nullptr, "psllw", "pslld", "psllq", nullptr, "pmaddwd",
                               nullptr, nullptr, "psubb", "psubw", "psubd", nullptr,
                               "paddb", "paddw", "paddd", nullptr};

const char *twoByteName(uint8_t op2, uint32_t reg) {
    uint32_t lo = op2 & 15;
    switch (op2 >> 4) {
    case 0x0:
        if (op2 == 0x00) return kGrp6[reg];
        if (op2 == 0x01) return kGrp7[reg];
        return kTwo0[lo];
    case 0x2:
        return lo < 4 ? "mov" : nullptr;
    case 0x3:
        return kTwo3[lo];
    case 0x4:
        return kTwo4[lo];
    case 0x6:
        return kTwo6[lo];
    case 0x7:
        if (op2 == 0x71) return kShiftW[reg];
        if (op2 == 0x72) return kShiftD[reg];
        if (op2 == 0x73) return kShiftQ[reg];
        return kTwo7[lo];
    case 0x8:
        return kTwo8[lo];
    case 0x9:
        return kTwo9[lo];
    case 0xA:
        return op2 == 0xAE ? kGrpAE[reg] : kTwoA[lo];
    case 0xB:
        return op2 == 0xBA ? kGrpBA[reg] : kTwoB[lo];
    case 0xC:
        if (op2 == 0xC7) return reg == 1 ? "cmpxchg8b" : nullptr;
        return kTwoC[lo];
    case 0xD:
        return kTwoD[lo];
    case 0xE:
        return kTwoE[lo];
    case 0xF:
        return kTwoF[lo];
    default: // rows 1x and 5x are not decoded
        return nullptr;
    }
}

// The two-byte map is named only; its length is always taken as 3.
void twoByte(uint32_t base) {
    uint8_t op2 = byteAt(base + 1);
    s.ModRM = byteAt(base + 2);
    s.Length = 3;
    const char *name = twoByteName(op2, (s.ModRM >> 3) & 7);
    appendText(name ? name : kNotImplemented);
}

// ---- one-byte map, one handler per row ----

// Rows 0x to 3x: the arithmetic pattern in columns 0 to 5 and 8 to D.
void aluPattern(uint32_t base, uint8_t op) {
    uint32_t n = op >> 3;
    switch (op & 7) {
    case 4:
        s.Length = 1;
        s.Kind = kOpImm;
        opcodeAt(base, kAluAL[n]);
        break;
    case 5:
        s.Length = 1;
        s.Kind = kOpImm | kOpW;
        opcodeAt(base, pick(kAluAX[n], kAluEAX[n]));
        break;
    default:
        opcodeAt(base, kAlu[n]);
        break;
    }
}

void row0(uint32_t base, uint8_t op) {
    switch (op) {
    case 0x06:
        fixed("PUSH ES", 1);
        break;
    case 0x07:
        fixed("POP ES", 1);
        break;
    case 0x0E:
        fixed("PUSH CS", 1);
        break;
    case 0x0F:
        twoByte(base);
        break;
    default:
        aluPattern(base, op);
        break;
    }
}

void row1(uint32_t base, uint8_t op) {
    switch (op) {
    case 0x16:
        fixed("PUSH SS", 1);
        break;
    case 0x17:
        fixed("POP SS", 1);
        break;
    case 0x1E:
        fixed("PUSH DS", 1);
        break;
    case 0x1F:
        fixed("POP DS", 1);
        break;
    default:
        aluPattern(base, op);
        break;
    }
}

void row2(uint32_t base, uint8_t op) {
    switch (op) {
    case 0x26:
        prefix(base, "ES: ");
        break;
    case 0x27:
        fixed("DAA", 1);
        break;
    case 0x2E:
        prefix(base, "CS: ");
        break;
    case 0x2F:
        fixed("DAS", 1);
        break;
    default:
        aluPattern(base, op);
        break;
    }
}

void row3(uint32_t base, uint8_t op) {
    switch (op) {
    case 0x36:
        prefix(base, "SS: ");
        break;
    case 0x37:
        fixed("AAA", 1);
        break;
    case 0x3E:
        prefix(base, "DS: ");
        break;
    case 0x3F:
        fixed("AAS", 1);
        break;
    default:
        aluPattern(base, op);
        break;
    }
}

void row4(uint32_t base, uint8_t op) {
    registerInOpcode(base, op, op < 0x48 ? "INC " : "DEC ");
}

void row5(uint32_t base, uint8_t op) {
    registerInOpcode(base, op, op < 0x58 ? "PUSH " : "POP ");
}

// 69h and 6Bh: "reg = IMUL r/m,imm".
void threeOperandImul(uint32_t base, uint32_t immSize) {
    s.Kind = kOpW | kOpImm | kOpReg | kOpSizeLetter;
    s.ImmSize = immSize;
    appendText(regName((s.ModRM >> 3) & 7));
    opcodeAt(base, " = IMUL ");
}

void row6(uint32_t base, uint8_t op) {
    switch (op) {
    case 0x60:
        fixed("PUSHA", 1);
        break;
    case 0x61:
        fixed("POPA", 1);
        break;
    case 0x62:
        s.Kind = kOpD | kOpW | kOpReg;
        opcodeAt(base, "BOUND ");
        break;
    case 0x63: { // always 16-bit registers
        uint32_t saved = DisasmMode;
        DisasmMode &= ~kDisasmOp32;
        s.Kind = kOpW | kOpReg;
        opcodeAt(base, "ARPL ");
        DisasmMode = saved;
        break;
    }
    case 0x64:
        prefix(base, "FS: ");
        break;
    case 0x65:
        prefix(base, "GS: ");
        break;
    case 0x66:
        sizePrefix(base, kDisasmOp32, "(16 Bit Op.) ", "(32 Bit Op.) ");
        break;
    case 0x67:
        sizePrefix(base, kDisasmAdr32, "(16 Bit Adr.) ", "(32 Bit Adr.) ");
        break;
    case 0x68:
        s.Length = 1;
        s.Kind = kOpImm | kOpW;
        opcodeAt(base, "PUSH ");
        break;
    case 0x69:
        threeOperandImul(base, 0);
        break;
    case 0x6A:
        s.Length = 1;
        s.Kind = kOpImm;
        opcodeAt(base, "PUSH ");
        break;
    case 0x6B:
        threeOperandImul(base, 1);
        break;
    case 0x6C:
        fixed("INSB ES:DI,DX", 1);
        break;
    case 0x6D:
        fixed(pick("INSW ES:DI,DX", "INSD ES:EDI,DX"), 1);
        break;
    case 0x6E:
        fixed("OUTSB DX,DS:SI", 1);
        break;
    default:
        fixed(pick("OUTSW DX,DS:SI", "OUTSD DX,DS:ESI"), 1);
        break;
    }
}

void row7(uint32_t base, uint8_t op) {
    branch(base, kJcc[op & 15], false);
}

void row8(uint32_t base, uint8_t op) {
    uint32_t reg = (s.ModRM >> 3) & 7;
    switch (op) {
    case 0x80:
    case 0x81:
    case 0x83:
        s.Kind = (op & 1) | kOpImm | kOpReg;
        if (op == 0x83) s.ImmSize = 1;
        opcodeAt(base, kAlu[reg]);
        break;
    case 0x82:
        fixed(kReserved, 1);
        break;
    case 0x8C:
        s.Kind = kOpW | kOpReg | kOpSeg;
        opcodeAt(base, "MOV ");
        break;
    case 0x8D:
        s.Kind = kOpD | kOpW | kOpReg;
        opcodeAt(base, "LEA ");
        break;
    case 0x8E: {
        // Only ES, SS and DS are loaded by name; CS and the registers without a name in the
        // segment table show "???".
        static const char *const kLoadSeg[8] = {"MOV ES,", "???", "MOV SS,", "MOV DS,",
                                                "???",     "???", "???",     "???"};
        s.Kind = kOpW;
        opcodeAt(base, kLoadSeg[reg]);
        break;
    }
    case 0x8F:
        s.Kind = kOpW;
        opcodeAt(base, "POP ");
        break;
    default: // 84-8B: TEST, XCHG, MOV with the opcode's d and w bits
        opcodeAt(base, (op < 0x86) ? "TEST " : (op < 0x88) ? "XCHG " : "MOV ");
        break;
    }
}

// Far pointer: the text shows four bytes; a 32-bit operand size adds two more to the length.
void farPointer(uint32_t base, const char *mnemonic) {
    s.Length = 1;
    s.Kind = kOpImm;
    s.ImmSize = 4;
    opcodeAt(base, mnemonic);
    if (op32()) s.Length += 2;
}

void row9(uint32_t base, uint8_t op) {
    switch (op) {
    case 0x90:
        fixed("NOP", 1);
        break;
    case 0x98:
        fixed(pick("CBW", "CWDE"), 1);
        break;
    case 0x99:
        fixed(pick("CWD", "CDQ"), 1);
        break;
    case 0x9A:
        farPointer(base, "CALL far");
        break;
    case 0x9B:
        fixed("WAIT", 1);
        break;
    case 0x9C:
        fixed("PUSHF", 1);
        break;
    case 0x9D:
        fixed("POPF", 1);
        break;
    case 0x9E:
        fixed("SAHF", 1);
        break;
    case 0x9F:
        fixed("LAHF", 1);
        break;
    default:
        registerInOpcode(base, op, pick("XCHG AX, ", "XCHG EAX, "));
        break;
    }
}

void directOffset(uint32_t base, const char *mnemonic, const char *after) {
    s.Length = 1;
    s.Kind = kOpDirect;
    opcodeAt(base, mnemonic);
    appendText(after);
}

void rowA(uint32_t base, uint8_t op) {
    switch (op) {
    case 0xA0:
        directOffset(base, "MOV AL, ", "");
        break;
    case 0xA1:
        directOffset(base, pick("MOV AX, ", "MOV EAX, "), "");
        break;
    case 0xA2:
        directOffset(base, "MOV ", ",AL");
        break;
    case 0xA3:
        directOffset(base, "MOV ", pick(",AX", ",EAX"));
        break;
    case 0xA4:
        fixed("MOVSB", 1);
        break;
    case 0xA5:
        fixed(pick("MOVSW", "MOVSD"), 1);
        break;
    case 0xA6:
        fixed("CMPSB", 1);
        break;
    case 0xA7:
        fixed(pick("CMPSW", "CMPSD"), 1);
        break;
    case 0xA8:
        s.Length = 1;
        s.Kind = kOpImm;
        opcodeAt(base, "Test AL,");
        break;
    case 0xA9:
        s.Length = 1;
        s.Kind = kOpImm | kOpW;
        opcodeAt(base, pick("Test AX,", "Test EAX,"));
        break;
    case 0xAA:
        fixed("STOSB", 1);
        break;
    case 0xAB:
        fixed(pick("STOSW", "STOSD"), 1);
        break;
    case 0xAC:
        fixed("LODSB", 1);
        break;
    case 0xAD:
        fixed(pick("LODSW", "LODSD"), 1);
        break;
    case 0xAE:
        fixed("SCASB", 1);
        break;
    default:
        fixed(pick("SCASW", "SCASD"), 1);
        break;
    }
}

void rowB(uint32_t base, uint8_t op) {
    s.ModRM = uint8_t((op & 7) << 3);
    s.Kind = kOpD | kOpImm | kOpReg | (op >= 0xB8 ? uint32_t(kOpW) : 0u);
    s.Length = 1;
    opcodeAt(base, "MOV ");
}

// Fixed-size immediate right after the opcode.
void immediateOnly(uint32_t base, const char *mnemonic, uint32_t size) {
    s.Length = 1;
    s.Kind = kOpImm;
    s.ImmSize = size;
    opcodeAt(base, mnemonic);
}

void rowC(uint32_t base, uint8_t op) {
    uint32_t reg = (s.ModRM >> 3) & 7;
    switch (op) {
    case 0xC0:
    case 0xC1:
        if (reg == 6) {
            reservedSlot(base, kReserved, 1);
            break;
        }
        s.Kind = (op & 1) | kOpImm | kOpReg;
        s.ImmSize = 1;
        opcodeAt(base, kShift[reg]);
        break;
    case 0xC2:
        immediateOnly(base, "RET ", 2);
        break;
    case 0xC3:
        fixed("RET", 1);
        break;
    case 0xC4:
        s.Kind = kOpD | kOpW | kOpReg;
        opcodeAt(base, "LES ES:");
        break;
    case 0xC5:
        s.Kind = kOpD | kOpW | kOpReg;
        opcodeAt(base, "LDS DS:");
        break;
    case 0xC6:
    case 0xC7:
        s.Kind = (op & 1) | kOpImm | kOpReg;
        opcodeAt(base, "MOV ");
        break;
    case 0xC8:
        immediateOnly(base, "ENTER ", 2);
        s.Length += 1; // the nesting level
        break;
    case 0xC9:
        fixed("LEAVE", 1);
        break;
    case 0xCA:
        immediateOnly(base, "RETF ", 2);
        break;
    case 0xCB:
        fixed("RETF", 1);
        break;
    case 0xCC:
        fixed("INT 3", 1);
        break;
    case 0xCD:
        immediateOnly(base, "INT ", 1);
        break;
    case 0xCE:
        fixed("INTO", 1);
        break;
    default:
        fixed("IRET", 1);
        break;
    }
}

void rowD(uint32_t base, uint8_t op) {
    uint32_t reg = (s.ModRM >> 3) & 7;
    switch (op) {
    case 0xD0:
    case 0xD1:
    case 0xD2:
    case 0xD3:
        if (reg == 6) {
            reservedSlot(base, kReserved, 0);
            break;
        }
        s.Kind = op & 1;
        opcodeAt(base, kShift[reg]);
        if (op >= 0xD2) appendText(",CL");
        break;
    case 0xD4:
        fixed("AAM", 2);
        break;
    case 0xD5:
        fixed("AAD", 2);
        break;
    case 0xD6:
        fixed(kReserved, 1);
        break;
    case 0xD7:
        fixed("XLATB", 1);
        break;
    default: // D8-DF: coprocessor escape, named only; its ModRM operand is counted
        reservedSlot(base, "(ESC)", 0);
        break;
    }
}

void rowE(uint32_t base, uint8_t op) {
    switch (op) {
    case 0xE0:
        branch(base, "LOOPNZ ", false);
        break;
    case 0xE1:
        branch(base, "LOOPZ ", false);
        break;
    case 0xE2:
        branch(base, "LOOP ", false);
        break;
    case 0xE3:
        branch(base, pick("JCXZ ", "JECXZ "), false);
        break;
    case 0xE4:
        immediateOnly(base, "IN AL,", 1);
        break;
    case 0xE5:
        immediateOnly(base, pick("IN AX,", "IN EAX,"), 1);
        break;
    case 0xE6:
        immediateOnly(base, "OUT ", 1);
        appendText(",AL");
        break;
    case 0xE7:
        immediateOnly(base, "OUT ", 1);
        appendText(pick(",AX", ",EAX"));
        break;
    case 0xE8:
        branch(base, "CALL NEAR ", true);
        break;
    case 0xE9:
        branch(base, "JMP NEAR ", true);
        break;
    case 0xEA:
        farPointer(base, "JMP FAR ");
        break;
    case 0xEB:
        branch(base, "JMP SHORT ", false);
        break;
    case 0xEC:
        fixed("IN AL,DX", 1);
        break;
    case 0xED:
        fixed(pick("IN AX,DX", "IN EAX,DX"), 1);
        break;
    case 0xEE:
        fixed("OUT DX,AL", 1);
        break;
    default:
        fixed(pick("OUT DX,AX", "OUT DX,EAX"), 1);
        break;
    }
}

void rowF(uint32_t base, uint8_t op) {
    uint32_t reg = (s.ModRM >> 3) & 7;
    switch (op) {
    case 0xF0:
        prefix(base, "LOCK ");
        break;
    case 0xF1:
        fixed(kReserved, 1);
        break;
    case 0xF2:
        prefix(base, "REPNZ ");
        break;
    case 0xF3:
        prefix(base, "REP ");
        break;
    case 0xF4:
        fixed("HLT", 1);
        break;
    case 0xF5:
        fixed("CMC", 1);
        break;
    case 0xF6:
    case 0xF7:
        if (reg == 1) {
            reservedSlot(base, kReserved, 0);
            break;
        }
        s.Kind = (op & 1) | kOpSizeLetter | (reg == 0 ? kOpImm | kOpReg : 0);
        opcodeAt(base, kGroup3[reg]);
        break;
    case 0xF8:
        fixed("CLC", 1);
        break;
    case 0xF9:
        fixed("STC", 1);
        break;
    case 0xFA:
        fixed("CLI", 1);
        break;
    case 0xFB:
        fixed("STI", 1);
        break;
    case 0xFC:
        fixed("CLD", 1);
        break;
    case 0xFD:
        fixed("STD", 1);
        break;
    case 0xFE:
        if (reg >= 2) { // no instruction: no text, the operand still counted
            reservedSlot(base, "", 0);
            break;
        }
        s.Kind = 0;
        opcodeAt(base, reg == 0 ? "INC " : "DEC ");
        break;
    default:
        if (reg == 7) {
            reservedSlot(base, kReserved, 0);
            break;
        }
        s.Kind = kOpW;
        opcodeAt(base, kGroup5[reg]);
        break;
    }
}

void (*const kRows[16])(uint32_t, uint8_t) = {row0, row1, row2, row3, row4, row5, row6, row7,
                                              row8, row9, rowA, rowB, rowC, rowD, rowE, rowF};

} // namespace

void appendText(const char *text) {
    if (!s.Out || !text) return;
    for (int n = 0; n < kDisasmPieceMax && text[n] && s.Out < s.OutEnd; ++n)
        *s.Out++ = text[n];
    *s.Out = 0;
}

void formatAddress(uint64_t pos, char out[21]) {
    int k = 0;
    for (int group = 3; group >= 0; --group) {
        out[k++] = ' ';
        for (int d = 3; d >= 0; --d)
            out[k++] = kHexDigits[(pos >> (16 * group + 4 * d)) & 15];
    }
    out[k] = 0;
}

void appendBranchTarget(uint64_t target) {
    char line[1 + 37 + 3 + 21];
    int k = 0;
    line[k++] = '\n';
    for (int i = 0; i < 37; ++i)
        line[k++] = ' ';
    line[k++] = '=';
    line[k++] = '>';
    line[k++] = ' ';
    formatAddress(target, line + k);
    appendText(line);
}

void beginDecode(char *out, int outSize, const uint8_t *bytes, uint64_t pos) {
    if (out && outSize > 0) {
        s.Out = out;
        s.OutEnd = out + outSize - 1;
        *out = 0;
    } else {
        s.Out = nullptr;
        s.OutEnd = nullptr;
    }
    s.Start = bytes;
    s.Pos = pos;
    s.Depth = 0;
    s.BaseMode = DisasmMode;
    s.Length = 0;
}

void formatOperands(const char *mnemonic, const uint8_t *bytes) {
    uint32_t base = windowOffset(bytes);
    uint32_t reg = (s.ModRM >> 3) & 7;
    uint32_t k = s.Kind;
    appendText(mnemonic);
    if ((k & (kOpImm | kOpReg)) == kOpImm) {
        appendImmediate(base);
    } else if ((k & kOpDirect) && !(k & kOpReg)) {
        if (k & kOpSizeLetter) appendSizeLetter();
        appendText("[");
        uint32_t size = adr32() ? 4 : 2;
        appendHex(valueAt(base + s.Length, size), int(2 * size));
        s.Length += size;
        appendText("]");
    } else if (k & kOpD) {
        appendText(regName(reg));
        if (k & kOpImm) {
            appendText(",");
            appendImmediate(base);
        } else if (k & kOpReg) {
            appendText(",");
            appendRm(base);
        }
    } else {
        appendRm(base);
        s.ImmOfs = s.Length;
        if (k & kOpImm) {
            appendText(",");
            appendImmediate(base);
        } else if (k & kOpReg) {
            appendText(",");
            appendText(regName(reg));
        }
    }
}

void decodeInstruction(const uint8_t *bytes) {
    uint32_t base = windowOffset(bytes);
    if (s.Depth == 0) s.BaseMode = DisasmMode;
    uint8_t op = byteAt(base);
    s.ModRM = byteAt(base + 1);
    s.Length = 2;
    s.Kind = (op & 3) | kOpReg;
    s.ImmOfs = 2;
    s.ImmSize = 0;
    kRows[op >> 4](base, op);
    // Only sequences no processor accepts (more than 15 bytes) get here; the length never
    // claims bytes the decoder was not given.
    if (base + s.Length > kDisasmWindow) s.Length = kDisasmWindow - base;
}

uint32_t disassemble(const uint8_t *bytes, uint64_t pos, char *out, int outSize) {
    beginDecode(out, outSize, bytes, pos);
    decodeInstruction(bytes);
    return s.Length;
}
