#!/usr/bin/python3
"""Draws the Torvo-Mell pedal artwork: the six PNG images in resources/img/.

The PNGs are committed; the build never runs this script. Run it after changing the
artwork and commit the images it writes:

    apt-get install -y python3-pil python3-numpy fonts-dejavu-core
    /usr/bin/python3 resources/make-artwork.py

Everything is drawn at SS times the final size and reduced with a box filter on
premultiplied colour, which gives clean anti-aliased edges. All noise comes from fixed
seeds, so the output is the same on every run.

Layout facts the images must honour (editor pixels, rectangles are left, top, right, bottom):
  LED (91,15,109,33), cabinet toggle (80,61,120,101), footswitch (80,172,120,212),
  Level knob (18,86,83,151), Attack knob (115,86,180,151) - knob centres (50.5,118.5) and
  (147.5,118.5) - about panel (5,156,186,306), logo plate = about panel's trigger (10,35,80,55).
  Knob strip: 65 frames, frame k (0-based) shows value k/64, pointer angle -135 + 270*k/64
  degrees clockwise from straight up. Two-frame images: upper frame = value 0.
"""

import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

SS = 4  # supersampling factor
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "img")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

LIGHT = np.array([-0.55, -0.75, 0.95])  # light from the upper left, in front
LIGHT = LIGHT / np.linalg.norm(LIGHT)

KNOB_SWEEP = 270.0


# ----------------------------------------------------------------------------- canvas


class Canvas:
    """Premultiplied RGBA in floats at SS times the output size."""

    def __init__(self, w, h, fill=None):
        self.w, self.h = w, h
        self.px = np.zeros((h * SS, w * SS, 4), dtype=np.float64)
        ys, xs = np.mgrid[0:h * SS, 0:w * SS]
        self.X = (xs + 0.5) / SS
        self.Y = (ys + 0.5) / SS
        if fill is not None:
            self.px[..., :3] = np.array(fill, dtype=np.float64)
            self.px[..., 3] = 1.0

    def over(self, color, alpha):
        """Paints colour (tuple or HxWx3 array) with coverage alpha (scalar or HxW) over the canvas."""
        a = np.clip(np.broadcast_to(np.asarray(alpha, dtype=np.float64), self.px.shape[:2]), 0.0, 1.0)
        c = np.broadcast_to(np.asarray(color, dtype=np.float64), self.px.shape[:2] + (3,))
        inv = 1.0 - a
        self.px[..., :3] = np.clip(c, 0.0, 1.0) * a[..., None] + self.px[..., :3] * inv[..., None]
        self.px[..., 3] = a + self.px[..., 3] * inv

    def add_light(self, color, alpha):
        """Adds light (screen blend) where the canvas is already covered."""
        a = np.clip(np.asarray(alpha, dtype=np.float64), 0.0, 1.0)
        c = np.asarray(color, dtype=np.float64)
        cov = self.px[..., 3]
        add = c * (a * cov)[..., None]
        self.px[..., :3] = self.px[..., :3] + add - self.px[..., :3] * add

    def image(self, mode):
        h, w = self.h, self.w
        p = self.px.reshape(h, SS, w, SS, 4).mean(axis=(1, 3))
        a = p[..., 3]
        rgb = np.where(a[..., None] > 1e-6, p[..., :3] / np.maximum(a, 1e-6)[..., None], 0.0)
        if mode == "RGB":
            # opaque image: composite onto black (every pixel is covered anyway)
            rgb = p[..., :3]
            arr = np.clip(np.round(rgb * 255.0), 0, 255).astype(np.uint8)
            return Image.fromarray(arr, "RGB")
        out = np.concatenate([rgb, a[..., None]], axis=2)
        arr = np.clip(np.round(out * 255.0), 0, 255).astype(np.uint8)
        arr[arr[..., 3] == 0] = 0
        return Image.fromarray(arr, "RGBA")


# ----------------------------------------------------------------------------- shapes


def cov(sd):
    """Coverage from a signed distance in output pixels (negative inside)."""
    return np.clip(0.5 - sd * SS, 0.0, 1.0)


def sd_circle(cv, cx, cy, r):
    return np.hypot(cv.X - cx, cv.Y - cy) - r


def sd_rrect(cv, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r
    qx = np.abs(cv.X - cx) - hx
    qy = np.abs(cv.Y - cy) - hy
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0))
    inside = np.minimum(np.maximum(qx, qy), 0)
    return outside + inside - r


