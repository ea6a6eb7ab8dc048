#!/usr/bin/env python3
"""Draws Torvane's artwork: the three tray icons and the splash bitmap.

    python3 res/draw_art.py

writes res/enabled.ico (icon 101), res/blink.ico (117), res/disabled.ico (137)
and res/splash.bmp (bitmap 112) next to this script.

The icons are 32 x 32, 16 colours: they are drawn pixel by pixel here, with
shapes sampled at the pixel grid and coloured from the standard VGA palette,
because anti-aliased edges only turn to mud in 16 colours. The splash is
400 x 200, 256 colours: ImageMagick renders the text and the smooth shapes in
full colour, and this script reduces that to a palette of its own and writes
the file. Standard library only; the output is the same on every run.
"""

import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour VGA palette, in the order Windows uses it.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


# ---------------------------------------------------------------------------
# Geometry shared by the icons and the splash

def bezier(p0, p1, p2, steps):
    """Points of a quadratic curve from p0 to p2, without p0."""
    out = []
    for i in range(1, steps + 1):
        t = i / steps
        a, b, c = (1 - t) * (1 - t), 2 * (1 - t) * t, t * t
        out.append((a * p0[0] + b * p1[0] + c * p2[0],
                    a * p0[1] + b * p1[1] + c * p2[1]))
    return out


