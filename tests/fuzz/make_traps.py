#!/usr/bin/python3
"""Writes the hand-built trap inputs that seed the kept fuzz corpora.

Usage: make_traps.py OUTDIR  (writes OUTDIR/decode_wave, OUTDIR/state_chunk,
OUTDIR/drop_paths, OUTDIR/session)

decode_wave: WAV images at the edges of the accepted format: the extensible
             format with PCM and float sub-formats and its broken variants,
             "smpl" chunks of every size and place, odd-sized chunks with and
             without their pad byte, chunk sizes that overflow, non-finite
             floats.
state_chunk: state chunks whose names and paths hold characters outside the
             Basic Multilingual Plane (and invalid UTF-8 next to them),
             embedded WAVs from the list above, the old versions, the
             file-count limit.
drop_paths:  dropped file lists and path texts whose paths hold characters
             outside the Basic Multilingual Plane, a lone surrogate, and an
             odd byte count.
session:     programs for the session target (see session_fuzz.cpp for the
             steps): a count-in into a take that is paused, resumed, stopped
             and exported; a one-shot loaded, saved, restored and removed; a
             restored chunk with those names; every hostile value the host
             can pass.
The kept corpora in tests/fuzz/corpus hold these files under their names, plus
what a long fuzzing run found, minimised with libFuzzer's -merge=1.
"""
import os
import struct
import sys

PCM_GUID_TAIL = bytes.fromhex("000010008000" "00aa00389b71")


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def chunk(cid, body, pad=True, size=None):
    out = cid + u32(len(body) if size is None else size) + body
    if pad and len(body) % 2:
        out += b"\0"
    return out


def riff(chunks, size=None):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + u32(len(body) if size is None else size) + body


def fmt(tag, channels, rate, bits, align=None):
    align = channels * bits // 8 if align is None else align
    return u16(tag) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) + u16(bits)


def extensible(sub, channels, rate, bits, cb=22, valid=None, tail=PCM_GUID_TAIL, mask=3):
    body = fmt(0xFFFE, channels, rate, bits) + u16(cb) + u16(bits if valid is None else valid) + u32(mask)
    return body + u32(sub) + tail


def smpl(unity, size=36, loops=0):
    body = u32(0) * 3 + u32(unity) + u32(0) * 3 + u32(loops) + u32(0)
    for _ in range(loops):
        body += u32(0) + u32(0) + u32(0) + u32(8) + u32(0) + u32(0)
    return chunk(b"smpl", body[:size] if size < len(body) else body + b"\0" * (size - len(body)))


def tone16(frames, channels=1):
    out = b""
    for i in range(frames):
        for c in range(channels):
            out += struct.pack("<h", (i * 2500 * (c + 1)) % 30000 - 15000)
    return out