def sd_segment(cv, x0, y0, x1, y1, r0, r1=None):
    """Capsule from (x0,y0) to (x1,y1) with radius r0 at the start tapering to r1."""
    if r1 is None:
        r1 = r0
    px, py = cv.X - x0, cv.Y - y0
    dx, dy = x1 - x0, y1 - y0
    L2 = dx * dx + dy * dy
    t = np.clip((px * dx + py * dy) / L2, 0.0, 1.0)
    d = np.hypot(px - t * dx, py - t * dy)
    return d - (r0 + (r1 - r0) * t), t


def sd_hexagon(cv, cx, cy, apothem, rot=0.0):
    px, py = cv.X - cx, cv.Y - cy
    d = None
    for i in range(3):
        a = rot + i * math.pi / 3.0
        v = np.abs(px * math.cos(a) + py * math.sin(a))
        d = v if d is None else np.maximum(d, v)
    return d - apothem


def box_blur(a, r, axis):
    if r < 1:
        return a
    pad = [(0, 0)] * a.ndim
    pad[axis] = (r + 1, r)
    c = np.cumsum(np.pad(a, pad, mode="edge"), axis=axis)
    n = a.shape[axis]
    hi = np.take(c, np.arange(2 * r + 1, 2 * r + 1 + n), axis=axis)
    lo = np.take(c, np.arange(0, n), axis=axis)
    return (hi - lo) / (2 * r + 1)


def blur(a, sigma_px):
    """Approximate Gaussian blur (three box passes); sigma in output pixels."""
    s = sigma_px * SS
    r = max(1, int(round(math.sqrt(12.0 * s * s / 3.0 + 1.0) / 2.0)))
    for _ in range(3):
        a = box_blur(a, r, 0)
        a = box_blur(a, r, 1)
    return a


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), int(round(size * SS)))


def text_mask(cv, text, x, y, fnt, anchor="mm", spacing=0.0):
    """Coverage mask of text placed at (x, y) in output pixels; spacing = extra tracking in px."""
    img = Image.new("L", (cv.w * SS, cv.h * SS), 0)
    d = ImageDraw.Draw(img)
    if spacing == 0.0:
        d.text((x * SS, y * SS), text, font=fnt, fill=255, anchor=anchor)
    else:
        widths = [d.textlength(ch, font=fnt) for ch in text]
        total = sum(widths) + spacing * SS * (len(text) - 1)
        if anchor[0] == "m":
            cx = x * SS - total / 2.0
        elif anchor[0] == "r":
            cx = x * SS - total
        else:
            cx = x * SS
        for ch, wd in zip(text, widths):
            d.text((cx, y * SS), ch, font=fnt, fill=255, anchor="l" + anchor[1])
            cx += wd + spacing * SS
    return np.asarray(img, dtype=np.float64) / 255.0


def text_width(text, fnt, spacing=0.0):
    d = ImageDraw.Draw(Image.new("L", (1, 1)))
    return (sum(d.textlength(ch, font=fnt) for ch in text) + spacing * SS * (len(text) - 1)) / SS


def mix(a, b, t):
    t = np.asarray(t, dtype=np.float64)
    a = np.asarray(a, dtype=np.float64)
    b = np.asarray(b, dtype=np.float64)
    if t.ndim:
        t = t[..., None]
    return a + (b - a) * t


def gray(v):
    v = np.clip(np.asarray(v, dtype=np.float64), 0, 1)
    return np.stack([v, v, v], axis=-1)


def tint(v, rgb):
    v = np.asarray(v, dtype=np.float64)
    return v[..., None] * np.asarray(rgb, dtype=np.float64)


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3 - 2 * t)


def lambert_from_height(hgt, scale):
    """Diffuse term of a height field (hgt in output pixels, sampled at SS)."""
    gy, gx = np.gradient(hgt * SS * scale)
    n = np.stack([-gx, -gy, np.ones_like(hgt)], axis=-1)
    n /= np.linalg.norm(n, axis=-1, keepdims=True)
    return n @ LIGHT


# ----------------------------------------------------------------------------- parts