def shield(x, y, w, h, steps=16):
    """The shield as a polygon inside the box (x, y, w, h): a flat top with a
    shallow dip in the middle, straight sides, and two curves meeting in a
    point at the bottom centre."""
    def p(u, v):
        return (x + u * w, y + v * h)
    pts = [p(0.0, 0.0)]
    pts += bezier(p(0.0, 0.0), p(0.25, 0.0), p(0.5, 0.05), steps // 2)
    pts += bezier(p(0.5, 0.05), p(0.75, 0.0), p(1.0, 0.0), steps // 2)
    pts.append(p(1.0, 0.45))
    pts += bezier(p(1.0, 0.45), p(1.0, 0.82), p(0.5, 1.0), steps)
    pts += bezier(p(0.5, 1.0), p(0.0, 0.82), p(0.0, 0.45), steps)
    return pts


def inside(poly, px, py):
    """Even-odd test of the point (px, py) against the polygon."""
    hit = False
    n = len(poly)
    for i in range(n):
        x0, y0 = poly[i]
        x1, y1 = poly[(i + 1) % n]
        if (y0 > py) != (y1 > py):
            if px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
    return hit


# ---------------------------------------------------------------------------
# 32 x 32 icons

SIZE = 32


def polygon_mask(poly, ss=4):
    """Pixels covered at least half by the polygon (ss x ss samples each)."""
    mask = set()
    need = (ss * ss + 1) // 2
    for j in range(SIZE):
        for i in range(SIZE):
            n = 0
            for sj in range(ss):
                for si in range(ss):
                    if inside(poly, i + (si + 0.5) / ss, j + (sj + 0.5) / ss):
                        n += 1
            if n >= need:
                mask.add((i, j))
    return mask


def rect_mask(x0, y0, x1, y1):
    """Pixels of the rectangle [x0, x1) x [y0, y1)."""
    return {(i, j) for j in range(y0, y1) for i in range(x0, x1)}


def bar_mask(ax, ay, bx, by, width):
    """Pixels whose centre lies within width/2 of the segment a-b."""
    mask = set()
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    for j in range(SIZE):
        for i in range(SIZE):
            cx, cy = i + 0.5, j + 0.5
            t = max(0.0, min(1.0, ((cx - ax) * dx + (cy - ay) * dy) / ll))
            ex, ey = ax + t * dx - cx, ay + t * dy - cy
            if ex * ex + ey * ey <= (width / 2) ** 2:
                mask.add((i, j))
    return mask


NEIGHBOURS4 = ((0, -1), (-1, 0), (1, 0), (0, 1))


def rim(mask):
    """Pixels of the mask that touch a pixel outside it."""
    return {(i, j) for (i, j) in mask
            if any((i + di, j + dj) not in mask for di, dj in NEIGHBOURS4)}


def grow(mask):
    """The mask and every pixel next to it (8 neighbours)."""
    out = set(mask)
    for (i, j) in mask:
        for dj in (-1, 0, 1):
            for di in (-1, 0, 1):
                if 0 <= i + di < SIZE and 0 <= j + dj < SIZE:
                    out.add((i + di, j + dj))
    return out


def shift(mask, di, dj):
    return {(i + di, j + dj) for (i, j) in mask}


def paint(canvas, mask, colour):
    for (i, j) in mask:
        if 0 <= i < SIZE and 0 <= j < SIZE:
            canvas[j][i] = colour


ICON_SHIELD = shield(4, 1.5, 24, 29)


def t_mask():
    """The bold T on the shield."""
    return rect_mask(9, 7, 23, 11) | rect_mask(14, 11, 18, 25)


def draw_shield(canvas, scheme):
    """The shield with its T; scheme names the colours of each part. The
    halves in two shades give it a ridge down the middle; every part is at
    least a pixel wide on its own, so the shapes survive the tray shrinking
    the icon to 16 x 16 by dropping every other pixel."""
    body = polygon_mask(ICON_SHIELD)
    edge = rim(body)
    inner = body - edge
    left = {(i, j) for (i, j) in inner if i < SIZE // 2}
    paint(canvas, inner - left, scheme["dark"])
    paint(canvas, left, scheme["light"])
    paint(canvas, edge, scheme["outline"])
    t = t_mask()
    paint(canvas, shift(t, 1, 1) - t, scheme["t_shadow"])
    paint(canvas, t, scheme["t"])
    return body


ENABLED = dict(outline=BLACK, light=BLUE, dark=NAVY, t=YELLOW, t_shadow=BLACK)
DISABLED = dict(outline=BLACK, light=SILVER, dark=GREY, t=WHITE,
                t_shadow=BLACK)


def new_canvas():
    """32 x 32 transparent pixels; a pixel is a VGA palette index or None."""
    return [[None] * SIZE for _ in range(SIZE)]


def icon_enabled():
    canvas = new_canvas()
    draw_shield(canvas, ENABLED)
    return canvas


def icon_blink():
    """The enabled icon caught by the scanning beam: a bright sheen sweeps
    across the shield and the T lights up white. Everything else stays in
    place, so the blink reads as a flash of the same icon."""
    canvas = new_canvas()
    body = draw_shield(canvas, dict(ENABLED, t=WHITE))
    inner = body - rim(body)
    t = t_mask()
    keep = t | shift(t, 1, 1)
    wide = {(i, j) for (i, j) in inner if 20 <= i + j <= 22}
    thin = {(i, j) for (i, j) in inner if i + j == 25}
    core = {(i, j) for (i, j) in wide if i + j == 21}
    paint(canvas, (wide | thin) - keep, AQUA)
    paint(canvas, core - keep, WHITE)
    return canvas


def icon_disabled():
    """The shield in greys, struck through by a red bar."""
    canvas = new_canvas()
    draw_shield(canvas, DISABLED)
    bar = bar_mask(5.5, 5.5, 26.5, 26.5, 3.6)
    paint(canvas, grow(bar) - bar, BLACK)
    paint(canvas, bar, RED)
    return canvas


def ico_bytes(canvas):
    """One 32 x 32, 4-bit icon image with its AND mask, as an .ico file."""
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in VGA)
    xor = bytearray()
    mask = bytearray()
    for j in range(SIZE - 1, -1, -1):          # bottom-up rows
        row = canvas[j]
        for i in range(0, SIZE, 2):
            hi = row[i] if row[i] is not None else 0
            lo = row[i + 1] if row[i + 1] is not None else 0
            xor.append(hi << 4 | lo)
        bits = 0
        for i in range(SIZE):
            bits = bits << 1 | (1 if row[i] is None else 0)
        mask += bits.to_bytes(4, "big")
    image_size = len(xor) + len(mask)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         image_size, 0, 0, 0, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image),
                        6 + 16)
    return icondir + entry + image


# ---------------------------------------------------------------------------
# 400 x 200 splash

SPLASH_W, SPLASH_H = 400, 200


