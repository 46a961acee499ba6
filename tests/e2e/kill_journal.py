# The kill case's journal, written from the format alone, and the check of what the program
# left: "write SRC JNL WINPATH FILETIME" / "check SRC JNL ORIGINAL".
import random, struct, sys

NULL, E = 0xFFFFFFFF00000000, lambda k: 1024 + 640 * k
REC = struct.Struct("<QQQQIQQQI64s")
none = lambda p: p >> 32 == 0xFFFFFFFF  # a null pointer's low word carries no meaning
same = lambda a, b: a == b or none(a) and none(b)
def edits(src):  # per block {offset: journalled byte}, the same every run
    rnd = random.Random(12)
    return [{o: src[b * 512 + o] ^ 0xFF for o in rnd.sample(range(512), 8)}
            for b in range(len(src) // 512)]
def write(src, jnlp, name, ftime):
    n, h = len(src) // 512, bytearray(1024)
    struct.pack_into("<I12xQQQQ24xQQ8xQQQ", h, 0, 0xABCDEF03, E(n - 1), E(n - 1), E(0),
                     E(n - 1), E(n), ftime, E(0), NULL, NULL)
    struct.pack_into("<Q", h, 0x98, NULL)
    h[0x103:0x103 + len(name)] = name.encode("cp1252")
    h[0x203:0x20E], h[0x303:0x30E] = b"PrevJournal", b"NextJournal"
    out = [h]
    for k, e in enumerate(edits(src)):  # one version per block, committed in address order
        mask, data = bytearray(64), bytearray(src[k * 512:k * 512 + 512])
        for o, v in e.items():
            mask[o >> 3] |= 1 << (o & 7)
            data[o] = v
        p, q = E(k - 1) if k else NULL, E(k + 1) if k + 1 < n else NULL
        out += [REC.pack(k * 512, p, q, p, 512, NULL, NULL, q, 0x18414D, bytes(mask)), data]
    open(jnlp, "wb").write(b"".join(out))
def check(src, j, orig):
    rec = lambda p: REC.unpack_from(j, p) if p % 640 == 384 and p + 640 <= len(j) else None
    hdr = lambda at: struct.unpack_from("<Q", j, at)[0]
    nodes, prev, last, p = {}, NULL, -1, hdr(0x20)
    while not none(p):  # ascending, so it ends
        r = rec(p)
        if not r or not same(r[1], prev) or r[0] <= last:
            return f"address chain broken at {p:#x}"
        nodes[r[0]], prev, last, p = (r, j[p + 128:p + 640]), p, r[0], r[2]
    if not none(p) or not same(prev, hdr(0x28)):
        return "address chain does not end at LastPtr"
    seen, prev, p = 0, NULL, hdr(0x60)
    while not none(p):  # the undo chain ends and links back
        r = rec(p)
        if not r or not same(r[3], prev) or seen > len(j) // 640:
            return f"undo chain broken at {p:#x}"
        seen, prev, p = seen + 1, p, r[7]
    bad = [b * 512 + o for b, e in enumerate(edits(orig)) for o, v in e.items()
           if src[b * 512 + o] != v and not (b * 512 in nodes and not nodes[b * 512][0][8] &
                                              0x400020 and nodes[b * 512][1][o] == v)]
    return f"{len(bad)} journalled bytes lost, first at {bad[0]:#x}" if bad else "sound"

a = sys.argv
if a[1] == "write": write(open(a[2], "rb").read(), a[3], a[4], int(a[5]))
else: print(check(*(open(f, "rb").read() for f in a[2:5])))