def wavs():
    d16 = tone16(20)
    s16 = tone16(20, 2)
    f32 = b"".join(struct.pack("<f", v) for v in (0.0, 0.5, -1.0, 1.0, 2.5, -7.0, 1e-40, -0.0))
    f64 = b"".join(struct.pack("<d", v) for v in (0.25, -0.25, 1.5, -1e300, 5e-324, 0.0))
    p24 = bytes([0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF] * 2)
    p32 = struct.pack("<iiii", -2**31, 2**31 - 1, 0, -1)
    yield "extensible-pcm16-stereo", riff([chunk(b"fmt ", extensible(1, 2, 44100, 16)), chunk(b"data", s16)])
    yield "extensible-pcm24", riff([chunk(b"fmt ", extensible(1, 1, 48000, 24, valid=20)), chunk(b"data", p24)])
    yield "extensible-float32", riff([chunk(b"fmt ", extensible(3, 1, 96000, 32)), chunk(b"data", f32)])
    yield "extensible-float64-stereo", riff([chunk(b"fmt ", extensible(3, 2, 8000, 64, mask=0)), chunk(b"data", f64[:32])])
    yield "extensible-cbsize-short", riff([chunk(b"fmt ", extensible(1, 1, 44100, 16, cb=0)), chunk(b"data", d16)])
    yield "extensible-guid-wrong", riff([chunk(b"fmt ", extensible(1, 1, 44100, 16, tail=b"\x01" + PCM_GUID_TAIL[1:])), chunk(b"data", d16)])
    yield "extensible-fmt-18", riff([chunk(b"fmt ", fmt(0xFFFE, 1, 44100, 16) + u16(0)), chunk(b"data", d16)])
    yield "extensible-sub-alaw", riff([chunk(b"fmt ", extensible(6, 1, 44100, 8)), chunk(b"data", d16)])
    yield "smpl-root-127", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), smpl(127), chunk(b"data", d16)])
    yield "smpl-root-128-ignored", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), smpl(128), chunk(b"data", d16)])
    yield "smpl-root-huge", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), smpl(0xFFFFFFFF), chunk(b"data", d16)])
    yield "smpl-35-bytes", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), smpl(64, size=35), chunk(b"data", d16)])
    yield "smpl-with-loop", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), smpl(50, loops=1), chunk(b"data", d16)])
    yield "smpl-first-then-fmt", riff([smpl(40), chunk(b"fmt ", fmt(1, 1, 22050, 16)), chunk(b"data", d16)])
    yield "smpl-after-data", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), chunk(b"data", d16), smpl(70)])
    yield "smpl-twice", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), smpl(30), smpl(90), chunk(b"data", d16)])
    yield "smpl-truncated", riff([chunk(b"fmt ", fmt(1, 1, 22050, 16)), chunk(b"data", d16), b"smpl" + u32(36) + u32(0) * 2])
    yield "odd-list-padded", riff([chunk(b"fmt ", fmt(1, 1, 44100, 16)), chunk(b"LIST", b"INFOx"), chunk(b"data", d16)])
    yield "odd-list-unpadded", riff([chunk(b"fmt ", fmt(1, 1, 44100, 16)), chunk(b"LIST", b"INFOx", pad=False), chunk(b"data", d16)])
    yield "odd-data-8bit-padded", riff([chunk(b"fmt ", fmt(1, 1, 11025, 8)), chunk(b"data", bytes([0, 128, 255]))])
    yield "odd-data-8bit-last-unpadded", riff([chunk(b"fmt ", fmt(1, 1, 11025, 8)), chunk(b"data", bytes([0, 128, 255]), pad=False)])
    yield "odd-fmt-17", riff([chunk(b"fmt ", fmt(1, 1, 44100, 16) + b"\0"), chunk(b"data", d16)])
    yield "riff-shorter-than-file", riff([chunk(b"fmt ", fmt(1, 1, 44100, 16)), chunk(b"data", d16)]) + b"JUNKJUNK"
    yield "riff-size-odd", riff([chunk(b"fmt ", fmt(1, 1, 11025, 8)), chunk(b"data", bytes([1, 2, 3]), pad=False)], size=4 + 24 + 11)
    yield "data-before-fmt", riff([chunk(b"data", d16), chunk(b"fmt ", fmt(1, 1, 44100, 16))])
    yield "data-twice", riff([chunk(b"fmt ", fmt(1, 1, 44100, 16)), chunk(b"data", d16), chunk(b"data", d16[:4])])
    yield "chunk-size-overflow", riff([chunk(b"fmt ", fmt(1, 1, 44100, 16)), chunk(b"LIST", b"abcd", size=0xFFFFFFF0), chunk(b"data", d16)])
    yield "float32-nan", riff([chunk(b"fmt ", fmt(3, 1, 44100, 32)), chunk(b"data", f32 + struct.pack("<I", 0x7FC00000))])
    yield "float64-infinity", riff([chunk(b"fmt ", fmt(3, 1, 44100, 64)), chunk(b"data", f64 + struct.pack("<d", float("inf")))])
    yield "pcm32-extremes", riff([chunk(b"fmt ", fmt(1, 2, 192000, 32)), chunk(b"data", p32)])
    yield "pcm24-stereo-align-wrong", riff([chunk(b"fmt ", fmt(1, 2, 44100, 24, align=4)), chunk(b"data", p24)])
    yield "two-frames-8bit", riff([chunk(b"fmt ", fmt(1, 1, 8000, 8)), chunk(b"data", bytes([0, 255]))])


