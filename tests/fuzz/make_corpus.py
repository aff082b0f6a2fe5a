#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/.

PCX seeds are hand-made bad files (every way a header, a layout, the run
data or the palette trailer can be wrong) and small valid files of each
layout, written by Netpbm's ppmtopcx and ImageMagick's convert where they
are installed (the checked-in corpus has them). Every PCX file is stored
behind the 8-byte prefix of pcx_case.h, with a few page and flag choices.

The other targets' seeds spell out ordinary and edge cases in the byte
language of their *_case.h headers. Run it from anywhere; it replaces the
corpus folders' seed files (files named seed-*), leaving others alone.
"""
import os
import shutil
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


# ---- PCX files ------------------------------------------------------------

def header(manufacturer=10, version=5, bpp=8, xmin=0, ymin=0, xmax=7, ymax=3, planes=1, bpl=8, colour_map=None):
    if colour_map is None:
        colour_map = bytes((i * 17) & 0xFF for i in range(48))
    h = struct.pack("<BBBBHHHHHH", manufacturer, version, 1, bpp, xmin, ymin, xmax, ymax, 72, 72)
    h += colour_map + bytes([0, planes]) + struct.pack("<HH", bpl, 1) + bytes(58)
    assert len(h) == 128
    return h


def rle(data):
    """Run-length encodes bytes the way PCX writers do."""
    out = bytearray()
    i = 0
    while i < len(data):
        v = data[i]
        n = 1
        while i + n < len(data) and data[i + n] == v and n < 63:
            n += 1
        if n > 1 or v >= 0xC0:
            out += bytes([0xC0 | n, v])
        else:
            out.append(v)
        i += n
    return bytes(out)


def trailer(marker=12):
    return bytes([marker]) + bytes(((i * 7) & 0xFF, (i * 13) & 0xFF, (255 - i) & 0xFF)[k] for i in range(256) for k in range(3))


def indexed8(w, h, version=5, with_trailer=True):
    lines = b"".join(bytes((x * 5 + y * 31) & 0xFF for x in range(w)) for y in range(h))
    f = header(version=version, bpp=8, xmax=w - 1, ymax=h - 1, planes=1, bpl=w) + rle(lines)
    return f + trailer() if with_trailer else f


def bad_pcx_files():
    w, h = 8, 4
    data8 = rle(bytes(range(w * h)))
    files = {
        "short-header": header()[:50],
        "header-only": header(),
        "empty": b"",
        "wrong-manufacturer": header(manufacturer=11) + data8,
        "manufacturer-zero": header(manufacturer=0) + data8,
        "layout-1plane-2bpp": header(bpp=2, planes=1, bpl=2) + data8,
        "layout-1plane-4bpp": header(bpp=4, planes=1, bpl=4) + data8,
        "layout-0planes-8bpp": header(bpp=8, planes=0, bpl=8) + data8,
        "layout-2planes-8bpp": header(bpp=8, planes=2, bpl=8) + rle(bytes(range(64))),
        "layout-4planes-8bpp": header(bpp=8, planes=4, bpl=1) + rle(bytes(range(16))),
        "layout-3planes-1bpp": header(bpp=1, planes=3, bpl=8) + rle(bytes(range(96))),
        "layout-5planes": header(bpp=8, planes=5, bpl=8) + data8,
        "truncated-data": header(bpp=8, xmax=15, ymax=7, bpl=16) + rle(bytes(range(40)))[:10],
        "xmax-below-xmin": header(xmin=20, xmax=3) + data8,
        "ymax-below-ymin": header(ymin=9, ymax=2) + data8,
        "bpl-too-small-8bit": header(bpp=8, xmax=31, ymax=3, bpl=1) + rle(bytes(8)),
        "bpl-too-small-mono": header(bpp=1, xmax=63, ymax=3, bpl=1, planes=1) + rle(bytes(8)),
        "bpl-too-small-24bit": header(bpp=8, xmax=15, ymax=3, bpl=2, planes=3) + rle(bytes(range(24))),
        "bpl-zero": header(bpp=8, xmax=7, ymax=3, bpl=0) + data8,
        "bpl-huge": header(bpp=8, xmax=7, ymax=3, bpl=65535, planes=4) + data8,
        "huge-extent-tiny-file": header(bpp=8, xmax=65535, ymax=65535, bpl=65535) + b"\xc5\x01",
        "huge-origin": header(bpp=8, xmin=65000, ymin=65000, xmax=65535, ymax=65535, bpl=536) + data8,
        "run-overruns-last-line": header(bpp=8, xmax=7, ymax=1, bpl=8) + rle(bytes(8)) + b"\xff\x07\xff\x09",
        "run-without-value": header(bpp=8, xmax=7, ymax=1, bpl=8) + b"\x01\x02\xc5",
        "run-count-zero": header(bpp=8, xmax=7, ymax=0, bpl=8) + b"\xc0\x55" * 4 + rle(bytes(range(8))),
        "runs-across-planes": header(bpp=8, xmax=7, ymax=2, bpl=8, planes=3) + b"\xff\x80\xff\x40",
        "v5-short-trailer": indexed8(8, 4)[:-100],
        "v5-wrong-marker": indexed8(8, 4)[:-769] + trailer(marker=11),
        "v5-trailer-only": header(bpp=8, xmax=7, ymax=3, bpl=8) + trailer(),
        "v4-with-trailer": indexed8(8, 4, version=4),
        "v5-256-colours": indexed8(32, 8),
        "mono-no-palette": header(version=3, bpp=1, xmax=20, ymax=5, bpl=4) + rle(bytes([0xA5, 0x5A, 0xF0, 0x0F] * 6)),
        "planar4": header(version=2, bpp=1, xmax=9, ymax=3, planes=4, bpl=2) + rle(bytes(range(32))),
        "rgb24": header(bpp=8, xmax=5, ymax=3, planes=3, bpl=6) + rle(bytes((i * 11) & 0xFF for i in range(72))),
    }
    return files


def tool_pcx_files():
    """Valid files of each layout from Netpbm and ImageMagick (when installed)."""
    files = {}
    tmp = tempfile.mkdtemp()
    try:
        ppm = os.path.join(tmp, "a.ppm")
        pbm = os.path.join(tmp, "a.pbm")
        with open(ppm, "wb") as f:
            f.write(b"P6 12 6 255\n" + bytes(((x * 20) & 0xFF, (y * 40) & 0xFF, ((x + y) * 9) & 0xFF)[k]
                                                for y in range(6) for x in range(12) for k in range(3)))
        with open(pbm, "wb") as f:
            f.write(b"P4 13 5\n" + bytes([0xA5, 0x38] * 5))
        runs = {
            "ppmtopcx-default": ["ppmtopcx", ppm],
            "ppmtopcx-24bit": ["ppmtopcx", "-24bit", ppm],
            "ppmtopcx-8bit": ["ppmtopcx", "-8bit", ppm],
            "ppmtopcx-planes4": ["ppmtopcx", "-planes", "4", ppm],
            "ppmtopcx-planes1": ["ppmtopcx", "-planes", "1", pbm],
            "ppmtopcx-packed": ["ppmtopcx", "-packed", ppm],
            "convert-palette": ["convert", ppm, "-type", "palette", "pcx:-"],
            "convert-truecolour": ["convert", ppm, "pcx:-"],
            "convert-mono": ["convert", pbm, "pcx:-"],
        }
        for name, cmd in runs.items():
            if shutil.which(cmd[0]) is None:
                continue
            r = subprocess.run(cmd, capture_output=True)
            if r.returncode == 0 and r.stdout:
                files[name] = r.stdout
    finally:
        shutil.rmtree(tmp)
    return files


# The 8-byte prefix of pcx_case.h: page byte, options, flags low, flags
# high, cursor x, cursor y.
PCX_PREFIXES = [
    ("p8-file", bytes([0, 0, 0, 0]) + struct.pack("<hh", 0, 0)),
    ("p565-memory", bytes([1, 0, 4 | 8, 0]) + struct.pack("<hh", 0, 0)),
    ("p555-pad3-cursor-chunk128", bytes([27, 1 << 2, 2, 1]) + struct.pack("<hh", 5, 3)),
    ("p24-pad3-chunk769", bytes([23, 4 << 2, 0, 0]) + struct.pack("<hh", 0, 0)),
    ("p32-pad64-memory", bytes([44, 0, 4, 0]) + struct.pack("<hh", 0, 0)),
    ("p8-small-keep", bytes([5, 0, 1, 0]) + struct.pack("<hh", 0, 0)),
    ("p8-cursor-negative", bytes([0, 0, 2 | 4, 0]) + struct.pack("<hh", -3, -2)),
]


def write_pcx_corpus():
    out = os.path.join(CORPUS, "pcx")
    files = bad_pcx_files()
    files.update(tool_pcx_files())
    for i, (name, data) in enumerate(sorted(files.items())):
        for j in (0, 1, 2 + i % (len(PCX_PREFIXES) - 2)):
            pname, prefix = PCX_PREFIXES[j]
            write(out, f"seed-{name}-{pname}", prefix + data)


# ---- Encoders for fuzz::Input -----------------------------------------------

def num_small(v):      # Input::number selector 0: int8
    return bytes([0, v & 0xFF])


def num_i16(v):        # selector 1: int16
    return bytes([1]) + struct.pack("<h", v)


def num_nan():
    return bytes([5])


def num_inf(negative=False):
    return bytes([6 | (0x10 if negative else 0)])


def num_near(steps=0):  # selector 3: the first anchor, a few steps away
    return bytes([3, steps & 0xFF])


def num_raw(d):
    return bytes([10]) + struct.pack("<d", d)


def int_byte(v):       # Input::integer selector 7: one unsigned byte
    return bytes([7, v & 0xFF])


def int_i16(v):        # selector 2
    return bytes([2]) + struct.pack("<h", v)


def int_extreme(low=False):
    return bytes([4 | (0x10 if low else 0)])


# ---- Polygon seeds ------------------------------------------------------------

def poly_case(page, flags, depth, frames, texture, tw, th, options, extra, polygons):
    return bytes([page, flags, depth, frames, texture, tw, th, options]) + extra + b"".join(polygons)


def polygon(verts):
    """verts: (x, y, z, u, v) with x, y, z as encoded numbers and u, v as
    encoded integers."""
    assert len(verts) < 12
    return bytes([len(verts)]) + b"".join(x + y + z + u + v for x, y, z, u, v in verts)


def quad(z=num_small(60), near=None):
    zs = [z, z, z, near if near is not None else z]
    corners = [(-20, -15, 0, 0), (20, -15, 15, 0), (20, 15, 15, 15), (-20, 15, 0, 15)]
    return polygon([(num_small(x), num_small(y), zs[i], int_byte(u), int_byte(v))
                    for i, (x, y, u, v) in enumerate(corners)])


def write_poly_corpus():
    out = os.path.join(CORPUS, "poly")
    for page in (0, 1, 2, 3, 4, 27, 44, 15):
        for flags in (0, 1, 4, 5, 8, 9, 12, 13):
            write(out, f"seed-quad-page{page}-flags{flags}", poly_case(page, flags, 1, 0, 1, 15, 15, 0, b"", [quad()]))
    # Near-plane clipping, vertices on and around the plane.
    for steps in (-2, 0, 2):
        write(out, f"seed-near-plane-{steps}", poly_case(1, 13, 1, 3, 1, 15, 15, 0, b"", [quad(near=num_near(steps))]))
    # Hostile numbers.
    for name, n in (("nan", num_nan()), ("inf", num_inf()), ("neg-inf", num_inf(True)), ("huge", num_raw(1e300)),
                    ("tiny", num_raw(1e-300))):
        write(out, f"seed-{name}-z", poly_case(1, 13, 1, 0, 1, 15, 15, 0, b"", [quad(near=n)]))
    # Depth buffer states and texture states.
    for depth in range(6):
        write(out, f"seed-depth-state{depth}", poly_case(1, 13, depth, 255, 1, 15, 15, 0, b"", [quad()]))
    for texture in (0, 2, 3, 0x41, 0x81):
        write(out, f"seed-texture-state{texture}", poly_case(1, 9, 1, 0, texture, 15, 15, 0, b"", [quad()]))
    # Clip rectangle and origin outside the page.
    clip = int_i16(-10) + int_i16(300) + int_i16(-7) + int_i16(200)
    origin = int_i16(-30) + int_i16(25)
    write(out, "seed-clip-outside-page", poly_case(1, 13, 1, 0, 1, 15, 15, 1, clip, [quad()]))
    write(out, "seed-clip-and-origin", poly_case(3, 9, 1, 0, 1, 15, 15, 3, clip + origin, [quad()]))
    write(out, "seed-origin-extreme", poly_case(4, 13, 1, 0, 1, 15, 15, 2, int_extreme() + int_extreme(True), [quad()]))
    # Straight to the scan converters: screen points anywhere.
    screen = polygon([(int_i16(x), int_i16(y), num_small(50), int_byte(u), int_byte(v))
                      for x, y, u, v in ((-100, -5, 0, 0), (500, 10, 15, 0), (30, 400, 15, 15))])
    for flags in (0, 1, 4, 5):
        write(out, f"seed-direct-flags{flags}", poly_case(2, flags, 1, 0, 1, 15, 15, 4, b"", [screen]))
    # Lock states, no page.
    for options, name in ((8, "caller-lock"), (16, "lock-fails"), (64, "no-page")):
        write(out, f"seed-{name}", poly_case(1, 13, 1, 0, 1, 15, 15, options, b"", [quad()]))
    # Capacities: a convex 320-gon without clipping and 182/183 with it.
    import math
    for count, flags in ((320, 0), (321, 0), (182, 8), (183, 8), (0, 8), (1, 8), (2, 8)):
        verts = b""
        for i in range(count):
            a = 2 * math.pi * i / max(count, 1)
            verts += num_small(int(20 * math.cos(a))) + num_small(int(-20 * math.sin(a))) + num_small(60)
            verts += int_byte(8) + int_byte(8)
        body = bytes([200]) + struct.pack("<H", count) + verts
        write(out, f"seed-count-{count}-flags{flags}", poly_case(0, flags, 1, 0, 1, 15, 15, 0, b"", [body]))
    # A custom view: the demo's depth range and a turned pose.
    view = num_small(40) + num_i16(1000) + int_byte(0) + int_i16(63) + int_byte(0) + int_byte(47)
    view += num_raw(0.5) + num_small(0) + num_small(0) + num_small(100) + int_i16(300) + int_i16(450) + int_i16(-20)
    write(out, "seed-custom-view", poly_case(1, 13, 1, 0, 1, 15, 15, 32, view, [quad(z=num_small(0))]))


# ---- Palette seeds ---------------------------------------------------------------

def palette_case(page, pattern, steps):
    return bytes([page, len(pattern) - 1]) + bytes(pattern) + b"".join(steps)


def op_set(start, count, colours=b"", windowed=False):
    return bytes([5 if windowed else 0]) + start + count + colours


def op_reduce(start, count, table=b""):
    return bytes([1]) + start + count + table


def write_palette_corpus():
    out = os.path.join(CORPUS, "palette")
    pattern = [3, 200, 3, 9, 17, 200, 31, 64, 65, 66, 250, 0, 255, 128, 7, 7, 1, 2, 3, 4]
    table = bytes((i * 37 + k * 11) & 0xFF for i in range(256) for k in range(3))
    cases = {
        "reduce-10-236": [op_reduce(int_byte(10), int_i16(236), table)],
        "reduce-10-4": [op_reduce(int_byte(10), int_byte(4), table)],
        "reduce-0-1": [op_reduce(int_byte(0), int_byte(1), table)],
        "reduce-count-0": [op_reduce(int_byte(10), int_byte(0), table)],
        "reduce-negative-start": [op_reduce(int_i16(-20), int_byte(40), table)],
        "reduce-past-256": [op_reduce(int_byte(250), int_byte(20), table)],
        "reduce-extremes": [op_reduce(int_extreme(), int_extreme(), table)],
        "set-10-16": [op_set(int_byte(10), int_byte(16), bytes(range(48)))],
        "set-past-256": [op_set(int_byte(250), int_byte(10), bytes(range(18)))],
        "set-negative-start": [op_set(int_i16(-5), int_byte(10), bytes(range(30)))],
        "set-count-max": [op_set(int_byte(10), int_extreme(), bytes(range(200)))],
        "set-start-min": [op_set(int_extreme(True), int_extreme(), b"")],
        "set-windowed": [bytes([2, 0]), bytes([3]), op_set(int_byte(0), int_byte(16), bytes(range(48)), True)],
        "make-kinds": [bytes([2, 0]), bytes([2, 1]), bytes([2, 2]), bytes([2, 3]), bytes([3])],
        "no-page": [bytes([4]), op_set(int_byte(10), int_byte(16)), op_reduce(int_byte(10), int_byte(4), table),
                    bytes([4])],
    }
    for page in (0, 1, 2, 3, 4, 10, 45):
        for name, steps in cases.items():
            write(out, f"seed-{name}-page{page}", palette_case(page, pattern, steps))
    # The most work a reduction can have: 256 values down to one.
    every_value = list(range(256))
    for page in (0, 10):
        write(out, f"seed-reduce-256-to-1-page{page}", palette_case(page, every_value, [op_reduce(int_byte(0), int_byte(1), table)]))


# ---- Texture table seeds ---------------------------------------------------------

def write_textures_corpus():
    out = os.path.join(CORPUS, "textures")
    alloc6 = bytes([0, 3])
    define = lambda w, h, null=False: bytes([1, ((w + 3) % 68) | (0x80 if null else 0), (h + 3) % 68, 0])
    cut = lambda x, y, w, h: bytes([7]) + int_i16(x) + int_i16(y) + bytes([w - 1, h - 1])
    select = lambda h: bytes([2]) + int_byte(h)
    free = lambda h: bytes([3]) + (int_byte(h) if h >= 0 else bytes([0, h & 0xFF]))
    draw = lambda flags: bytes([4, flags, 1]) + b"".join(
        num_small(x) + num_small(y) + num_small(60) + int_byte(u) + int_byte(v)
        for x, y, u, v in ((-20, -15, 0, 0), (20, -15, 7, 0), (20, 15, 7, 7), (-20, 15, 0, 7)))
    cases = {
        "six-slots": alloc6 + define(8, 8) * 7 + free(2) + define(8, 8) + select(2) + draw(0) + free(-1) + define(8, 8),
        "select-freed": alloc6 + define(8, 8) + define(4, 4) + select(1) + free(1) + select(1) + draw(2),
        "no-table": define(8, 8) + select(0) + free(0) + draw(0),
        "bad-counts": bytes([0, 0, 0, 5, 0, 6, 0, 7, 0, 8]) + define(8, 8),
        "sizes": alloc6 + define(0, 8) + select(0) + draw(0) + define(-3, 2) + select(1) + draw(0) + define(8, 8, True),
        "page-toggle": alloc6 + bytes([5]) + define(8, 8) + bytes([5]) + select(0) + draw(0) + bytes([6, 0x86, 6, 7]),
        "demo-cut": alloc6 + b"".join(cut(8 * i, 7, 8, 8) for i in range(6)) + select(3) + draw(7) + free(-1),
        "cut-off-page": alloc6 + cut(-4, 2, 8, 8) + cut(60, 50, 8, 8) + cut(-100, -100, 3, 3) + select(0) + draw(0),
        "realloc": alloc6 + define(8, 8) + select(0) + bytes([0, 2]) + define(8, 8) + draw(3) + draw(4),
    }
    for page in (0, 1, 3, 4, 27):
        for name, ops in cases.items():
            write(out, f"seed-{name}-page{page}", bytes([page]) + ops)


# ---- Writing -----------------------------------------------------------------------

def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def clear_seeds():
    for target in ("pcx", "poly", "palette", "textures"):
        folder = os.path.join(CORPUS, target)
        if os.path.isdir(folder):
            for name in os.listdir(folder):
                if name.startswith("seed-"):
                    os.remove(os.path.join(folder, name))


if __name__ == "__main__":
    clear_seeds()
    write_pcx_corpus()
    write_poly_corpus()
    write_palette_corpus()
    write_textures_corpus()
