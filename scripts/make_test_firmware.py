#!/usr/bin/env python3
"""Writes the board test's two small firmware images as Intel HEX files.

Usage: scripts/make_test_firmware.py [OUTPUT_FOLDER]   (default: src/resources/firmware)

Both images compare the first boot-loader words with the simulated
instrument's boot loader (see boot_words), carry their program name in
words 0x4000-0x4003, a little code, the code-sector marker 0xC0DE at word
0x9000 and their version characters at words 0xC009-0xC00A.
"""
import os
import sys



def boot_words(count):
    """The first boot-loader words of the simulated instrument (its filler seeded with 0xB007)."""
    state, words = 0xB007, []
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        words.append((state >> 8) & 0xFFFF)
    return words


def record(address, rtype, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, rtype]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper()


def words_to_bytes(words):
    out = bytearray()
    for w in words:
        out += bytes([w & 0xFF, w >> 8])  # low byte first, as the instrument takes them
    return out


def data_records(state, word_address, payload):
    """Data records at a word address, 16 bytes each, after a bank record when the bank changes."""
    lines = []
    for offset in range(0, len(payload), 16):
        word = word_address + offset // 2
        if word >> 15 != state.get("bank"):
            state["bank"] = word >> 15
            lines.append(record(0, 4, [0, state["bank"]]))
        lines.append(record((word & 0x7FFF) * 2, 0, payload[offset:offset + 16]))
    return lines


def image(name, version, code_seed):
    lines = []
    state = {}
    lines += data_records(state, 0x0000, words_to_bytes(boot_words(8)))
    code = [(code_seed + 3 * i) & 0xFFFF for i in range(28)]
    lines += data_records(state, 0x4000, name.encode("ascii") + words_to_bytes(code))
    lines += data_records(state, 0x8000, words_to_bytes([(code_seed ^ 0x5A5A) + i for i in range(8)]))
    lines += data_records(state, 0x9000, words_to_bytes([0xC0DE]))
    # The status bar reads the version characters second, first, fourth, third.
    v = version.encode("ascii")
    lines += data_records(state, 0xC009, bytes([v[1], v[0], v[3], v[2]]))
    lines.append(record(0, 1, []))
    return "\r\n".join(lines) + "\r\n"


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src", "resources", "firmware")
    os.makedirs(folder, exist_ok=True)
    for file_name, name, version, seed in (("flashtst.hex", "FLASHTST", "0.90", 0x1000),
                                           ("mustprog.hex", "MUSTPROG", "0.91", 0x2000)):
        with open(os.path.join(folder, file_name), "w", newline="") as f:
            f.write(image(name, version, seed))


if __name__ == "__main__":
    main()