def utf8(text):
    return text.encode("utf-8", "surrogatepass")


def state(values=None, name=b"", folder=b"", selection=b"", files=(), wave=b"", version=4, count=16):
    values = [0.5] * count if values is None else values
    out = b"TPX2STAT" + u32(version) + u32(count)
    for v in values:
        out += v if isinstance(v, bytes) else struct.pack("<f", v)
    if version != 4:
        return out
    for s in (name, folder, selection):
        out += u32(len(s)) + s
    out += u32(len(files)) + b"".join(u32(len(f)) + f for f in files)
    return out + u32(len(wave)) + wave


def chunks(waves):
    bell = "Campana \U0001F514"
    folder = "C:\\M\u00fasica \U0001D11E"
    piano = folder + "\\\U0001F3B9 " + bell + ".wav"
    network = "\\\\servidor\\muestras\\\U00010348.wav"
    paths = [utf8(piano), utf8(network), utf8("C:\\a.WAV")]
    yield "names-outside-bmp", state(name=utf8(bell), folder=utf8(folder), selection=utf8(piano), files=paths,
                                     wave=waves["extensible-pcm16-stereo"])
    yield "names-last-code-point", state(name=utf8("\U0010FFFF"), folder=utf8(folder), files=[utf8("C:\\\U0010FFFF.wav")])
    for label, bad in (("above-last-code-point", b"\xF4\x90\x80\x80"), ("surrogate-in-utf8", b"\xED\xA0\x80"),
                       ("overlong-4-bytes", b"\xF0\x82\x82\xAC"), ("overlong-nul", b"\xC0\x80"),
                       ("truncated-4-bytes", b"\xF0\x9F\x94"), ("five-byte-form", b"\xF8\x88\x80\x80\x80")):
        yield "name-" + label, state(name=b"x" + bad, wave=waves["two-frames-8bit"])
        yield "path-" + label, state(files=[utf8("C:\\") + bad + b".wav"])
    yield "embedded-smpl-odd-list", state(name=utf8(bell), wave=waves["odd-list-padded"])
    yield "embedded-smpl-loop", state(name=b"loop", wave=waves["smpl-with-loop"])
    yield "embedded-extensible-float", state(name=b"f", wave=waves["extensible-float32"])
    yield "embedded-odd-last-unpadded", state(name=b"o", wave=waves["odd-data-8bit-last-unpadded"])
    yield "embedded-refused-wave", state(name=b"n", wave=waves["float32-nan"])
    yield "wave-size-one-short", state(wave=waves["two-frames-8bit"])[:-1]
    yield "wave-size-one-long", state(wave=waves["two-frames-8bit"]) + b"\0"
    yield "values-edges", state(values=[0.0, 1.0, struct.pack("<I", 0x80000000), 0.5] + [1.0] * 12)
    yield "values-above-one", state(values=[1.0000001] + [0.5] * 15)
    yield "values-nan", state(values=[struct.pack("<I", 0x7FC00000)] + [0.5] * 15)
    yield "version-1", state(version=1, count=13)
    yield "version-2", state(version=2, count=17)
    yield "version-3-extra-byte", state(version=3, count=13) + b"\0"
    yield "files-1024", state(files=[b"C:\\%d.wav" % i for i in range(1024)])
    yield "files-1025", state(files=[b"C:\\%d.wav" % i for i in range(1025)])
    yield "string-claims-65537", state()[:16 + 64] + u32(65537) + b"abc"