def chrome_disc(cv, cx, cy, r, bright=1.0, bulge=0.85):
    """A polished metal dome reflecting a bright sky above a dark horizon and a dim floor.

    bulge 0 is a flat mirror, 1 a half sphere."""
    dx, dy = (cv.X - cx) / r, (cv.Y - cy) / r
    rr2 = np.clip(dx * dx + dy * dy, 0.0, 1.0)
    nx, ny = dx * bulge, dy * bulge
    nz = np.sqrt(np.clip(1.0 - rr2 * bulge * bulge, 0.02, 1.0))
    rx, ry, rz = 2 * nz * nx, 2 * nz * ny, 2 * nz * nz - 1.0   # reflected view ray
    t = -ry + 0.32 - 0.10 * rx                                  # height of what is seen
    sky = 0.66 + 0.34 * smoothstep(0.0, 1.0, t)
    floor = 0.46 - 0.20 * smoothstep(0.0, -0.9, t)
    v = floor + (sky - floor) * smoothstep(-0.06, 0.12, t)
    v = v - 0.22 * np.exp(-((t - 0.02) / 0.08) ** 2)           # dark horizon line
    rl = np.clip(rx * LIGHT[0] + ry * LIGHT[1] + rz * LIGHT[2], 0, 1)
    spec = rl ** 40
    v = np.clip(v * bright, 0, 1)
    col = mix(tint(v, (0.72, 0.68, 0.64)), tint(v, (0.93, 0.97, 1.0)), smoothstep(-0.05, 0.1, t))
    col = col + (spec * bright)[..., None]
    cv.over(np.clip(col, 0, 1), cov(sd_circle(cv, cx, cy, r)))


def hex_nut(cv, cx, cy, apothem, rot=0.0, bright=1.0):
    px, py = cv.X - cx, cv.Y - cy
    ang = np.arctan2(py, px) - rot
    facet = np.floor((ang + math.pi / 6.0) / (math.pi / 3.0))
    fang = facet * (math.pi / 3.0) + rot
    nx, ny = np.cos(fang), np.sin(fang)
    lit = -(nx * LIGHT[0] + ny * LIGHT[1])
    v = 0.50 + 0.32 * lit
    # bevel: facets darken towards the outline
    sd = sd_hexagon(cv, cx, cy, apothem, rot)
    edge = smoothstep(-1.6, 0.0, sd)
    v = v * (1.0 - 0.25 * edge) + 0.25 * lit * edge
    v = np.clip(v * bright, 0, 1)
    cv.over(tint(v, (0.96, 0.97, 1.0)), cov(sd))


def shift(m, dx, dy):
    """Moves a mask by (dx, dy) output pixels, filling with zero (no wrap-around)."""
    sx, sy = int(round(dx * SS)), int(round(dy * SS))
    out = np.zeros_like(m)
    h, w = m.shape
    ys0, ys1 = max(0, sy), min(h, h + sy)
    xs0, xs1 = max(0, sx), min(w, w + sx)
    out[ys0:ys1, xs0:xs1] = m[ys0 - sy:ys1 - sy, xs0 - sx:xs1 - sx]
    return out


def soft_shadow(cv, sd, dx, dy, sigma, strength):
    """Shadow of a shape given by its signed distance, shifted by (dx, dy) output pixels."""
    m = shift(cov(sd), dx, dy)
    m = blur(m, sigma)
    cv.over((0.0, 0.0, 0.0), m * strength)


# ----------------------------------------------------------------------------- knob


