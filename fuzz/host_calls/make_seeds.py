#!/usr/bin/env python3
"""Writes the seed inputs of the host-call fuzz targets (format in
host_call_sequence.h): the normal path of each plug-in, from creation to
disposal. Mirrors how FuzzedDataProvider reads: numbers from the end of the
input (most significant byte first), byte strings from its front.

    fuzz/host_calls/make_seeds.py   # rewrites fuzz/host_calls/corpus-*/
"""
import os
import struct

CREATE, ACTIVATE, DEACTIVATE, DISPOSE, SET_INPUT, TICK, MESSAGE, RENDER, WIRE, ENTRY, SWITCH, REWRITE, UNLOAD = range(13)
JOINTS = ["head", "neck", "chest", "hip", "left-shoulder", "left-elbow", "left-hand", "right-shoulder",
          "right-elbow", "right-hand", "left-hip", "left-knee", "left-foot", "right-hip", "right-knee",
          "right-foot", "spine", "left-toe", "right-toe"]


class Encoder:
    def __init__(self):
        self.front = bytearray()
        self.tail = []  # bytes in the order they are consumed from the end

    def number(self, value, size):
        for i in reversed(range(size)):
            self.tail.append((value >> (8 * i)) & 0xFF)

    def u8(self, v): self.number(v, 1)
    def u16(self, v): self.number(v, 2)
    def u32(self, v): self.number(v, 4)
    def u64(self, v): self.number(v, 8)
    def i64(self, v): self.number(v + (1 << 63), 8)
    def raw(self, data): self.front += data

    def op(self, op): self.u8(op)

    def input_value(self, index, selector, mode=0, body=lambda: None):
        # slots: one instance only, so a slot takes no byte
        self.op(SET_INPUT)
        self.u16(index - 1)
        self.u8(selector)
        body()
        self.u8(mode)

    def string(self, index, text):
        def body():
            self.u16(len(text))
            self.raw(text.encode())
        self.input_value(index, 2, body=body)

    def integer(self, index, value):
        self.input_value(index, 0, body=lambda: self.i64(value))

    def package(self, index, frame=0):
        def body():
            self.u16(len(JOINTS))
            self.u8(2)  # tracking state: tracked
            self.u8(2)  # unit: metres
            self.u8(1)  # skeleton ID
            for n, name in enumerate(JOINTS):
                self.u8(len(name))
                self.raw(name.encode())
                for axis in range(3):
                    self.u32(struct.unpack("<I", struct.pack("<f", 0.1 * n + axis + 0.01 * frame))[0])
            self.u8(0)  # label hash computed
        self.input_value(index, 5, body=body)

    def data(self):
        return bytes(self.front) + bytes(reversed(self.tail))


def bonesplit():
    e = Encoder()
    e.op(CREATE); e.op(ACTIVATE)
    e.integer(2, 2)                      # channels
    e.string(3, "head, left-hand")       # point_sel
    e.package(1); e.op(TICK); e.package(1, frame=1)
    e.string(7, "hip")                   # relative_to
    e.package(1, frame=2)
    e.op(DEACTIVATE); e.op(DISPOSE)
    yield "normal_path", e.data()
    e = Encoder()
    e.op(CREATE); e.op(ACTIVATE); e.package(1); e.op(UNLOAD)
    yield "package_then_unload", e.data()


def bonescope():
    e = Encoder()
    e.op(CREATE); e.op(ACTIVATE); e.package(1)
    e.op(RENDER); e.u16(0)
    e.package(1, frame=1)
    e.op(RENDER); e.u16(0)
    e.op(DEACTIVATE); e.op(DISPOSE)
    yield "normal_path", e.data()
    e = Encoder()
    e.op(CREATE); e.op(ACTIVATE); e.package(1); e.integer(2, 0)  # polygons
    e.op(RENDER); e.u16(0)
    e.op(MESSAGE); e.u32(0); e.u16(7); e.u8(0)  # the first registered kind
    e.op(RENDER); e.u16(0); e.op(UNLOAD)
    yield "polygons_and_lost_context", e.data()


def watcher():
    e = Encoder()
    e.op(CREATE); e.op(ACTIVATE); e.op(TICK)
    e.string(2, "E46")                   # suit_id
    e.op(TICK); e.op(TICK)
    e.op(DEACTIVATE); e.op(DISPOSE)
    yield "normal_path", e.data()
    e = Encoder()
    e.op(CREATE); e.op(ACTIVATE); e.op(TICK); e.integer(1, 0)  # port 0: no receiver
    e.op(TICK); e.integer(1, 5); e.op(TICK); e.op(UNLOAD)
    yield "port_changes_then_unload", e.data()


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for plugin, seeds in (("bonesplit", bonesplit), ("bonescope", bonescope), ("kavrin_watcher", watcher)):
        folder = os.path.join(here, "corpus-" + plugin)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