def available_fonts():
    try:
        out = subprocess.run(["convert", "-list", "font"], check=True,
                             capture_output=True, text=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return set()
    return {line.split(":", 1)[1].strip() for line in out.splitlines()
            if line.strip().startswith("Font:")}


def pick_font(fonts, *wanted):
    """The first wanted font ImageMagick knows, or None for its default."""
    for name in wanted:
        if name in fonts:
            return name
    return None


def font_args(name):
    return ["-font", name] if name else []


def path_of(poly):
    return "M " + " L ".join("%.2f,%.2f" % p for p in poly) + " Z"


def render_splash():
    fonts = available_fonts()
    bold = pick_font(fonts, "DejaVu-Sans-Bold", "Helvetica-Bold",
                     "Liberation-Sans-Bold", "Arial-Bold")
    plain = pick_font(fonts, "DejaVu-Sans", "Helvetica", "Liberation-Sans",
                      "Arial")

    panel = 140
    sx, sy, sw, sh = 26, 28, 88, 118
    outer = shield(sx, sy, sw, sh, 64)
    inner = shield(sx + 6, sy + 6, sw - 12, sh - 14, 64)
    cx, cy = sx + sw / 2, sy + sh * 0.45
    # The T in the shield's proportions of the icon: bar 14/24 wide.
    tw, tb, ts = sw * 14 / 24, sh * 4 / 29, sw * 4 / 24
    ty = sy + sh * 5.5 / 29
    t_poly = [(cx - tw / 2, ty), (cx + tw / 2, ty), (cx + tw / 2, ty + tb),
              (cx + ts / 2, ty + tb), (cx + ts / 2, ty + sh * 18 / 29),
              (cx - ts / 2, ty + sh * 18 / 29), (cx - ts / 2, ty + tb),
              (cx - tw / 2, ty + tb)]
    t_shadow = [(x + 3, y + 3) for (x, y) in t_poly]

    rings = []
    for r in (70, 92, 114, 136):
        rings += ["-draw", "circle %.1f,%.1f %.1f,%.1f" % (cx, cy, cx + r, cy)]

    cmd = ["convert", "-size", "%dx%d" % (SPLASH_W, SPLASH_H), "xc:white",
           # left panel: a deep blue gradient behind the shield
           "(", "-size", "%dx%d" % (panel, SPLASH_H),
           "gradient:#1b3f9e-#06154a", ")",
           "-geometry", "+0+0", "-composite",
           # faint rings spreading from the shield, like a sweep of radar
           "-fill", "none", "-stroke", "#ffffff1c", "-strokewidth", "2",
           ] + rings + [
           "-stroke", "none",
           # the shield's drop shadow, its body in two halves, and its rim
           "-fill", "#00000060",
           "-draw", "path '%s'" % path_of([(x + 4, y + 5) for x, y in outer]),
           "-fill", "#0b0b2a", "-draw", "path '%s'" % path_of(outer),
           "-fill", "#e8f4ff", "-draw", "path '%s'" % path_of(
               shield(sx + 3, sy + 3, sw - 6, sh - 7, 64)),
           "-fill", "#0a1f7a", "-draw", "path '%s'" % path_of(inner),
           "-fill", "#1f55e0", "-draw", "polygon %s" % " ".join(
               "%.2f,%.2f" % p for p in inner if p[0] <= cx + 0.01),
           "-fill", "#0b0b2a", "-draw", "path '%s'" % path_of(t_shadow),
           "-fill", "#ffd800", "-draw", "path '%s'" % path_of(t_poly),
           ]
    cmd += font_args(bold) + [
        "-fill", "#0a1f7a", "-pointsize", "46",
        "-annotate", "+%d+%d" % (panel + 24, 82), "Torvane"]
    cmd += ["-fill", "#ffd800", "-draw",
            "rectangle %d,%d %d,%d" % (panel + 26, 96, SPLASH_W - 24, 99)]
    cmd += font_args(plain) + [
        "-fill", "#303030", "-pointsize", "12.5",
        "-annotate", "+%d+%d" % (panel + 26, 122),
        "On-access virus protection",
        "-annotate", "+%d+%d" % (panel + 26, 139),
        "for Windows 95 and 98"]
    cmd += font_args(bold) + [
        "-fill", "#0a1f7a", "-pointsize", "12",
        "-gravity", "SouthEast", "-annotate", "+24+20", "Version 1.05",
        "-gravity", "NorthWest",
        "-fill", "none", "-stroke", "#06154a",
        "-draw", "rectangle 0,0 %d,%d" % (SPLASH_W - 1, SPLASH_H - 1),
        "-depth", "8", "ppm:-"]
    try:
        out = subprocess.run(cmd, check=True, capture_output=True).stdout
    except OSError:
        sys.exit("draw_art: ImageMagick's convert is needed for the splash")
    except subprocess.CalledProcessError as e:
        sys.exit("draw_art: convert failed: %s"
                 % e.stderr.decode(errors="replace"))
    return read_ppm(out)


def read_ppm(data):
    """Pixels of a binary PPM (P6, 8 bits) as a list of (r, g, b) rows."""
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
    pos += 1
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit("draw_art: ImageMagick gave no 8-bit PPM")
    w, h = int(fields[1]), int(fields[2])
    if (w, h) != (SPLASH_W, SPLASH_H):
        sys.exit("draw_art: splash came out %dx%d" % (w, h))
    px = data[pos:pos + w * h * 3]
    return [[tuple(px[(j * w + i) * 3:(j * w + i) * 3 + 3]) for i in range(w)]
            for j in range(h)]


def median_cut(counts, boxes_wanted):
    """Median cut over {colour: count}; returns the boxes' mean colours."""
    boxes = [sorted(counts)]
    while len(boxes) < boxes_wanted:
        best, best_score, best_axis = -1, 0, 0
        for k, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for axis in range(3):
                lo = min(c[axis] for c in box)
                hi = max(c[axis] for c in box)
                weight = sum(counts[c] for c in box)
                score = (hi - lo) * weight ** 0.5
                if score > best_score:
                    best, best_score, best_axis = k, score, axis
        if best < 0:
            break
        box = sorted(boxes.pop(best), key=lambda c: (c[best_axis], c))
        total = sum(counts[c] for c in box)
        run, cut = 0, 1
        for n, c in enumerate(box[:-1]):
            run += counts[c]
            if run * 2 >= total:
                cut = n + 1
                break
        boxes[best:best] = [box[:cut], box[cut:]]
    means = []
    for box in boxes:
        total = sum(counts[c] for c in box)
        means.append(tuple(
            int(round(sum(c[a] * counts[c] for c in box) / total))
            for a in range(3)))
    return means


def nearest(palette, colour):
    r, g, b = colour
    best, best_d = 0, None
    for k, (pr, pg, pb) in enumerate(palette):
        d = 2 * (pr - r) ** 2 + 4 * (pg - g) ** 2 + 3 * (pb - b) ** 2
        if best_d is None or d < best_d:
            best, best_d = k, d
    return best


def fit_palette(counts):
    """256 colours for the picture: the VGA colours first, so the large flat
    areas that use them survive a 16-colour display; then the most frequent
    colours exactly (flat fills, the gradient's rows); then median cut over
    the rest (edges of text and shapes), refined by a few k-means passes."""
    palette = list(VGA)
    rest = sorted((c for c in counts if c not in VGA),
                  key=lambda c: (-counts[c], c))
    if len(rest) <= 256 - len(palette):
        return palette + sorted(rest)
    exact = 112
    palette += rest[:exact]
    others = rest[exact:]
    fixed = len(palette)
    palette += median_cut({c: counts[c] for c in others}, 256 - fixed)
    for _ in range(4):
        sums = {}
        for c in others:
            k = nearest(palette, c)
            if k >= fixed:
                s = sums.setdefault(k, [0, 0, 0, 0])
                n = counts[c]
                s[0] += c[0] * n
                s[1] += c[1] * n
                s[2] += c[2] * n
                s[3] += n
        for k, (r, g, b, n) in sums.items():
            palette[k] = (int(round(r / n)), int(round(g / n)),
                          int(round(b / n)))
    return palette + [(0, 0, 0)] * (256 - len(palette))


def bmp_bytes(pixels):
    """The splash as an 8-bit, bottom-up BMP with version 3 headers."""
    counts = {}
    for row in pixels:
        for c in row:
            counts[c] = counts.get(c, 0) + 1
    palette = fit_palette(counts)
    index = {c: nearest(palette, c) for c in counts}
    rows = bytearray()
    for j in range(SPLASH_H - 1, -1, -1):
        rows += bytes(index[c] for c in pixels[j])
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, SPLASH_W, SPLASH_H, 1, 8, 0,
                       len(rows), 2835, 2835, 256, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return head + info + pal + bytes(rows)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    write("enabled.ico", ico_bytes(icon_enabled()))
    write("blink.ico", ico_bytes(icon_blink()))
    write("disabled.ico", ico_bytes(icon_disabled()))
    write("splash.bmp", bmp_bytes(render_splash()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
