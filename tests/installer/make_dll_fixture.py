#!/usr/bin/env python3
"""Derives a broken or borderline plug-in file from a real x64 DLL for the
installer's package-check tests."""
import argparse
import struct

parser = argparse.ArgumentParser()
parser.add_argument("source")
parser.add_argument("output")
parser.add_argument("--size", type=int, help="keep only the first SIZE bytes")
parser.add_argument("--machine", type=lambda v: int(v, 16), help="machine field, e.g. 14c")
parser.add_argument("--header-offset", type=lambda v: int(v, 0), help="value stored at offset 60")
parser.add_argument("--after-signature", type=lambda v: int(v, 16), help="the two bytes after 'PE'")
parser.add_argument("--no-mz", action="store_true", help="spoil the first two bytes")
args = parser.parse_args()

data = bytearray(open(args.source, "rb").read())
e = struct.unpack_from("<I", data, 60)[0]
if args.machine is not None:
    struct.pack_into("<H", data, e + 4, args.machine)
if args.after_signature is not None:
    struct.pack_into(">H", data, e + 2, args.after_signature)
if args.header_offset is not None:
    struct.pack_into("<I", data, 60, args.header_offset)
if args.no_mz:
    data[0:2] = b"ZM"
if args.size is not None:
    data = data[: args.size]
open(args.output, "wb").write(data)
