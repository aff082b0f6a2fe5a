#!/usr/bin/python3
"""The measurements behind bench/compare; run that script, not this one.

Every figure is the median of BV_COMPARE_RUNS runs of whole processes. The
two programs of a pair run one right after the other within each run, so
that a change in the machine's load touches both alike.

Start-up costs are taken out so that the work itself is compared:
  * bv-render: a run of the key script minus a run that draws one frame
    (--keys none), for each path, divided by the frames drawn;
  * bv-pcx: --repeat N minus --repeat 0 (the same process, display and
    page, without a decode), divided by N;
  * Pillow: N loads in one interpreter minus an interpreter that only
    imports PIL, divided by N;
  * pcxtoppm: one decode per process (it has no repeat), minus pcxtoppm on
    a 1 x 1 picture of the same layout; its PPM output goes to /dev/null.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = max(1, int(os.environ.get("BV_COMPARE_RUNS", "5")))

# 1000 UpdateFrame calls, each with a control key held, so each draws a
# frame; the cube stays on the page throughout (turns, a little nearer and
# farther, a little to the side).
KEY_SCRIPT = "x*250,shift+y*250,kp_plus*15,z*150,kp_minus*30,left*10,up*10,shift+x*285"
FRAMES = 1000

PCX_REPEATS = 8       # bv-pcx decodes per process
PILLOW_REPEATS = 3    # Pillow decodes per interpreter
PYTHON = "/usr/bin/python3"   # Debian's, which has python3-pil


def fail(message):
    print("compare: " + message, file=sys.stderr)
    sys.exit(1)


def timed(command, stdout=subprocess.DEVNULL, check_output=None):
    """Wall-clock seconds of one whole process; fails on a non-zero exit."""
    start = time.perf_counter()
    done = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        fail("%s exited %d: %s" % (" ".join(command), done.returncode, done.stderr.decode(errors="replace").strip()))
    if check_output is not None and stdout == subprocess.PIPE:
        check_output(done.stdout.decode())
    return seconds


def median_of(samples):
    return statistics.median(samples)


# ---- The pictures ----------------------------------------------------------------

def tiny_pcx(path, planes):
    """A 1 x 1 picture of the same layout: pcxtoppm's start-up alone."""
    header = bytearray(128)
    header[0:4] = bytes([10, 5, 1, 8])
    header[65] = planes
    header[66] = 2      # bytes per line (even, as the format wants)
    data = bytes([0xC2, 7]) * planes
    trailer = bytes([12]) + bytes(768) if planes == 1 else b""
    with open(path, "wb") as f:
        f.write(bytes(header) + data + trailer)


def make_pictures(build, folder):
    subprocess.run([os.path.join(build, "bench", "pcx_large_bench"), "--write-images", folder], check=True)
    pictures = []
    for name, planes, label in (("large-8bit.pcx", 1, "8-bit indexed + palette"), ("large-24bit.pcx", 3, "24-bit, 3 planes")):
        tiny = os.path.join(folder, "tiny-%d.pcx" % planes)
        tiny_pcx(tiny, planes)
        pictures.append((label, os.path.join(folder, name), tiny))
    return pictures


# ---- Frames: software path against llvmpipe ------------------------------------------

def render_command(build, flags, keys):
    return [os.path.join(build, "bv-render"), "--pcx", os.path.join(build, "CUBE.PCX"),
            "--display-flags", str(flags), "--keys", keys]


def device_kind(build, flags):
    out = subprocess.run(render_command(build, flags, "none") + ["--show-device"], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, check=True).stdout.decode()
    match = re.search(r"device kind (-?\d+)", out)
    if not match:
        fail("bv-render --show-device printed nothing")
    return int(match.group(1))


def compare_frames(build):
    kinds = {flags: device_kind(build, flags) for flags in (13, 15)}
    if kinds[13] != 0:
        fail("display flags 13 should draw with the library's own scan converters, got device kind %d" % kinds[13])
    if kinds[15] != 1:
        return [("frames", "no software OpenGL device (device kind %d): llvmpipe comparison skipped" % kinds[15])]
    per_frame = {13: [], 15: []}
    whole = {13: [], 15: []}
    for _ in range(RUNS):
        for flags in (13, 15):
            full = timed(render_command(build, flags, KEY_SCRIPT))
            start_only = timed(render_command(build, flags, "none"))
            whole[flags].append(full)
            per_frame[flags].append((full - start_only) / (FRAMES - 1))
    ours, theirs = median_of(per_frame[13]), median_of(per_frame[15])
    ours_whole, theirs_whole = median_of(whole[13]), median_of(whole[15])
    return [
        ("frames", "bv-render, 1000 frames: software path (flags 13) vs llvmpipe (flags 15, device kind 1)"),
        ("", row("  per frame, start-up taken out", ours * 1e3, theirs * 1e3, "ms")),
        ("", row("  whole processes", ours_whole, theirs_whole, "s")),
    ]


