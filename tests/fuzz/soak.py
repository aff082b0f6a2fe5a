#!/usr/bin/python3
"""Soak run: bv-render (the demo's start-up and frames, headless) with a
random key script under AddressSanitizer, watching its memory.

  tests/fuzz/soak.py BV_RENDER [--frames N] [--seed S] [--display-flags F]

BV_RENDER is bv-render from the sanitized build (-DBV_SANITIZE=ON). The
script is random steps [shift+]KEY*COUNT (COUNT 1 to 30, every key of the
demo and "none") until N frames (UpdateFrame calls, default 100000) are
spoken for; it stays below the 128 KiB a single argument may have. The
moves are kept within a box around the start (the demo moves the cube 3
units a frame) so that the cube stays in view, from far away to through
the near plane, instead of wandering off: a frame without the cube in it
exercises little. The
resident set size is sampled every 2 seconds; the run passes when
bv-render exits 0 with no sanitizer report and the median of the last
quarter of the samples lies less than 5% above the median of the second
quarter (the first is start-up; single samples wander with the sanitizer's
quarantine).
"""
import argparse
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile
import time

KEYS = ["kp_minus", "kp_plus", "left", "right", "up", "down", "x", "y", "z", "none"]
# Key -> (axis, units per frame), after the demo's controls; the cube starts
# at (0, 0, 100) and the near plane is at 40.
MOVES = {"kp_minus": ("z", 3), "kp_plus": ("z", -3), "left": ("x", -3), "right": ("x", 3),
         "up": ("y", 3), "down": ("y", -3)}
OPPOSITE = {"kp_minus": "kp_plus", "kp_plus": "kp_minus", "left": "right", "right": "left",
            "up": "down", "down": "up"}
BOX = {"x": (-60, 60), "y": (-45, 45), "z": (10, 300)}


def key_script(frames, rng):
    steps = []
    position = {"x": 0, "y": 0, "z": 100}
    left = frames
    while left > 0:
        count = min(rng.randint(1, 30), left)
        key = rng.choice(KEYS)
        if key in MOVES:
            axis, step = MOVES[key]
            lo, hi = BOX[axis]
            room = (hi - position[axis]) // step if step > 0 else (position[axis] - lo) // -step
            if room < 1:
                key = OPPOSITE[key]
                axis, step = MOVES[key]
                room = (hi - position[axis]) // step if step > 0 else (position[axis] - lo) // -step
            count = min(count, room)
            position[axis] += step * count
        shift = "shift+" if key != "none" and rng.random() < 0.3 else ""
        steps.append(f"{shift}{key}*{count}")
        left -= count
    return ",".join(steps), len(steps)


def rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            m = re.search(r"VmRSS:\s+(\d+) kB", f.read())
            return int(m.group(1)) if m else None
    except OSError:
        return None


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("bv_render")
    ap.add_argument("--frames", type=int, default=100000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--display-flags", default=None)
    args = ap.parse_args()

    script, steps = key_script(args.frames, random.Random(args.seed))
    env = dict(os.environ)
    env.setdefault("SDL_VIDEODRIVER", "offscreen")
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1")
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    out = tempfile.mkdtemp()
    cmd = [os.path.abspath(args.bv_render), "--keys", script, "--out", os.path.join(out, "last.png")]
    if args.display_flags is not None:
        cmd += ["--display-flags", args.display_flags]
    print(f"soak: {args.frames} frames in {steps} random steps (seed {args.seed}, script {len(script)} bytes)",
          flush=True)
    start = time.monotonic()
    log = open(os.path.join(out, "stderr.txt"), "w+")
    p = subprocess.Popen(cmd, cwd=os.path.dirname(os.path.abspath(args.bv_render)), env=env, stderr=log)
    samples = []
    while p.poll() is None:
        r = rss_kib(p.pid)
        if r is not None:
            samples.append((time.monotonic() - start, r))
        time.sleep(2)
    seconds = time.monotonic() - start
    log.seek(0)
    errors = log.read()
    print(f"soak: exit {p.returncode} after {seconds:.0f} s")
    for t, r in samples[:: max(1, len(samples) // 10)] + samples[-1:]:
        print(f"  t={t:7.1f} s  rss={r / 1024:7.1f} MiB")
    if len(samples) >= 8:
        q = len(samples) // 4
        early = statistics.median(r for _, r in samples[q:2 * q])
        late = statistics.median(r for _, r in samples[-q:])
        growth = (late - early) / early
        print(f"soak: median rss, second quarter {early / 1024:.1f} MiB, last quarter {late / 1024:.1f} MiB "
              f"({100 * growth:+.1f}%), peak {max(r for _, r in samples) / 1024:.1f} MiB")
    else:
        growth = 0.0
        print("soak: too short a run to judge its memory")
    findings = [line for line in errors.splitlines() if "ERROR:" in line or "runtime error" in line]
    for line in findings[:10]:
        print("  " + line)
    if errors.strip():
        print(f"soak: stderr kept in {log.name}")
    print(f"soak: the last frame is {os.path.join(out, 'last.png')}")
    ok = p.returncode == 0 and not findings and growth < 0.05
    print("soak: " + ("passed" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