def knob_frame(value):
    cv = Canvas(65, 65)
    c = 32.5
    theta = math.radians(-KNOB_SWEEP / 2.0 + KNOB_SWEEP * value)  # clockwise from straight up
    ux, uy = math.sin(theta), -math.cos(theta)
    R_SKIRT, R_TOP, R_CAP = 23.5, 19.0, 15.5

    soft_shadow(cv, sd_circle(cv, c, c, R_SKIRT), 1.3, 2.6, 2.2, 0.65)

    px, py = cv.X - c, cv.Y - c
    r = np.hypot(px, py)
    phi = np.arctan2(px, -py)  # clockwise from up, same convention as theta
    rx, ry = px / np.maximum(r, 1e-6), py / np.maximum(r, 1e-6)

    # skirt: a dark cone with knurled flutes that turn with the knob
    slope = smoothstep(R_TOP - 0.5, R_SKIRT, r)
    lit = -(rx * LIGHT[0] + ry * LIGHT[1])
    flutes = np.cos(28 * (phi - theta))
    ridge = np.clip(flutes, -1, 1)
    v = 0.13 + 0.09 * lit * slope + 0.07 * ridge * slope * (0.55 + 0.45 * lit)
    rim = np.exp(-((r - (R_SKIRT - 0.7)) / 0.55) ** 2) * (0.08 + 0.20 * np.clip(lit, 0, 1))
    edge = np.exp(-((r - (R_TOP + 0.2)) / 0.45) ** 2) * (0.06 + 0.22 * np.clip(lit, 0, 1))
    v = v + rim + edge
    cv.over(tint(v, (0.96, 0.97, 1.0)), cov(sd_circle(cv, c, c, R_SKIRT)))
    # flat top of the skirt
    top = 0.10 + 0.03 * (-(px * LIGHT[0] + py * LIGHT[1]) / R_TOP)
    cv.over(gray(top), cov(sd_circle(cv, c, c, R_TOP)))
    # white index line on the skirt
    sdl, _ = sd_segment(cv, c + ux * (R_CAP + 1.2), c + uy * (R_CAP + 1.2),
                        c + ux * (R_SKIRT - 1.0), c + uy * (R_SKIRT - 1.0), 0.85)
    cv.over((0.97, 0.95, 0.88), cov(sdl))

    # spun-metal cap: anisotropic highlight fixed to the light, concentric grain
    soft_shadow(cv, sd_circle(cv, c, c, R_CAP), 0.0, 0.6, 0.7, 0.6)
    rng = np.random.RandomState(1234)
    grain_r = rng.normal(0.0, 1.0, 400)
    gi = np.clip((r / R_CAP * 399).astype(int), 0, 399)
    grain = grain_r[gi] * 0.025
    lang = math.atan2(LIGHT[0], -LIGHT[1])
    aniso = 0.5 + 0.5 * np.cos(2.0 * (phi - lang))
    v = 0.52 + 0.30 * aniso ** 3 + grain - 0.10 * (r / R_CAP) ** 2
    cap_col = tint(np.clip(v, 0, 1), (0.97, 0.98, 1.0))
    cv.over(cap_col, cov(sd_circle(cv, c, c, R_CAP)))
    # cap bevel: thin bright edge at the top left, dark at the bottom right
    ring = np.exp(-((r - (R_CAP - 0.6)) / 0.5) ** 2)
    cv.over(gray(np.full(r.shape, 1.0)), ring * np.clip(lit, 0, 1) * 0.6 * cov(sd_circle(cv, c, c, R_CAP)))
    cv.over(gray(np.zeros(r.shape)), ring * np.clip(-lit, 0, 1) * 0.45 * cov(sd_circle(cv, c, c, R_CAP)))
    # engraved pointer on the cap
    sdl, _ = sd_segment(cv, c + ux * 3.5, c + uy * 3.5, c + ux * (R_CAP - 1.4), c + uy * (R_CAP - 1.4), 1.05)
    cv.over((0.05, 0.05, 0.06), cov(sdl) * 0.92)
    sdl2, _ = sd_segment(cv, c + ux * 3.5 + 0.45, c + uy * 3.5 + 0.6,
                         c + ux * (R_CAP - 1.4) + 0.45, c + uy * (R_CAP - 1.4) + 0.6, 1.05)
    edge = np.clip(cov(sdl2) - cov(sdl), 0, 1) * cov(sd_circle(cv, c, c, R_CAP - 0.8))
    cv.over((1.0, 1.0, 1.0), edge * 0.35)
    return cv.image("RGBA")


def make_knob():
    strip = Image.new("RGBA", (65, 65 * 65))
    for k in range(65):
        strip.paste(knob_frame(k / 64.0), (0, 65 * k))
    return strip


# ----------------------------------------------------------------------------- footswitch


def footswitch_frame(pressed):
    cv = Canvas(40, 40)
    c = 20.0
    soft_shadow(cv, sd_hexagon(cv, c, c, 16.2, math.pi / 6), 1.0, 2.0, 1.6, 0.6)
    hex_nut(cv, c, c, 16.2, math.pi / 6)
    # washer under the cap, then the dark gap the plunger moves in
    soft_shadow(cv, sd_circle(cv, c, c, 13.4), 0.3, 0.8, 0.7, 0.5)
    chrome_disc(cv, c, c, 13.4, bright=0.85, bulge=0.25)
    cv.over((0.05, 0.05, 0.06), cov(sd_circle(cv, c, c, 11.6)))
    if pressed:
        r, off, bright = 10.3, 0.7, 0.70
    else:
        r, off, bright = 11.1, -0.3, 1.0
        soft_shadow(cv, sd_circle(cv, c, c + off, r), 0.5, 1.3, 0.8, 0.75)
    chrome_disc(cv, c, c + off, r, bright=bright, bulge=0.75)
    # a turned groove near the rim of the cap
    rr = np.hypot(cv.X - c, cv.Y - (c + off))
    inside = cov(sd_circle(cv, c, c + off, r))
    cv.over((0.10, 0.10, 0.12), np.exp(-((rr - r * 0.80) / 0.35) ** 2) * inside * 0.45)
    return cv.image("RGBA")