def utf16(text):
    return text.encode("utf-16-le", "surrogatepass")


def drop_header(offset, wide):
    return u32(offset) + u32(0) * 3 + u32(1 if wide else 0)


def drops():
    piano = "C:\\M\u00fasica \U0001D11E\\\U0001F3B9 bell.wav"
    network = "\\\\servidor\\m\\\U00010348.WAV"
    yield "wide-outside-bmp.drop", drop_header(20, True) + utf16(piano + "\0" + network + "\0\0")
    yield "wide-lone-surrogate.drop", drop_header(20, True) + utf16("C:\\\ud83c.wav\0" + piano + "\0\0")
    yield "wide-odd-size.drop", drop_header(20, True) + utf16(piano + "\0\0") + b"\x01"
    yield "narrow-utf8-bytes.drop", drop_header(20, False) + utf8(piano) + b"\0\0"
    yield "text-outside-bmp.text", utf16(piano + "\0")
    yield "text-odd-size.text", utf16("\"" + network + "\"") + b"\x00"


class Program:
    """A session program: the setup byte, then steps (session_fuzz.cpp)."""

    def __init__(self, wide):
        self.b = bytes([1 if wide else 0])

    def param(self, index, value):
        self.b += bytes([0, index]) + struct.pack("<f", value)

    def param_raw(self, index, bits):
        self.b += bytes([0, 0x80]) + struct.pack("<iI", index, bits)

    def events(self, items):  # (delta, status, data1, data2[, flags])
        self.b += bytes([1, len(items)])
        for e in items:
            flags = e[4] if len(e) > 4 else 0
            self.b += bytes([flags])
            if flags & 2:
                self.b += bytes([e[5]])
            if flags & 4:
                self.b += bytes([e[6]])
            self.b += struct.pack("<i", e[0]) if flags & 8 else struct.pack("<h", e[0])
            self.b += bytes([e[1], e[2], e[3], 0])

    def raw(self, data):
        self.b += data

    def block(self, frames, flags=0):
        self.b += bytes([2, flags]) + u16(frames)

    def advance(self, blocks):
        self.b += bytes([3, blocks - 1])

    def rate(self, pick):
        self.b += bytes([4, pick])

    def tempo(self, pick):
        self.b += bytes([5, pick])

    def keys(self, items):  # (status, key, velocity)
        self.b += bytes([6, len(items) - 1])
        for status, key, velocity in items:
            self.b += bytes([status, 0, key, velocity])

    def count_in(self, start=True):
        self.b += bytes([7, 1 if start else 0])

    def take(self, what):  # 0 pause, 1 resume, 2 stop
        self.b += bytes([8, what])

    def made_wave(self, form, frames, unity):
        channels = 2 if (form >> 3) & 1 else 1
        width = (8, 16, 24, 32, 32, 64)[(form >> 4) % 6]
        samples = bytes((i * 37) & 0xFF for i in range(frames * channels * width // 8))
        self.b += bytes([9, 1, form, frames - 1, unity]) + samples

    def raw_wave(self, data):
        self.b += bytes([9, 0]) + u16(len(data)) + data

    def remove(self, kind):
        self.b += bytes([10, kind])

    def save_restore(self):
        self.b += bytes([11])

    def restore(self, data):
        self.b += bytes([12]) + u16(len(data)) + data + bytes([0])

    def host_call(self, which):  # 0 suspend, 1 resume, 2 stop, 3 start
        self.b += bytes([13, which])

    def midi_file(self):
        self.b += bytes([14])

    def reset(self):
        self.b += bytes([15])


def sessions(waves, states):
    for wide in (True, False):
        p = Program(wide)
        p.rate(0)  # 8000 Hz: the three-second count-in ends in six long blocks
        p.events([(0, 0x90, 60, 100), (10, 0x91, 64, 90), (4000, 0xB0, 64, 127)])
        p.block(4096)
        p.count_in()
        p.advance(7)
        p.events([(5, 0x80, 60, 0), (7, 0x90, 67, 110), (100, 0xB0, 64, 0)])
        p.block(512)
        p.keys([(0x9F, 64, 100), (0x9E, 72, 90)])
        p.block(300)
        p.take(0)
        p.block(256)
        p.take(1)
        p.block(256)
        p.param(7, 0.2)  # "Canal"
        p.block(128)
        p.take(2)
        p.block(64)
        p.midi_file()
        p.save_restore()
        yield "take-exported-" + ("avx2" if wide else "sse2"), p.b
    p = Program(True)
    p.made_wave(0x19, 40, 57)
    p.param(13, 1.0)
    p.param(15, 1.0)
    p.events([(0, 0x90, 57, 127), (200, 0x90, 69, 60)])
    p.block(1024)
    p.save_restore()
    p.remove(1)
    p.block(700)
    p.raw_wave(waves["extensible-float32"])
    p.block(333)
    p.remove(2)
    p.host_call(0)
    p.host_call(1)
    p.block(4096)
    yield "one-shot-saved-restored-removed", p.b
    p = Program(False)
    p.restore(states["names-outside-bmp"])
    p.param(13, 1.0)
    p.events([(0, 0x90, 48, 100), (1, 0x90, 52, 100)])
    p.block(2048)
    p.save_restore()
    p.restore(states["name-surrogate-in-utf8"])
    p.block(100)
    yield "restored-names-outside-bmp", p.b
    p = Program(True)
    p.param_raw(-1, 0x3F800000)
    p.param_raw(16, 0x7FC00000)
    p.param_raw(5, 0x7F800000)  # infinity
    p.param_raw(9, 0x80000001)  # negative subnormal
    p.rate(7)   # NaN
    p.rate(5)   # 7999.9
    p.tempo(6)  # NaN
    p.tempo(1 | 0x40)
    p.events([(-5, 0x90, 60, 100), (100000, 0x90, 0xC5, 0xFF, 8), (3, 0x90, 61, 1, 1),
              (3, 0x90, 62, 1, 2, 6), (3, 0x90, 63, 1, 4, 0, 20), (2**31 - 1, 0xB0, 123, 0, 8)])
    p.block(0)
    p.block(512, 1)   # no output buffers
    p.block(512, 2)   # a negative frame count
    p.raw(bytes([1, 0xFE, 40]) + bytes([0, 0, 0, 0x90, 60, 100, 0]) * 1040)  # more than a block holds
    p.block(4096)
    p.raw(bytes([1, 0xFF]))  # a null list
    p.raw(bytes([6, 0xFF]) + bytes([0x9F, 0, 60, 100]) * 300)  # the key ring overfills
    p.block(64)
    p.reset()
    p.block(64)
    p.host_call(2)
    p.host_call(3)
    p.raw(bytes([17]))  # null records
    p.raw(bytes([16, 51, 0, 0]) + u32(0) * 2 + u32(0) + bytes([19]) + b"receiveVstMidiEvent")
    p.raw(bytes([16, 7, 0, 5]) + u32(0) * 2 + u32(0) + bytes([0]))
    yield "hostile-host", p.b


def main():
    out = sys.argv[1]
    for sub in ("decode_wave", "state_chunk", "drop_paths", "session"):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    waves = dict(wavs())
    for name, data in waves.items():
        open(os.path.join(out, "decode_wave", "trap-" + name + ".wav"), "wb").write(data)
    states = dict(chunks(waves))
    for name, data in states.items():
        open(os.path.join(out, "state_chunk", "trap-" + name + ".chunk"), "wb").write(data)
    for name, data in drops():
        open(os.path.join(out, "drop_paths", "trap-" + name), "wb").write(data)
    for name, data in sessions(waves, states):
        open(os.path.join(out, "session", "trap-" + name + ".session"), "wb").write(data)


if __name__ == "__main__":
    main()
