#!/usr/bin/env python3
"""Compares two binary PPM pictures as the 16-bit display sees them.

    compare_frames.py same|differ A.ppm B.ppm [--region X0,Y0,X1,Y1]

Both pictures are reduced to 5-6-5 (red and blue keep 5 bits, green 6)
before comparing, so the rounding of widening a 16-bit page to 24 bits on
the way to the screen does not count. "same" succeeds when every pixel of
the region (X1, Y1 exclusive) agrees, "differ" when at least one does not.
Samples may be 8 or 16 bits wide.
Prints one line with the count of differing pixels.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    maxval = int(fields[3])
    if fields[0] != b"P6" or maxval not in (255, 65535):
        raise SystemExit(f"{path}: not a binary PPM of 8 or 16 bits a sample")
    width, height = int(fields[1]), int(fields[2])
    size = width * height * 3 * (2 if maxval == 65535 else 1)
    pixels = data[pos + 1:pos + 1 + size]
    if len(pixels) != size:
        raise SystemExit(f"{path}: picture data is short")
    if maxval == 65535:
        # xwdtopnm widens 8-bit samples to 16 by repeating the byte: keep the high one.
        pixels = pixels[0::2]
    return width, height, pixels


def main(argv):
    if len(argv) not in (4, 6) or argv[1] not in ("same", "differ"):
        raise SystemExit(__doc__)
    mode, a_path, b_path = argv[1], argv[2], argv[3]
    wa, ha, a = read_ppm(a_path)
    wb, hb, b = read_ppm(b_path)
    if (wa, ha) != (wb, hb):
        print(f"sizes differ: {wa}x{ha} and {wb}x{hb}")
        return 0 if mode == "differ" else 1
    x0, y0, x1, y1 = 0, 0, wa, ha
    if len(argv) == 6:
        x0, y0, x1, y1 = (int(v) for v in argv[5].split(","))
    shifts = (3, 2, 3)
    if a == b:
        print("0 pixels differ")
        return 0 if mode == "same" else 1
    differing = 0
    first = None
    for y in range(y0, y1):
        row = y * wa * 3
        for x in range(x0, x1):
            i = row + 3 * x
            for c in range(3):
                if a[i + c] >> shifts[c] != b[i + c] >> shifts[c]:
                    differing += 1
                    if first is None:
                        first = (x, y, tuple(a[i:i + 3]), tuple(b[i:i + 3]))
                    break
    detail = f", first at {first[0]},{first[1]}: {first[2]} vs {first[3]}" if first else ""
    print(f"{differing} pixels differ{detail}")
    same = differing == 0
    return 0 if same == (mode == "same") else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