def make_footswitch():
    img = Image.new("RGBA", (40, 80))
    img.paste(footswitch_frame(False), (0, 0))
    img.paste(footswitch_frame(True), (0, 40))
    return img


# ----------------------------------------------------------------------------- toggle


def toggle_frame(on):
    cv = Canvas(40, 40)
    c = 20.0
    # mounting nut and threaded bushing
    soft_shadow(cv, sd_hexagon(cv, c, c, 10.0, math.pi / 6), 0.9, 1.7, 1.2, 0.6)
    hex_nut(cv, c, c, 10.0, math.pi / 6)
    soft_shadow(cv, sd_circle(cv, c, c, 7.0), 0.3, 0.7, 0.6, 0.5)
    chrome_disc(cv, c, c, 7.0, bright=0.9, bulge=0.3)
    rr = np.hypot(cv.X - c, cv.Y - c)
    for rt in (5.6, 6.4):
        cv.over((0.15, 0.15, 0.17), np.exp(-((rr - rt) / 0.25) ** 2) * 0.45)
    cv.over((0.05, 0.05, 0.06), cov(sd_circle(cv, c, c, 4.3)))
    tip = (c + 2.5, 4.6) if on else (c - 2.5, 35.4)
    r0, r1, rb = 3.0, 2.1, 3.6
    sd, t = sd_segment(cv, c, c, tip[0], tip[1], r0, r1)
    ball = sd_circle(cv, tip[0], tip[1], rb)
    soft_shadow(cv, np.minimum(sd, ball), 2.4, 2.8, 1.2, 0.55)
    dx, dy = tip[0] - c, tip[1] - c
    L = math.hypot(dx, dy)
    nx, ny = -dy / L, dx / L  # across the lever
    across = (cv.X - c) * nx + (cv.Y - c) * ny
    width = r0 + (r1 - r0) * t
    sa = np.clip(across / width, -1, 1)  # -1..1 across the rod
    lside = 1.0 if -(nx * LIGHT[0] + ny * LIGHT[1]) > 0 else -1.0
    hl = np.exp(-((sa - 0.35 * lside) / 0.28) ** 2)
    v = 0.30 + 0.30 * (1 - sa * sa) + 0.60 * hl - 0.25 * np.exp(-((sa + 0.7 * lside) / 0.2) ** 2)
    v = v * (0.80 + 0.20 * (t if on else 1 - t))
    cv.over(tint(np.clip(v, 0, 1), (0.96, 0.98, 1.0)), cov(sd))
    chrome_disc(cv, tip[0], tip[1], rb, bright=1.0, bulge=0.95)
    return cv.image("RGBA")


def make_toggle():
    img = Image.new("RGBA", (40, 80))
    img.paste(toggle_frame(False), (0, 0))
    img.paste(toggle_frame(True), (0, 40))
    return img


# ----------------------------------------------------------------------------- LED


def led_frame(lit):
    cv = Canvas(18, 18)
    c = 9.0
    r = np.hypot(cv.X - c, cv.Y - c)
    if lit:
        glow = np.clip(1.0 - r / 9.0, 0, 1) ** 1.6 * 0.85
        cv.over((1.0, 0.16, 0.06), glow)
    else:
        soft_shadow(cv, sd_circle(cv, c, c, 6.6), 0.4, 0.9, 0.8, 0.6)
    chrome_disc(cv, c, c, 6.6, bright=0.9, bulge=0.3)
    cv.over((0.04, 0.02, 0.02), cov(sd_circle(cv, c, c, 5.2)))
    dx, dy = (cv.X - c) / 4.8, (cv.Y - c) / 4.8
    rr = np.clip(np.hypot(dx, dy), 0, 1)
    if lit:
        core = np.exp(-(rr / 0.55) ** 2)
        col = mix((0.95, 0.08, 0.03), (1.0, 0.92, 0.75), core)
        cv.over(col, cov(sd_circle(cv, c, c, 4.8)))
        cv.add_light((1.0, 0.25, 0.12), np.clip(1.0 - r / 9.0, 0, 1) * 0.35)
    else:
        v = 0.45 - 0.25 * rr ** 2 - 0.12 * (dy + 0.3)
        col = tint(np.clip(v, 0, 1), (0.62, 0.06, 0.05))
        cv.over(col, cov(sd_circle(cv, c, c, 4.8)))
    spec = np.exp(-(((dx + 0.35) / 0.25) ** 2 + ((dy + 0.40) / 0.18) ** 2))
    cv.over((1.0, 1.0, 1.0), spec * (0.85 if lit else 0.6))
    return cv.image("RGBA")


