#!/usr/bin/env python3
"""Writes the hidraw dialogues of the umockdev HID test.

Each command is one 65-byte output report (report number 0, then 55 AA 00 02,
zeros, the code at byte 12, 03 last) answered by one 64-byte input report that
echoes the code at byte 11; silent.script takes a report and never answers.
Run once; the output is committed (umockdev script escaping, latin-1 bytes).
"""
import pathlib

CODES = [0x31, 0x33, 0x34, 0x35, 0x36, 0x37, 0x3A, 0x3C, 0x3D, 0x3E]


def escape(data):
    out = ''
    for b in data:
        if b == 0x5E:
            out += '^`'
        elif b <= 32:
            out += '^' + chr(b + 64)
        else:
            out += chr(b)
    return out


def report(code):
    return bytes([0, 0x55, 0xAA, 0, 2] + [0] * 7 + [code] + [0] * 51 + [3])


def reply(code):
    return bytes([0x55, 0xAA, 0, 2] + [0] * 7 + [code] + [0] * 51 + [3])


def write(name, lines):
    path = pathlib.Path(__file__).with_name(name)
    path.write_text('\n'.join(lines) + '\n', encoding='latin-1')


# umockdev replays a script from its start at every open of the device, and the
# control opens the device for each command: one script per command.
for code in CODES:
    write('command_%02x.script' % code,
          ['# one report out, one reply in', 'w 0 ' + escape(report(code)),
           'r 5 ' + escape(reply(code))])
write('silent.script', ['# the device takes the report and never answers',
                        'w 0 ' + escape(report(0x3D))])
