#!/usr/bin/env python3
"""What a simulated handheld's flash.bin and ram.bin must hold after an update, worked out
from the update file's bytes and the handheld's chips alone, and compared byte for byte.

  flash_expect.py --upd FILE --state DIR --mode advanced|normal|untouched
                  [--loader PRC] [--chips 0x89:0x8897,...] [--flash-base 0x10C00000]
                  [--ram-base 0]

advanced: the OS sections, the finalised flash store, the loader where the ROM debugger put
it, the wiped RAM store and the RAM sections. normal: the same without loader and RAM
sections. untouched: a fresh handheld (blank flash, cleared RAM).
"""
import argparse
import struct
import sys

SECTOR = 512
BLOCK = 4096

# (manufacturer, device) -> MiB, the chips the desktop recognises.
CHIP_MIB = {}
for m in (0x01, 0x04):
    CHIP_MIB.update({(m, 0x225B): 1, (m, 0x2249): 2, (m, 0x2253): 4, (m, 0x22F9): 4,
                     (m, 0x22D7): 8})
CHIP_MIB.update({(0x1F, 0x00C0): 2, (0x20, 0x005B): 1, (0x20, 0x2249): 2, (0x89, 0x8891): 2,
                 (0x89, 0x88C3): 2, (0x89, 0x8897): 4, (0x89, 0x88C5): 4, (0x89, 0x8899): 8,
                 (0x89, 0x88CD): 8, (0x98, 0x0043): 2, (0xAD, 0x2249): 2, (0xB0, 0x0049): 2,
                 (0xBF, 0x2782): 2})

LOADER_ADDRESS = 0x10000        # where the ROM debugger is told to put the loader
RAM_STORE_OFFSET = 0x40000      # the RAM store's start, overwritten with 0xFF
RAM_STORE_WIPE = 4096
RESET_VECTOR_OFFSET = 0x8004
ROMVAULT_VECTOR = 0x10C10000    # a vector below this means an OS without a flash store
DISK_RESERVE = 0x2000
OMG_SIZE = 176


def be16(b, at):
    return struct.unpack_from(">H", b, at)[0]


def be32(b, at):
    return struct.unpack_from(">I", b, at)[0]


class UpdateFile:
    def __init__(self, raw):
        self.raw = raw
        assert raw[:15] == b">OS UPDATE FILE", "not an update file"
        self.minor = be16(raw, 18)
        umap = SECTOR
        os_start, os_sectors = be32(raw, umap + 18), be32(raw, umap + 22)
        self.finalise_flag = be16(raw, umap + 62)
        ram_start, ram_sectors = be32(raw, umap + 66), be32(raw, umap + 70)
        self.os = []
        if os_sectors:
            at = (os_start + 1) * SECTOR
            for i in range(be16(raw, at + 16)):
                e = at + 18 + 14 * i
                self.os.append(dict(crc=be16(raw, e), sector=be32(raw, e + 2),
                                    size=be32(raw, e + 6), offset=be32(raw, e + 10)))
        self.ram = []
        if ram_sectors:
            at = (ram_start + 1) * SECTOR
            for i in range(be16(raw, at + 16)):
                e = at + 18 + 12 * i
                self.ram.append(dict(sector=be32(raw, e), size=be32(raw, e + 4),
                                     address=be32(raw, e + 8)))

    def data(self, section, length):
        at = (section["sector"] + 1) * SECTOR
        return self.raw[at:at + length]

    def finalises(self):
        return self.minor == 3 or (self.minor >= 4 and self.finalise_flag != 0)


class Flash:
    """NOR flash: an erase sets bytes to 0xFF, programming can only clear bits."""

    def __init__(self, chips, base):
        self.chips = chips
        self.base = base
        self.total = sum(size for _, _, size in chips)
        self.bytes = bytearray(b"\xff" * self.total)

    def write_block(self, offset, data):
        self.bytes[offset:offset + len(data)] = data

    def program(self, offset, data):
        for i, b in enumerate(data):
            self.bytes[offset + i] &= b

    def chip_table(self):
        """The desktop's ChipTable as 98 big-endian bytes."""
        out = struct.pack(">H", len(self.chips))
        start = self.base
        for m, d, size in self.chips:
            out += struct.pack(">IHHI", start, m, d, size)
            start += size
        return out + bytes(98 - len(out))