def make_led():
    img = Image.new("RGBA", (18, 36))
    img.paste(led_frame(False), (0, 0))
    img.paste(led_frame(True), (0, 18))
    return img


# ----------------------------------------------------------------------------- background

W, H = 213, 326
KNOBS = [((50.5, 118.5), "VOLUME"), ((147.5, 118.5), "ATTACK")]
PAINT = np.array([0.10, 0.30, 0.34])    # deep petrol enamel
INK = (0.95, 0.91, 0.80)                # cream print
LOGO = (10, 35, 80, 55)                 # the about panel's trigger area


def screw(cv, cx, cy, r, angle):
    soft_shadow(cv, sd_circle(cv, cx, cy, r), 0.5, 0.9, 0.7, 0.6)
    chrome_disc(cv, cx, cy, r, bright=0.85)
    ux, uy = math.cos(angle), math.sin(angle)
    for a in (0.0, math.pi / 2):
        vx = ux * math.cos(a) - uy * math.sin(a)
        vy = ux * math.sin(a) + uy * math.cos(a)
        sd, _ = sd_segment(cv, cx - vx * r * 0.62, cy - vy * r * 0.62, cx + vx * r * 0.62, cy + vy * r * 0.62, 0.55)
        cv.over((0.10, 0.10, 0.12), cov(sd) * 0.9)


def printed(cv, mask, color=INK, alpha=1.0):
    """Screen-printed ink with a faint shadow below."""
    sh = shift(mask, 0.0, 0.5)
    cv.over((0.0, 0.0, 0.0), sh * 0.35 * alpha)
    cv.over(color, mask * alpha)


