#!/usr/bin/env python3
"""Writes tiny hand-made audio files into a folder, as the starting corpus of AudioFileFuzz:
WAV (16/24-bit, float, extensible, RF64) with the metadata chunks the framework's reader
parses, AIFF and AIFC with theirs, and a FLAC stream of one frame.

    python3 fuzz/make-seeds.py build-fuzz/seeds
"""

import struct
import sys
from pathlib import Path

FRAMES = 8


def chunk(cid, body, big=False):
    size = struct.pack(">I" if big else "<I", len(body))
    return cid + size + body + (b"\0" if len(body) % 2 else b"")


def riff(chunks, outer=b"RIFF"):
    body = b"WAVE" + b"".join(chunks)
    return outer + struct.pack("<I", len(body)) + body


def form(chunks, kind=b"AIFF"):
    body = kind + b"".join(chunks)
    return b"FORM" + struct.pack(">I", len(body)) + body


def fmt(tag=1, channels=2, rate=48000, bits=16):
    align = channels * bits // 8
    return chunk(b"fmt ", struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits))


def extensible(channels=2, rate=48000, bits=24, mask=3):
    align = channels * bits // 8
    pcm_guid = struct.pack("<IHH", 1, 0, 0x10) + bytes([0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
    body = struct.pack("<HHIIHHHHI", 0xFFFE, channels, rate, rate * align, align, bits, 22, bits, mask) + pcm_guid
    return chunk(b"fmt ", body)


def pcm(channels=2, bits=16, big=False):
    data = bytearray()
    for i in range(FRAMES):
        for ch in range(channels):
            value = (i * 1000 - ch * 500) << (bits - 16)
            data += value.to_bytes(bits // 8, "big" if big else "little", signed=True)
    return bytes(data)


def metadata_wav():
    cue = struct.pack("<I6I", 1, 1, 0, 0x61746164, 0, 0, 4)
    smpl = struct.pack("<9I6I", 0, 0, 20833, 60, 0, 0, 0, 1, 0, 0, 0, 1, 6, 0, 0)
    inst = bytes([60, 0, 0, 0, 127, 1, 127])
    labl = chunk(b"labl", struct.pack("<I", 1) + b"Verse\0")
    note = chunk(b"note", struct.pack("<I", 1) + b"soft\0")
    ltxt = chunk(b"ltxt", struct.pack("<IIIHHHH", 1, 4, 0, 0, 0, 0, 0) + b"rgn\0")
    info = chunk(b"INAM", b"Cue 1M2\0") + chunk(b"IART", b"Somebody\0")
    bext = b"desc".ljust(256, b"\0") + b"\0" * (602 - 256) + b"A=PCM\r\n"
    acid = struct.pack("<IHHfIHHf", 2, 60, 0x8000, 0, 8, 4, 4, 120.0)
    ixml = b"<BWFXML><PROJECT>x</PROJECT></BWFXML>"
    return riff([
        fmt(), chunk(b"bext", bext), chunk(b"LIST", b"INFO" + info),
        chunk(b"data", pcm()), chunk(b"cue ", cue), chunk(b"LIST", b"adtl" + labl + note + ltxt),
        chunk(b"smpl", smpl), chunk(b"inst", inst), chunk(b"acid", acid), chunk(b"iXML", ixml),
        chunk(b"Trkn", b"loop"),
    ])


def rf64():
    """RF64: the 32-bit sizes say -1, the "ds64" chunk holds the real ones."""
    data = pcm()
    riff_size = 4 + (8 + 28) + len(fmt()) + 8 + len(data)
    ds64 = struct.pack("<qqqI", riff_size, len(data), FRAMES, 0)
    body = riff([chunk(b"ds64", ds64), fmt(), b"data\xff\xff\xff\xff" + data], outer=b"RF64")
    return body[:4] + b"\xff\xff\xff\xff" + body[8:]


RATE_48K = bytes([0x40, 0x0E, 0xBB, 0x80, 0, 0, 0, 0, 0, 0])


def comm(channels=2, bits=16, compression=None):
    body = struct.pack(">hIh", channels, FRAMES, bits) + RATE_48K
    if compression is not None:
        body += compression + b"\x00"  # type, empty pascal name
    return chunk(b"COMM", body, big=True)


def ssnd(data):
    return chunk(b"SSND", struct.pack(">II", 0, 0) + data, big=True)


def metadata_aiff():
    mark = struct.pack(">hhI", 1, 1, 4) + b"\x05Verse"
    comt = struct.pack(">hIhh", 1, 0, 1, 6) + b"take 3"
    inst = bytes([60, 0, 0, 127, 1, 127]) + struct.pack(">h3h3h", 0, 0, 0, 0, 0, 0, 0)
    basc = struct.pack(">IIHHHHH", 1, 8, 60, 2, 4, 4, 1) + bytes(66)
    cate = b"\0\0\0\0" + b"Jazz".ljust(118, b"\0") + b"Bass".ljust(50, b"\0") + b"\0" * 50 + b"Piano".ljust(50, b"\0")
    return form([
        comm(), chunk(b"MARK", mark, big=True), chunk(b"COMT", comt, big=True),
        ssnd(pcm(big=True)), chunk(b"INST", inst, big=True), chunk(b"basc", basc, big=True),
        chunk(b"cate", cate, big=True),
    ])


def crc8(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = ((crc << 1) ^ 0x07) & 0xFF if crc & 0x80 else (crc << 1) & 0xFF
    return crc


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc


def flac():
    """One frame of 16 stereo 16-bit samples at 48 kHz, each channel a constant subframe."""
    block = 16
    streaminfo = struct.pack(">HH", block, block) + b"\0\0\0" + b"\0\0\0"
    packed = (48000 << 44) | (1 << 41) | (15 << 36) | block  # rate, channels - 1, bits - 1, total
    streaminfo += packed.to_bytes(8, "big") + bytes(16)
    header = b"fLaC" + bytes([0x80]) + len(streaminfo).to_bytes(3, "big") + streaminfo
    # sync, block size from an 8-bit field, 48 kHz, two independent channels, 16 bits, frame 0
    frame = bytes([0xFF, 0xF8, 0x6A, 0x18, 0x00, block - 1])
    frame += bytes([crc8(frame)])
    frame += b"\x00" + struct.pack(">h", 1000) + b"\x00" + struct.pack(">h", -1000)
    frame += struct.pack(">H", crc16(frame))
    return header + frame


def seeds():
    return {
        "plain.wav": riff([fmt(), chunk(b"data", pcm())]),
        "24bit.wav": riff([fmt(bits=24), chunk(b"data", pcm(bits=24))]),
        "float.wav": riff([fmt(tag=3, bits=32), chunk(b"data", struct.pack("<16f", *[i / 16 for i in range(16)]))]),
        "extensible.wav": riff([extensible(), chunk(b"data", pcm(bits=24))]),
        "metadata.wav": metadata_wav(),
        "rf64.wav": rf64(),
        "plain.aif": form([comm(), ssnd(pcm(big=True))]),
        "metadata.aif": metadata_aiff(),
        "sowt.aifc": form([chunk(b"FVER", struct.pack(">I", 0xA2805140), big=True),
                           comm(compression=b"sowt"), ssnd(pcm())], kind=b"AIFC"),
        "fl32.aifc": form([chunk(b"FVER", struct.pack(">I", 0xA2805140), big=True),
                           comm(channels=1, bits=32, compression=b"fl32"),
                           ssnd(struct.pack(">8f", *[i / 8 for i in range(8)]))], kind=b"AIFC"),
        "tiny.flac": flac(),
    }


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "seeds")
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds().items():
        (folder / name).write_bytes(data)
    print(f"{len(seeds())} seeds in {folder}")


if __name__ == "__main__":
    main()
