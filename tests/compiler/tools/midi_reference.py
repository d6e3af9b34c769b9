#!/usr/bin/python3
"""Writes midi_reference.txt: what Debian's python3-mido reads from each real MIDI file.

Run with Debian's own Python 3 (python3-mido) from this folder:
    /usr/bin/python3 tools/midi_reference.py /path/to/shared/testdata/mid > midi_reference.txt

One line per file: its name, the number of channel-voice events after merging the tracks by
time, and a 64-bit FNV-1a hash over those events (absolute time in file ticks as 4 bytes
little-endian, status byte, then the data bytes: two for notes, aftertouch and controllers,
one for program change and channel pressure, the 14-bit bend value as two bytes little-endian).
Files mido refuses are listed with the word "refused".
"""
import os
import sys

import mido

FNV_OFFSET = 0xCBF29CE484222325
FNV_PRIME = 0x100000001B3


def fnv(h, data):
    for b in data:
        h ^= b
        h = (h * FNV_PRIME) & 0xFFFFFFFFFFFFFFFF
    return h


def event_bytes(time, msg):
    if msg.is_meta or not hasattr(msg, "channel"):
        return None
    head = list(time.to_bytes(4, "little"))
    ch = msg.channel
    if msg.type == "note_off":
        return head + [0x80 | ch, msg.note, msg.velocity]
    if msg.type == "note_on":
        return head + [0x90 | ch, msg.note, msg.velocity]
    if msg.type == "polytouch":
        return head + [0xA0 | ch, msg.note, msg.value]
    if msg.type == "control_change":
        return head + [0xB0 | ch, msg.control, msg.value]
    if msg.type == "program_change":
        return head + [0xC0 | ch, msg.program]
    if msg.type == "aftertouch":
        return head + [0xD0 | ch, msg.value]
    if msg.type == "pitchwheel":
        bend = msg.pitch + 8192
        return head + [0xE0 | ch, bend & 0xFF, bend >> 8]
    return None


def reference(path):
    midi = mido.MidiFile(path)
    merged = []
    for index, track in enumerate(midi.tracks):
        now = 0
        for order, msg in enumerate(track):
            now += msg.time
            merged.append((now, index, order, msg))
    merged.sort(key=lambda item: (item[0], item[1], item[2]))
    count = 0
    h = FNV_OFFSET
    for now, _, _, msg in merged:
        data = event_bytes(now, msg)
        if data is not None:
            count += 1
            h = fnv(h, data)
    return count, h


def main():
    folder = sys.argv[1]
    for name in sorted(os.listdir(folder)):
        try:
            count, h = reference(os.path.join(folder, name))
            print(f"{name} {count} {h:016x}")
        except Exception:  # mido refuses the file
            print(f"{name} refused")


if __name__ == "__main__":
    main()