def make_background():
    cv = Canvas(W, H, fill=(0.07, 0.07, 0.075))
    rng = np.random.RandomState(2300)

    box = sd_rrect(cv, 1.0, 1.0, W - 1.0, H - 1.0, 13.0)
    inside = cov(box)
    # enclosure body: height field with a rounded bevel
    depth = np.clip(-box, 0, None)
    hgt = 5.0 * (1.0 - (1.0 - np.clip(depth / 7.0, 0, 1)) ** 2)
    shade = lambert_from_height(hgt, 1.0)
    shade_flat = float(LIGHT[2])
    diffuse = shade / shade_flat

    # paint: gradient, hammered mottling and fine metal flake
    mott = rng.normal(0.0, 1.0, (H * SS, W * SS))
    mott = blur(mott, 3.0)
    mott = mott / (np.std(mott) + 1e-9)
    flake1 = rng.normal(0.0, 1.0, (H, W))
    flake = np.kron(flake1, np.ones((SS, SS)))
    vgrad = 1.10 - 0.22 * (cv.Y / H) - 0.06 * (cv.X / W)
    base = vgrad * (1.0 + 0.035 * mott + 0.045 * flake)
    col = PAINT[None, None, :] * (base * diffuse)[..., None]
    # specular sheen of the lacquer on the bevel and a broad soft one on the face
    spec = np.clip(diffuse - 1.0, 0, None) ** 1.5 * 1.6
    sheen = np.exp(-(((cv.X - 60) / 90.0) ** 2 + ((cv.Y - 40) / 110.0) ** 2)) * 0.10
    col = col + (spec + sheen)[..., None] * np.array([0.85, 0.95, 1.0])
    cv.over(col, inside)
    # dark outline where the box meets the bench
    cv.over((0.02, 0.02, 0.02), np.clip(cov(box + 0.9) - cov(box), 0, 1) * 0.0 + np.exp(-((box + 0.5) / 0.6) ** 2) * 0.5)

    # screws in the corners
    for i, (sx, sy) in enumerate([(11.5, 11.5), (W - 11.5, 11.5), (11.5, H - 11.5), (W - 11.5, H - 11.5)]):
        screw(cv, sx, sy, 4.3, 0.3 + 0.9 * rng.uniform())

    # the maker's logo plate, exactly on the about panel's trigger area
    x0, y0, x1, y1 = LOGO
    plate = sd_rrect(cv, x0, y0, x1, y1, 2.5)
    soft_shadow(cv, plate, 0.6, 1.1, 0.9, 0.6)
    brushed = np.kron(rng.normal(0.0, 1.0, (1, W * SS)), np.ones((H * SS, 1)))
    brushed = blur(brushed, 0.4)
    pv = 0.74 + 0.06 * brushed - 0.14 * ((cv.Y - y0) / (y1 - y0)) + 0.05 * np.cos((cv.X - x0) / (x1 - x0) * 2.4)
    cv.over(tint(np.clip(pv, 0, 1), (0.98, 0.97, 0.94)), cov(plate))
    edge = np.clip(cov(plate) - cov(plate + 0.9), 0, 1)
    edge_light = np.where(cv.Y < (y0 + y1) / 2.0, 1.0, 0.0)
    cv.over((1, 1, 1), edge * edge_light * 0.55)
    cv.over((0.1, 0.1, 0.1), edge * (1 - edge_light) * 0.45)
    f = font("DejaVuSerif-BoldItalic.ttf", 9.6)
    m = text_mask(cv, "quillbarrow", (x0 + x1) / 2.0, (y0 + y1) / 2.0 - 0.6, f, "mm")
    cv.over((1, 1, 1), shift(m, 0.0, 0.5) * 0.55)   # engraving: light lower lip
    cv.over((0.10, 0.09, 0.08), m)

    # LED: a printed ring and the word ON
    ledc = (100.0, 24.0)
    printed(cv, np.clip(cov(sd_circle(cv, *ledc, 10.6)) - cov(sd_circle(cv, *ledc, 9.9)), 0, 1), alpha=0.85)
    fsmall = font("DejaVuSans-Bold.ttf", 6.0)
    printed(cv, text_mask(cv, "ON", 100.0 + 19.0, 24.5, fsmall, "mm", 0.5), alpha=0.9)

    # cabinet toggle label
    flab = font("DejaVuSans-Bold.ttf", 6.6)
    assert text_width("CABINET", flab, 0.5) < 38.0
    printed(cv, text_mask(cv, "CABINET", 100.0, 56.0, flab, "mm", 0.5))

    # knob scales
    fnum = font("DejaVuSans-Bold.ttf", 6.6)
    fname = font("DejaVuSans-Bold.ttf", 8.6)
    for (kx, ky), label in KNOBS:
        ring = np.zeros_like(cv.X)
        for k in range(21):
            a = math.radians(-KNOB_SWEEP / 2.0 + KNOB_SWEEP * k / 20.0)
            ux, uy = math.sin(a), -math.cos(a)
            r0, r1, wdt = (25.6, 29.6, 0.62) if k % 2 == 0 else (26.0, 28.0, 0.45)
            sd, _ = sd_segment(cv, kx + ux * r0, ky + uy * r0, kx + ux * r1, ky + uy * r1, wdt)
            ring = np.maximum(ring, cov(sd))
            if k % 2 == 0:
                n = k // 2
                rt = 35.0 if n != 10 else 36.2
                m = text_mask(cv, str(n), kx + ux * rt, ky + uy * rt + 0.3, fnum, "mm")
                ring = np.maximum(ring, m)
        printed(cv, ring, alpha=0.95)
        printed(cv, text_mask(cv, label, kx, ky - 47.0, fname, "mm", 1.1))

    # footswitch: a printed guard ring around the nut
    fc = (100.0, 192.0)
    printed(cv, np.clip(cov(sd_circle(cv, *fc, 21.4)) - cov(sd_circle(cv, *fc, 20.6)), 0, 1), alpha=0.7)

    # product name across the lower part
    fbig = font("DejaVuSans-Bold.ttf", 22.0)
    fsub = font("DejaVuSans-Bold.ttf", 7.4)
    yname = 255.0
    printed(cv, text_mask(cv, "TORVO-MELL", W / 2.0, yname, fbig, "mm", 0.6))
    line = np.zeros_like(cv.X)
    for yy in (yname - 18.0, yname + 15.0):
        sd, _ = sd_segment(cv, 22.0, yy, W - 22.0, yy, 0.45)
        line = np.maximum(line, cov(sd))
    printed(cv, line, alpha=0.8)
    printed(cv, text_mask(cv, "GUITAR FUZZ", W / 2.0, yname + 25.0, fsub, "mm", 2.2), alpha=0.9)

    # side jacks, printed arrows
    fj = font("DejaVuSans-Bold.ttf", 5.4)
    printed(cv, text_mask(cv, "IN", W - 14.0, 140.0, fj, "mm", 0.4), alpha=0.75)
    printed(cv, text_mask(cv, "OUT", 14.0, 140.0, fj, "mm", 0.4), alpha=0.75)

    return cv.image("RGB")


