#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_perf_data: performance-data blocks laid out as
RegQueryValueExA(HKEY_PERFORMANCE_DATA, "238") returns them on 32-bit Windows
(PERF_DATA_BLOCK 88 bytes, PERF_OBJECT_TYPE 64, PERF_COUNTER_DEFINITION 40,
PERF_INSTANCE_DEFINITION 24, PERF_COUNTER_BLOCK 4). Run it from anywhere; it rewrites
tests/fuzz/corpus/fuzz_perf_data/."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "fuzz_perf_data")


def utf16z(text):
    raw = (text + "\0").encode("utf-16-le")
    return raw + b"\0" * (-len(raw) % 8)


def counter_def(index, offset):
    # ByteLength, NameTitleIndex, NameTitle, HelpTitleIndex, HelpTitle, DefaultScale,
    # DetailLevel, CounterType, CounterSize, CounterOffset
    return struct.pack("<IIIIIiIIII", 40, index, 0, index + 1, 0, 0, 100, 0x25510500, 8, offset)


def instance(name, values):
    name_raw = utf16z(name)
    header = struct.pack("<IIIiII", 24 + len(name_raw), 0, 0, -1, 24, len(name) * 2 + 2)
    data = struct.pack("<II", 8 + 8 * len(values), 0) + b"".join(struct.pack("<q", v) for v in values)
    return header + name_raw + data


def processor_object(counters, instances, num_instances=None):
    definitions = b"".join(counter_def(i, o) for i, o in counters)
    body = definitions + b"".join(instance(n, v) for n, v in instances)
    if num_instances is None:
        num_instances = len(instances)
    header_len = 64
    total = header_len + len(body)
    return struct.pack("<IIIIIIIIIiiIqq", total, header_len + len(definitions), header_len, 238, 0,
                       239, 0, 100, len(counters), 0, num_instances, 0, 0, 0) + body


def plain_object(index):
    return struct.pack("<IIIIIIIIIiiIqq", 64, 64, 64, index, 0, index + 1, 0, 100, 0, -1, -1, 0, 0, 0)


def block(objects, system_name="", time=(2024, 5, 5, 17, 12, 0, 0, 0)):
    name_raw = utf16z(system_name) if system_name else b""
    header_len = 88 + len(name_raw)
    body = b"".join(objects)
    total = header_len + len(body)
    sig = "PERF".encode("utf-16-le")
    head = sig + struct.pack("<IIIIIIi", 1, 1, 1, total, header_len, len(objects), 238)
    head += struct.pack("<8H", *time) + b"\0" * 4
    head += struct.pack("<qqqII", 0, 10000000, 0, len(name_raw), 88 if name_raw else 0)
    return head + name_raw + body


SEEDS = {
    # Windows' usual answer: a system name, an object before the processor, two CPUs and _Total.
    "two_cpus_and_total": block(
        [plain_object(230), processor_object([(142, 16), (6, 8)],
                                             [("0", [1000, 7]), ("1", [2000, 7]), ("_Total", [3000, 14])])],
        system_name="HOST"),
    # One object only, counter 6 first, one CPU.
    "one_cpu": block([processor_object([(6, 8)], [("0", [123456789])])]),
    # The Processor object without instances (PERF_NO_INSTANCES).
    "no_instances": block([processor_object([(6, 8)], [], num_instances=-1)]),
    # Wine's answer: a data block with no objects.
    "no_objects": block([]),
}


def main():
    os.makedirs(HERE, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