def finalise(flash, notes):
    """The flash store structures that follow a freshly flashed OS."""
    vector = be32(flash.bytes, RESET_VECTOR_OFFSET)
    if vector < ROMVAULT_VECTOR:
        notes.append("no flash store (reset vector 0x%08X)" % vector)
        return
    omg = (vector & ~0xFFF) - flash.base
    block = bytearray(flash.bytes[omg:omg + OMG_SIZE])
    assert be16(block, 52) == 0xFFFF, "the file's OMG is not blank"
    disk_start = be32(block, 62)
    disk = (disk_start | 0x10000000) - flash.base
    disk_size = flash.total - disk - DISK_RESERVE
    chips = flash.chips + [(0, 0, 0)]
    struct.pack_into(">HHHHH", block, 52, len(flash.chips), chips[0][0], chips[0][1],
                     chips[1][0], chips[1][1])
    struct.pack_into(">I", block, 66, disk_size)
    block[76:76 + 98] = flash.chip_table()
    flash.program(omg, block)

    heap = disk + DISK_RESERVE
    header = bytearray(flash.bytes[heap:heap + 16])
    heap_size = flash.total - heap
    struct.pack_into(">II", header, 2, heap_size, (heap_size - 4) // 2)
    flash.program(heap, header)

    # The first free chunk after the heap header: a word whose size bits are all ones.
    chunk = (heap + 16 + 3) & ~3
    while (be32(flash.bytes, chunk) & 0xFFFFFF) != 0xFFFFFF:
        chunk += 4
    old = be32(flash.bytes, chunk)
    new = ((((flash.total - chunk) & 0xFFFFFF) | (old & 0xFF000000)) - 4) & 0xFFFFFFFF
    flash.program(chunk, struct.pack(">I", new))
    flash.program(flash.total - 4, bytes(4))
    notes.append("OMG at 0x%X: num_chips %d, disk_start 0x%08X, disk_size 0x%X; heap2 at 0x%X "
                 "size 0x%X; free chunk at 0x%X = 0x%08X; NULL at 0x%X"
                 % (omg, len(flash.chips), disk_start, disk_size, heap, heap_size, chunk, new,
                    flash.total - 4))


def expected(args, upd, flash_size_check=True):
    chips = []
    for item in args.chips.split(","):
        m, d = (int(x, 0) for x in item.split(":"))
        chips.append((m, d, CHIP_MIB[(m, d)] << 20))
    base = int(args.flash_base, 0)
    flash = Flash(chips, base)
    ram_base = int(args.ram_base, 0)
    with open(args.state + "/ram.bin", "rb") as f:
        ram_size = len(f.read())
    ram = bytearray(ram_size)
    notes = []
    if args.mode == "untouched":
        return flash.bytes, ram, notes

    if args.mode == "advanced":
        loader = open(args.loader, "rb").read()
        ram[LOADER_ADDRESS:LOADER_ADDRESS + len(loader)] = loader
    store = (ram_base + RAM_STORE_OFFSET) & 0xFFFFFFFF
    ram[store:store + RAM_STORE_WIPE] = b"\xff" * RAM_STORE_WIPE

    for s in upd.os:
        padded = (s["size"] + BLOCK - 1) // BLOCK * BLOCK
        flash.write_block(s["offset"], upd.data(s, padded))
    notes.append("%d OS sections" % len(upd.os))
    if upd.finalises():
        finalise(flash, notes)
    if args.mode == "advanced":
        for s in upd.ram:
            at = s["address"] - ram_base
            ram[at:at + s["size"]] = upd.data(s, s["size"])
        notes.append("%d RAM sections" % len(upd.ram))
    return flash.bytes, ram, notes


def differences(name, got, want):
    if len(got) != len(want):
        return ["%s: %d bytes, expected %d" % (name, len(got), len(want))]
    out = []
    i = 0
    while i < len(want) and len(out) < 8:
        if got[i] != want[i]:
            j = i
            while j < len(want) and got[j] != want[j]:
                j += 1
            out.append("%s: 0x%X..0x%X differ (got %s, expected %s)"
                       % (name, i, j, got[i:min(j, i + 8)].hex(), want[i:min(j, i + 8)].hex()))
            i = j
        else:
            i += 1
    return out


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--upd")
    p.add_argument("--state", required=True)
    p.add_argument("--mode", choices=("advanced", "normal", "untouched"), required=True)
    p.add_argument("--loader")
    p.add_argument("--chips", default="0x89:0x8897")
    p.add_argument("--flash-base", default="0x10C00000")
    p.add_argument("--ram-base", default="0")
    args = p.parse_args()
    upd = UpdateFile(open(args.upd, "rb").read()) if args.upd else None
    want_flash, want_ram, notes = expected(args, upd)
    got_flash = open(args.state + "/flash.bin", "rb").read()
    got_ram = open(args.state + "/ram.bin", "rb").read()
    problems = differences("flash.bin", got_flash, want_flash)
    problems += differences("ram.bin", got_ram, want_ram)
    for line in problems:
        print(line)
    if problems:
        return 1
    print("%s: as expected (%s)" % (args.mode, "; ".join(notes) or "blank"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