# ----------------------------------------------------------------------------- about panel


def make_about():
    w, h = 181, 150
    cv = Canvas(w, h)
    panel = sd_rrect(cv, 0.5, 0.5, w - 2.0, h - 2.0, 9.0)
    soft_shadow(cv, panel, 1.0, 1.3, 0.8, 0.6)
    v = 0.10 - 0.05 * (cv.Y / h)
    cv.over(tint(v, (0.85, 0.95, 1.0)), cov(panel))
    border = np.clip(cov(panel + 3.0) - cov(panel + 4.0), 0, 1)
    cv.over(INK, border * 0.8)

    ftitle = font("DejaVuSans-Bold.ttf", 18.0)
    fver = font("DejaVuSans.ttf", 8.6)
    fbody = font("DejaVuSans.ttf", 8.2)
    fbold = font("DejaVuSerif-BoldItalic.ttf", 10.5)
    fsmall = font("DejaVuSans.ttf", 6.7)
    cx = (w - 1.5) / 2.0

    def put(text, y, f, color=INK, alpha=1.0, spacing=0.0):
        assert text_width(text, f, spacing) <= w - 12, text
        cv.over(color, text_mask(cv, text, cx, y, f, "mm", spacing) * alpha)

    put("Torvo-Mell", 24.0, ftitle, spacing=0.3)
    put("version 2.3.0", 41.0, fver, alpha=0.9)
    put("guitar fuzz with cabinet voicing", 54.0, fbody, (0.80, 0.86, 0.86))
    sd, _ = sd_segment(cv, 30.0, 66.0, w - 30.0, 66.0, 0.4)
    cv.over(INK, cov(sd) * 0.6)
    put("design, sound and artwork", 79.0, fbody, (0.80, 0.86, 0.86))
    put("by quillbarrow", 92.0, fbold)
    put("VST is a trademark of its owner.", 112.0, fsmall, (0.72, 0.78, 0.80))
    put("All other names belong to their owners.", 122.0, fsmall, (0.72, 0.78, 0.80))
    put("click to close", 138.0, fsmall, (0.55, 0.62, 0.64))
    return cv.image("RGBA")


# ----------------------------------------------------------------------------- main

IMAGES = [
    # id, file, size, frames, mode, maker
    (100, "torvomell_switch_02.png", (40, 80), 2, "RGBA", make_footswitch),
    (101, "torvomell_knob_01.png", (65, 4225), 65, "RGBA", make_knob),
    (102, "background.png", (213, 326), 1, "RGB", make_background),
    (103, "torvomell_about.png", (181, 150), 1, "RGBA", make_about),
    (104, "torvomell_led.png", (18, 36), 2, "RGBA", make_led),
    (105, "torvomell_switch_01.png", (40, 80), 2, "RGBA", make_toggle),
]


def check(path, size, frames, mode):
    with Image.open(path) as im:
        im.load()
        ok = im.format == "PNG" and im.size == size and im.mode == mode
        ok = ok and size[1] % frames == 0
        if mode == "RGBA":
            # transparent corners on every frame of the controls
            fh = size[1] // frames
            a = np.asarray(im)[..., 3]
            for k in range(frames):
                if path.endswith("torvomell_about.png") or path.endswith("torvomell_led.png"):
                    continue
                ok = ok and a[k * fh, 0] == 0 and a[k * fh + fh - 1, size[0] - 1] == 0
    return ok


def main(argv):
    only = set(argv[1:])
    os.makedirs(OUT, exist_ok=True)
    failed = False
    for rid, name, size, frames, mode, maker in IMAGES:
        path = os.path.join(OUT, name)
        if not only or name in only or str(rid) in only:
            img = maker()
            assert img.mode == mode and img.size == size, (name, img.mode, img.size)
            img.save(path, "PNG", optimize=True)
        ok = check(path, size, frames, mode)
        failed = failed or not ok
        print("%d %-26s %4dx%-5d %2d frame(s) %-4s %s" % (rid, name, size[0], size[1], frames, mode, "ok" if ok else "WRONG"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