# ---- PCX decoding ---------------------------------------------------------------------

def bv_pcx(build, path, repeat):
    command = [os.path.join(build, "bv-pcx"), path, "--size", "4000x3000", "--depth", "32",
               "--repeat", str(repeat)]

    def check(out):
        if out.strip() != "result 0":
            fail("bv-pcx on %s printed %r" % (path, out))
    return timed(command, stdout=subprocess.PIPE, check_output=check)


def pillow(path, repeat):
    code = "from PIL import Image\nfor _ in range(%d): Image.open(%r).load()" % (repeat, path)
    return timed([PYTHON, "-c", code])


def pcxtoppm(path):
    with open(os.devnull, "wb") as null:
        return timed(["pcxtoppm", path], stdout=null)


def compare_pcx(build, pictures):
    lines = [("PCX", "decoding 4000 x 3000 pictures (bv-pcx onto a 32-bit page)")]
    for label, path, tiny in pictures:
        ours, netpbm, pil = [], [], []
        for _ in range(RUNS):
            ours.append((bv_pcx(build, path, PCX_REPEATS) - bv_pcx(build, path, 0)) / PCX_REPEATS)
            netpbm.append(pcxtoppm(path) - pcxtoppm(tiny))
            pil.append((pillow(path, PILLOW_REPEATS) - pillow(path, 0)) / PILLOW_REPEATS)
        mine = median_of(ours)
        size = os.path.getsize(path) / 1e6
        lines.append(("", "  %s, %.1f MB file:" % (label, size)))
        lines.append(("", row("    vs pcxtoppm", mine * 1e3, median_of(netpbm) * 1e3, "ms")))
        lines.append(("", row("    vs Pillow", mine * 1e3, median_of(pil) * 1e3, "ms")))
    return lines


# ---- Memory -----------------------------------------------------------------------------

def peak_rss_mib(command):
    done = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", done.stderr.decode())
    if done.returncode != 0 or not match:
        fail("/usr/bin/time -v %s failed" % " ".join(command))
    return int(match.group(1)) / 1024.0


def memory(build):
    software = peak_rss_mib(render_command(build, 13, KEY_SCRIPT))
    device = peak_rss_mib(render_command(build, 15, KEY_SCRIPT))
    return [("memory", "bv-render peak resident set, 1000 frames: software path %.1f MiB (goal: below 64 MiB); "
                       "through llvmpipe %.1f MiB" % (software, device))]


# ---- The table ----------------------------------------------------------------------------

def row(what, ours, theirs, unit):
    return "%-34s %10.3f %s  %10.3f %s  %7.2fx" % (what, ours, unit.ljust(2), theirs, unit.ljust(2), theirs / ours)


def machine():
    try:
        out = subprocess.run(["lscpu"], stdout=subprocess.PIPE, check=True).stdout.decode()
        model = re.search(r"Model name:\s*(.+)", out).group(1).strip()
    except (OSError, subprocess.CalledProcessError, AttributeError):
        model = "unknown processor"
    return "%s, %d cores" % (model, os.cpu_count() or 0)


def main():
    build = sys.argv[1]
    load_before = os.getloadavg()
    with tempfile.TemporaryDirectory(prefix="bv-compare-") as folder:
        pictures = make_pictures(build, folder)
        lines = compare_frames(build) + compare_pcx(build, pictures) + memory(build)
    load_after = os.getloadavg()
    print("Brivondel against the software renderer and image readers people would otherwise use")
    print("machine: %s; load average %.2f before, %.2f after; median of %d runs"
          % (machine(), load_before[0], load_after[0], RUNS))
    print()
    print("%-8s %-34s %13s  %13s  %8s" % ("", "", "Brivondel", "other", "ratio"))
    for section, text in lines:
        print("%-8s %s" % (section, text))


if __name__ == "__main__":
    main()
