#!/usr/bin/env python3
"""Writes the module fuzzers' seed corpora (fuzz/corpus/state, fuzz/corpus/process).

Each seed is a script of host calls in the byte format the fuzzers read
(FuzzInput.h, StateFuzzer.cpp, ProcessFuzzer.cpp): the sessions hosts really
run, so that fuzzing starts from deep inside the plug-in rather than at its
first refusal. Run it again after changing the format; commit the output.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def state(values, bypass):
    return b"".join(struct.pack("<d", v) for v in values) + struct.pack("<i", bypass)


DISTINCT = [-12.5, 6.25, 3.0, 4.0, 2.0, 0.75, 40.0, 1.0, 1.0, 0.0]
ODD = [float("nan"), float("inf"), -1e300, 99.0, -7.0, 1e-310, 1000.0, 0.5, 3.0, -1.0]


def restore(data, max_read=0, fail_short=0, fail_reads=False, via_component=False):
    # op 0, through the component (0) or the controller, length, bytes,
    # bytes per read, short reads fail, reads fail
    return (bytes([0, 0 if via_component else 1, len(data)]) + data
            + bytes([max_read, fail_short, 0 if fail_reads else 1]))


STATE_SEEDS = {
    "whole": restore(state(DISTINCT, 1)),
    "whole-through-the-component": restore(state(DISTINCT, 1), via_component=True),
    "ends-inside-output": restore(state(DISTINCT, 1)[:11]),
    "ends-inside-oversample-trickled": restore(state(DISTINCT, 0)[:67], max_read=5, fail_short=1),
    "odd-values-then-save-failing": restore(state(ODD, 7), max_read=3) + bytes([2, 1, 2, 0]),
    "component-calls": bytes([3, 0, 0]) + bytes([3, 1, 84]) + state(DISTINCT, 1) + bytes([3, 2, 10]) + bytes(range(10)),
    "nan-parameter-then-restore": bytes([4, 0, 9, 4, 11, 1]) + restore(state(DISTINCT, 0), fail_reads=True)
    + restore(state(DISTINCT, 1)[:80]),
}


def setup(size=0, block=6, rate=0, mode=0):
    # op 2: mode, 32/64/invalid, block-size index, rate index
    return bytes([2, mode, size, block, rate])


ON = bytes([3, 1, 4, 1])  # active, processing


def bus(channels=2, null_mask=0, silent=0):
    return bytes([channels, null_mask, silent])


def block(frames, ins, outs, flags=0, amplitude=5, seed=1, params=b"", context=b""):
    # op 5; flags: 4 long block, 8 parameters, 16 context, 32|64 negative
    # count, 64|128 no input array, 1|2 the other precision
    if params:
        flags |= 8
    if context:
        flags |= 16
    head = bytes([5, flags]) + struct.pack("<H", frames) + bytes([amplitude]) + struct.pack("<I", seed)
    return head + bytes([len(ins)]) + b"".join(ins) + bytes([len(outs)]) + b"".join(outs) + params + context


def points(*entries):
    # (id index, value index, offset[, extra value bytes]); value index 10
    # takes one more byte, 11 eight
    out = bytes([len(entries) - 1])
    for ident, value, offset, *extra in entries:
        out += bytes([ident, value]) + b"".join(extra) + struct.pack("<h", offset)
    return out


STEREO = [bus(), bus()]
PROCESS_SEEDS = {
    "stereo-32bit": setup() + ON
    + block(512, STEREO, [bus()], params=points((0, 3, 0), (8, 1, 100), (4, 4, 511)))
    + block(512, STEREO, [bus()]) + block(300, STEREO, [bus()], amplitude=7),
    "stereo-64bit-96k": setup(size=1, block=7, rate=2) + ON
    + block(1024, STEREO, [bus()], params=points((8, 0, 0), (6, 4, 0)))
    + block(1024, STEREO, [bus()], amplitude=6),
    "sidechain": bytes([0, 2, 1, 2, 2, 2]) + bytes([1, 1, 1, 2, 1]) + setup() + ON
    + block(256, STEREO, [bus()], params=points((9, 1, 0), (0, 2, 0)))
    + block(256, STEREO, [bus()], amplitude=3),
    "mono-and-refused": bytes([0, 1, 1, 1, 1]) + bytes([0, 1, 4, 1, 2]) + setup(block=4) + ON
    + block(64, [bus(1)], [bus(1)]) + block(64, [bus(1)], [bus(1)]),
    "careless-host": block(100, STEREO, [bus()])
    + setup(block=3, rate=7) + bytes([3, 1])
    + block(2000, [bus(2, 0x01), bus(0)], [bus(4, 0x80)], flags=4, params=points((11, 1, -5), (12, 2, 9000), (13, 9, 0)))
    + block(7, [], [bus()], flags=2 | 1, params=points((0, 9, 0), (1, 7, 0), (8, 10, 3, bytes([200]))))
    + block(50, STEREO, [bus()], context=struct.pack("<I", 0xFFFFFFFF) + bytes([9, 8]) + struct.pack("<Q", 1 << 63))
    + bytes([3, 0]) + block(50, STEREO, [bus()]),
}


def write(folder, seeds):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("state", STATE_SEEDS)
    write("process", PROCESS_SEEDS)
    sys.exit(0)
