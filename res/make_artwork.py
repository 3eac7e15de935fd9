#!/usr/bin/python3
"""Draws the program's artwork into this folder.

    /usr/bin/python3 res/make_artwork.py [--preview FILE]

Needs Debian's python3-pil, fonts-urw-base35 and fonts-dejavu-core. Every
image is drawn several times larger than it is and scaled down, which gives
smooth edges without an anti-aliasing renderer. Besides the images the
window shows, it writes icon.ico, the executable's icon for Windows, and
hicolor/, the same icon for the Linux desktop's icon theme. --preview also writes the window as
the user sees it (background, logos and the texts on the right) so the
artwork can be judged in place.
"""
import argparse
import contextlib
import math
import os

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
S = 4  # canvas pixels per final pixel, while drawing

FONT_GOTHIC_DEMI = "/usr/share/fonts/opentype/urw-base35/URWGothic-Demi.otf"
FONT_GOTHIC_BOOK = "/usr/share/fonts/opentype/urw-base35/URWGothic-Book.otf"
FONT_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_MONO_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"

ACCENT = (0x00, 0x92, 0xE5)
WHITE = (255, 255, 255)
# The brand's name; it writes its A as an open chevron, a V turned over.
BRAND = [(["S", "O", "R", "^V", "V", "E"], FONT_GOTHIC_DEMI)]


# ---------------------------------------------------------------- helpers
def px(v):
    """A length of the final image in pixels of the supersampled canvas."""
    return int(round(v * S))


@contextlib.contextmanager
def supersampling(factor):
    """Draws with another number of canvas pixels per final pixel."""
    global S
    saved, S = S, factor
    try:
        yield
    finally:
        S = saved


def box(x0, y0, x1, y1):
    return (px(x0), px(y0), px(x1), px(y1))


def rgba(color, alpha=1.0):
    return tuple(color[:3]) + (int(round(255 * alpha)),)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def ramp(stops, t):
    """Colour at t (0..1) of a ramp given as [(position, rgba), ...]."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 1.0)
    return stops[-1][1]


def canvas(w, h, color=(0, 0, 0, 0)):
    return Image.new("RGBA", (px(w), px(h)), color)


def mask_of(size, draw):
    """An L mask of the canvas size, drawn by draw(ImageDraw)."""
    m = Image.new("L", size, 0)
    draw(ImageDraw.Draw(m))
    return m


def rrect_mask(size, b, radius):
    return mask_of(size, lambda d: d.rounded_rectangle(box(*b), px(radius), fill=255))


def ellipse_mask(size, b):
    return mask_of(size, lambda d: d.ellipse(box(*b), fill=255))


def circle_box(cx, cy, r):
    return (cx - r, cy - r, cx + r, cy + r)


def gradient(size, stops, span, vertical=True):
    """A full-size RGBA image whose colour follows stops across span (final px)."""
    w, h = size
    n = h if vertical else w
    a, b = px(span[0]), px(span[1])
    strip = Image.new("RGBA", (1, n) if vertical else (n, 1))
    data = [ramp(stops, min(1.0, max(0.0, (i - a) / float(max(1, b - a))))) for i in range(n)]
    strip.putdata(data)
    return strip.resize(size, Image.NEAREST)


def radial(size, center, radius, stops):
    """A full-size RGBA image coloured by the distance from center (final px)."""
    # Pillow's gradient reads 0 at the centre and about 180 at the middle of an
    # edge, reaching 255 only in the corners: 180 is the radius.
    base = Image.radial_gradient("L")
    r = px(radius)
    scaled = base.resize((2 * r, 2 * r), Image.BILINEAR)
    dist = Image.new("L", size, 255)
    dist.paste(scaled, (px(center[0]) - r, px(center[1]) - r))
    lut = [ramp(stops, min(1.0, v / 180.0)) for v in range(256)]
    channels = [dist.point([lut[v][i] for v in range(256)]) for i in range(4)]
    return Image.merge("RGBA", channels)


def paint(target, source, mask=None):
    """Composites source (an RGBA image or a colour) over target, inside mask."""
    if not isinstance(source, Image.Image):
        source = Image.new("RGBA", target.size, source)
    if mask is not None:
        source = source.copy()
        source.putalpha(ImageChops.multiply(source.getchannel("A"), mask))
    target.alpha_composite(source)


def ring_mask(outer, inner):
    return ImageChops.subtract(outer, inner)


def blurred(mask, radius):
    return mask.filter(ImageFilter.GaussianBlur(px(radius)))


def frange(start, stop, step):
    values = []
    while start < stop:
        values.append(start)
        start += step
    return values


def scaled_mask(mask, factor):
    return mask.point(lambda v: int(v * factor))


def finish(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def text_mask(size, xy, text, font_path, font_px, anchor="la", spacing=0.0):
    """Mask with text drawn at xy (final px); spacing adds final px between letters."""
    font = ImageFont.truetype(font_path, px(font_px))

    def draw(d):
        if spacing == 0:
            d.text((px(xy[0]), px(xy[1])), text, font=font, fill=255, anchor=anchor)
            return
        widths = [font.getlength(c) for c in text]
        total = sum(widths) + px(spacing) * (len(text) - 1)
        x = px(xy[0]) - (total / 2 if anchor[0] == "m" else 0)
        for c, w in zip(text, widths):
            d.text((x, px(xy[1])), c, font=font, fill=255, anchor="l" + anchor[1])
            x += w + px(spacing)

    return mask_of(size, draw)


def save(img, name):
    img.save(os.path.join(HERE, name), optimize=True)


# ---------------------------------------------------------- the recorder
# Geometry of the recorder in the background, in final pixels.
BODY = (64, 90, 148, 266)
BODY_RADIUS = 15
CENTER_X = (BODY[0] + BODY[2]) / 2.0
METAL_DARK = (58, 62, 68, 255)
METAL_LIGHT = (222, 226, 230, 255)


def capsule(size, pivot, length, width, angle, shade):
    """One microphone capsule: a mesh-covered cylinder on a metal collar,
    drawn upright from its pivot, then turned by angle degrees."""
    layer = Image.new("RGBA", size, (0, 0, 0, 0))
    x, y = pivot
    left, right, top = x - width / 2.0, x + width / 2.0, y - length
    outline = rrect_mask(size, (left, top, right, y), width * 0.22)
    across = [(0.0, mix(METAL_DARK, (0, 0, 0, 255), 0.3)), (0.28, METAL_LIGHT), (0.5, (150, 155, 162, 255)),
              (0.85, (60, 64, 70, 255)), (1.0, (24, 26, 29, 255))]
    paint(layer, gradient(size, across, (left, right), vertical=False), outline)

    # Mesh: a staggered grid of holes over the head, none over the collar.
    head_bottom = top + length * 0.62
    pitch = 1.6

    def holes(d):
        row = 0
        yy = top + 1.2
        while yy < head_bottom:
            xx = left + 0.9 + (pitch / 2 if row % 2 else 0)
            while xx < right - 0.6:
                d.ellipse(box(*circle_box(xx, yy, 0.48)), fill=255)
                xx += pitch
            yy += pitch * 0.87
            row += 1

    mesh = ImageChops.multiply(mask_of(size, holes), outline)
    paint(layer, (12, 13, 15, 200), mesh)
    # The collar's rings catch the light as thin bright and dark lines.
    for offset, colour in ((0.0, (20, 21, 24, 255)), (0.9, (235, 238, 242, 170)), (length * 0.18, (20, 21, 24, 220))):
        line = mask_of(size, lambda d: d.rectangle(box(left, head_bottom + offset, right, head_bottom + offset + 0.7),
                                                   fill=255))
        paint(layer, colour, ImageChops.multiply(line, outline))
    # The capsule's chrome front ring, seen almost edge-on.
    rim = ImageChops.multiply(mask_of(size, lambda d: d.rectangle(box(left, top, right, top + 1.6), fill=255)),
                              outline)
    paint(layer, gradient(size, [(0, (90, 95, 100, 255)), (0.3, (250, 252, 255, 255)), (1, (70, 74, 80, 255))],
                          (left, right), vertical=False), rim)
    paint(layer, (0, 0, 0, 150), mask_of(size, lambda d: d.rectangle(box(left, top + 1.6, right, top + 2.0),
                                                                     fill=255)))
    # Shade the whole capsule: the one behind is darker.
    if shade > 0:
        paint(layer, (0, 0, 0, int(255 * shade)), outline)
    return layer.rotate(angle, resample=Image.BICUBIC, center=(px(x), px(y)))


def microphones(img):
    size = img.size
    length, width = 60, 20
    # Crossed pair: the capsule on the right points to the left and the other way round.
    back = capsule(size, (CENTER_X - 17, BODY[1] + 8), length, width, -40, 0.3)
    front = capsule(size, (CENTER_X + 17, BODY[1] + 8), length, width, 40, 0.0)
    for layer in (back, front):
        # A soft shadow under each capsule separates it from what lies behind.
        shadow = blurred(layer.getchannel("A"), 1.5)
        paint(img, (0, 0, 0, 200), shadow)
        img.alpha_composite(layer)
    # The swivel mount the pair sits in.
    top, bottom = BODY[1] - 9, BODY[1] + 4
    outline = [(CENTER_X - 14, top), (CENTER_X + 14, top), (CENTER_X + 24, bottom), (CENTER_X - 24, bottom)]
    mount = mask_of(size, lambda d: d.polygon([(px(x), px(y)) for x, y in outline], fill=255))
    mount = blurred(mount, 0.25)
    paint(img, (0, 0, 0, 190), ImageChops.offset(blurred(mount, 1.2), 0, px(-0.8)))
    paint(img, gradient(size, [(0, (76, 80, 87, 255)), (0.5, (40, 43, 48, 255)), (1, (22, 24, 27, 255))],
                        (top, bottom)), mount)
    paint(img, (255, 255, 255, 70), ImageChops.subtract(mount, ImageChops.offset(mount, 0, px(0.6))))


def side_keys(img):
    size = img.size
    keys = [(BODY[0] - 2.2, 128, BODY[0] + 2, 142), (BODY[0] - 2.2, 146, BODY[0] + 2, 160),
            (BODY[2] - 2, 132, BODY[2] + 2.4, 156)]
    for k in keys:
        m = rrect_mask(size, k, 1.2)
        paint(img, gradient(size, [(0, (90, 95, 102, 255)), (1, (30, 32, 36, 255))], (k[1], k[3])), m)


def body(img):
    size = img.size
    shape = rrect_mask(size, BODY, BODY_RADIUS)
    # Satin black plastic, lit from the upper left.
    paint(img, gradient(size, [(0, (62, 66, 73, 255)), (0.35, (40, 43, 48, 255)), (1, (20, 21, 24, 255))],
                        (BODY[1], BODY[3])), shape)
    across = [(0, (255, 255, 255, 46)), (0.1, (255, 255, 255, 14)), (0.5, (0, 0, 0, 0)), (0.86, (0, 0, 0, 40)),
              (1, (0, 0, 0, 120))]
    paint(img, gradient(size, across, (BODY[0], BODY[2]), vertical=False), shape)
    # Bevel: a bright edge on the upper left, fading round to a dark lower right.
    inner = rrect_mask(size, (BODY[0] + 1.1, BODY[1] + 1.1, BODY[2] - 1.1, BODY[3] - 1.1), BODY_RADIUS - 1.1)
    edge = ring_mask(shape, inner)
    paint(img, radial(size, (BODY[0] + 6, BODY[1] + 4), 190,
                      [(0, (236, 240, 245, 230)), (0.45, (120, 126, 134, 150)), (1, (40, 42, 46, 120))]), edge)
    # Rim light along the right side, as from a second lamp behind.
    rim = ImageChops.multiply(edge, mask_of(size, lambda d: d.rectangle(box(CENTER_X + 20, 0, 495, 360), fill=255)))
    paint(img, (170, 190, 210, 110), blurred(rim, 0.3))
    # The front panel: a slightly glossier inset.
    panel_box = (BODY[0] + 5, BODY[1] + 7, BODY[2] - 5, BODY[3] - 6)
    panel = rrect_mask(size, panel_box, BODY_RADIUS - 5)
    paint(img, gradient(size, [(0, (255, 255, 255, 16)), (0.4, (255, 255, 255, 4)), (1, (0, 0, 0, 30))],
                        (panel_box[1], panel_box[3])), panel)
    inset = (panel_box[0] + 0.6, panel_box[1] + 0.6, panel_box[2] - 0.6, panel_box[3] - 0.6)
    panel_edge = ring_mask(panel, rrect_mask(size, inset, BODY_RADIUS - 5.6))
    paint(img, (0, 0, 0, 120), panel_edge)


def screen(img):
    size = img.size
    bezel = (CENTER_X - 31, 104, CENTER_X + 31, 146)
    paint(img, (6, 7, 9, 255), rrect_mask(size, bezel, 3.5))
    glass = (bezel[0] + 3, bezel[1] + 3, bezel[2] - 3, bezel[3] - 3)
    glass_mask = rrect_mask(size, glass, 1.2)
    paint(img, gradient(size, [(0, (12, 22, 34, 255)), (1, (4, 9, 15, 255))], (glass[1], glass[3])), glass_mask)

    lit = (186, 226, 255, 255)
    x0, y0 = glass[0], glass[1]
    content = Image.new("RGBA", size, (0, 0, 0, 0))
    paint(content, rgba(lit, 0.75), text_mask(size, (x0 + 2, y0 + 1.2), "48k/24bit", FONT_SANS_BOLD, 3.6))
    # Battery: three of four bars.
    bat = (glass[2] - 9, y0 + 1.6, glass[2] - 2.6, y0 + 4.8)
    paint(content, rgba(lit, 0.8), ImageChops.subtract(
        rrect_mask(size, bat, 0.5), rrect_mask(size, (bat[0] + 0.5, bat[1] + 0.5, bat[2] - 0.5, bat[3] - 0.5), 0.2)))
    paint(content, rgba(lit, 0.8), mask_of(size, lambda d: d.rectangle(box(bat[2], bat[1] + 0.9, bat[2] + 0.7,
                                                                           bat[3] - 0.9), fill=255)))
    paint(content, rgba(lit, 0.8), mask_of(size, lambda d: d.rectangle(box(bat[0] + 1, bat[1] + 1, bat[2] - 2.4,
                                                                           bat[3] - 1), fill=255)))
    paint(content, lit, text_mask(size, (CENTER_X, y0 + 12.3), "00:12:48", FONT_MONO_BOLD, 8.2, anchor="mm"))
    # Two level meters, green into amber near the top of the scale.
    meter_left, meter_right = x0 + 6, glass[2] - 3
    for i, (label, level) in enumerate((("L", 0.72), ("R", 0.64))):
        top = y0 + 21.5 + i * 5.4
        paint(content, rgba(lit, 0.7), text_mask(size, (x0 + 2.2, top - 0.4), label, FONT_SANS_BOLD, 3.4))
        track = mask_of(size, lambda d: d.rectangle(box(meter_left, top, meter_right, top + 2.4), fill=255))
        paint(content, (40, 60, 78, 255), track)
        fill_to = meter_left + (meter_right - meter_left) * level
        bar = mask_of(size, lambda d: d.rectangle(box(meter_left, top, fill_to, top + 2.4), fill=255))
        colours = [(0, (70, 220, 120, 255)), (0.7, (150, 235, 90, 255)), (0.85, (255, 200, 60, 255)),
                   (1, (255, 80, 60, 255))]
        paint(content, gradient(size, colours, (meter_left, meter_right), vertical=False), bar)
        # Segment gaps, so the meters read as LCD segments.
        gaps = mask_of(size, lambda d: [d.rectangle(box(xx, top, xx + 0.35, top + 2.4), fill=255)
                                        for xx in frange(meter_left + 1.6, meter_right, 1.6)])
        paint(content, (4, 9, 15, 255), ImageChops.multiply(gaps, track))
    # A faint glow around what is lit, as a real screen has.
    paint(img, (120, 190, 255, 90), blurred(content.getchannel("A"), 0.8))
    img.alpha_composite(content)
    # Reflection of the room on the glass: a soft diagonal sheen.
    sheen = mask_of(size, lambda d: d.polygon([(px(bezel[0]), px(bezel[1])), (px(bezel[0] + 38), px(bezel[1])),
                                              (px(bezel[0] + 16), px(bezel[3])), (px(bezel[0]), px(bezel[3]))],
                                             fill=255))
    bezel_mask = rrect_mask(size, bezel, 3.5)
    paint(img, (255, 255, 255, 16), ImageChops.multiply(sheen, bezel_mask))
    inset = (bezel[0] + 0.5, bezel[1] + 0.5, bezel[2] - 0.5, bezel[3] - 0.5)
    paint(img, (255, 255, 255, 40), ring_mask(bezel_mask, rrect_mask(size, inset, 3.0)))


def raised_button(img, mask_shape, base):
    """A rubber key: drop shadow, body, lit top edge."""
    size = img.size
    paint(img, (0, 0, 0, 170), ImageChops.offset(blurred(mask_shape, 0.9), 0, px(0.8)))
    bbox = mask_shape.getbbox()
    top, bottom = bbox[1] / float(S), bbox[3] / float(S)
    paint(img, gradient(size, [(0, mix(base, (255, 255, 255, 255), 0.18)), (1, mix(base, (0, 0, 0, 255), 0.35))],
                        (top, bottom)), mask_shape)
    shrunk = ImageChops.offset(mask_shape, 0, px(0.6))
    paint(img, rgba(WHITE, 0.35), ImageChops.subtract(mask_shape, shrunk))


def buttons(img):
    size = img.size
    row = 164
    for x in (CENTER_X - 22, CENTER_X + 22):
        key = rrect_mask(size, (x - 8, row - 3, x + 8, row + 3), 3)
        raised_button(img, key, (48, 51, 57, 255))
    paint(img, (200, 205, 212, 150), text_mask(size, (CENTER_X - 22, row + 6.6), "MENU", FONT_SANS_BOLD, 2.8,
                                               anchor="mm", spacing=0.25))
    paint(img, (200, 205, 212, 150), text_mask(size, (CENTER_X + 22, row + 6.6), "STOP", FONT_SANS_BOLD, 2.8,
                                               anchor="mm", spacing=0.25))
    # Record key: red, with a chrome ring around it.
    ring = ellipse_mask(size, circle_box(CENTER_X, row, 7.4))
    paint(img, (0, 0, 0, 180), ImageChops.offset(blurred(ring, 1.0), 0, px(0.8)))
    paint(img, radial(size, (CENTER_X - 3, row - 4), 14, [(0, METAL_LIGHT), (1, (70, 74, 80, 255))]), ring)
    rec = ellipse_mask(size, circle_box(CENTER_X, row, 5.8))
    paint(img, radial(size, (CENTER_X - 1.5, row - 2.5), 9, [(0, (255, 92, 90, 255)), (0.55, (200, 28, 36, 255)),
                                                            (1, (110, 10, 18, 255))]), rec)
    paint(img, (255, 255, 255, 120), blurred(ellipse_mask(size, (CENTER_X - 3.4, row - 4.6, CENTER_X + 1,
                                                                 row - 2.2)), 0.4))


def navigation(img):
    size = img.size
    cx, cy = CENTER_X, 203
    outer = ellipse_mask(size, circle_box(cx, cy, 19))
    paint(img, (0, 0, 0, 200), ImageChops.offset(blurred(outer, 1.4), 0, px(1.0)))
    # Brushed dark metal ring with a bright upper-left edge.
    paint(img, radial(size, (cx - 8, cy - 10), 44, [(0, (96, 101, 109, 255)), (0.5, (44, 47, 52, 255)),
                                                   (1, (24, 26, 29, 255))]), outer)
    paint(img, (255, 255, 255, 70), ring_mask(outer, ImageChops.offset(outer, px(0.5), px(0.7))))
    groove = ring_mask(ellipse_mask(size, circle_box(cx, cy, 10.4)), ellipse_mask(size, circle_box(cx, cy, 9.2)))
    paint(img, (0, 0, 0, 210), groove)
    centre = ellipse_mask(size, circle_box(cx, cy, 8.6))
    paint(img, radial(size, (cx - 3, cy - 4), 15, [(0, (84, 89, 96, 255)), (1, (28, 30, 34, 255))]), centre)
    paint(img, (255, 255, 255, 60), ring_mask(centre, ImageChops.offset(centre, px(0.4), px(0.6))))
    # Marks: play/pause in the centre, skip and level on the ring.
    mark = (215, 220, 226, 200)

    def tri(points):
        return mask_of(size, lambda d: d.polygon([(px(x), px(y)) for x, y in points], fill=255))

    paint(img, mark, tri([(cx - 2.2, cy - 2.8), (cx - 2.2, cy + 2.8), (cx + 2.0, cy)]))
    paint(img, mark, mask_of(size, lambda d: d.rectangle(box(cx + 2.4, cy - 2.6, cx + 3.1, cy + 2.6), fill=255)))
    for sign in (-1, 1):
        for step in (0, 2.4):
            x = cx + sign * (14.8 - step)
            paint(img, mark, tri([(x, cy - 1.8), (x, cy + 1.8), (x + sign * 2.2, cy)]))
    paint(img, mark, mask_of(size, lambda d: d.rectangle(box(cx - 1.8, cy - 14.9, cx + 1.8, cy - 14.3), fill=255)))
    paint(img, mark, mask_of(size, lambda d: d.rectangle(box(cx - 0.3, cy - 16.4, cx + 0.3, cy - 12.8), fill=255)))
    paint(img, mark, mask_of(size, lambda d: d.rectangle(box(cx - 1.8, cy + 14.3, cx + 1.8, cy + 14.9), fill=255)))


def speaker(img):
    size = img.size

    def holes(d):
        for row in range(3):
            y = 235 + row * 3.2
            count = 9 - (row % 2)
            start = CENTER_X - (count - 1) * 3.2 / 2
            for i in range(count):
                d.ellipse(box(*circle_box(start + i * 3.2, y, 0.75)), fill=255)

    m = mask_of(size, holes)
    paint(img, (255, 255, 255, 40), ImageChops.offset(m, 0, px(0.4)))
    paint(img, (0, 0, 0, 255), m)
    # The brand, printed on the case.
    w, h = 24, 4
    printed = Image.new("L", size, 0)
    printed.paste(wordmark_mask(BRAND, px(w), px(h), margin=0), (px(CENTER_X - w / 2.0), px(250.5)))
    paint(img, (205, 210, 218, 170), printed)


def recorder(size):
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    microphones(img)
    side_keys(img)
    body(img)
    screen(img)
    buttons(img)
    navigation(img)
    speaker(img)
    return img


def background():
    w, h = 495, 360
    img = canvas(w, h, (0, 0, 0, 255))
    # A dim pool of light behind the recorder; the right half stays black.
    paint(img, radial(img.size, (CENTER_X, 170), 170, [(0, (24, 26, 30, 255)), (0.45, (9, 10, 12, 255)),
                                                       (1, (0, 0, 0, 255))]))
    rec = recorder(img.size)
    # Its reflection in the glossy black surface it stands on, fading quickly.
    mirror = Image.new("RGBA", img.size, (0, 0, 0, 0))
    mirror.paste(rec.transpose(Image.FLIP_TOP_BOTTOM), (0, px(2 * BODY[3] - h)))
    fade = gradient(img.size, [(0, (0, 0, 0, 58)), (1, (0, 0, 0, 0))], (BODY[3], BODY[3] + 34))
    mirror.putalpha(ImageChops.multiply(mirror.getchannel("A"), fade.getchannel("A")))
    img.alpha_composite(mirror)
    img.alpha_composite(rec)
    return finish(img, w, h).convert("RGB")


# ----------------------------------------------------------------- logos
def glyph(char, font_path, height):
    """The ink of one letter as a tight L mask; a leading "^" turns it over."""
    flip = char.startswith("^")
    font = ImageFont.truetype(font_path, int(height * 1.6))
    m = Image.new("L", (int(height * 3), int(height * 3)), 0)
    ImageDraw.Draw(m).text((height * 0.5, height * 0.2), char[-1], font=font, fill=255)
    m = m.crop(m.getbbox())
    return m.transpose(Image.FLIP_TOP_BOTTOM) if flip else m


def wordmark_mask(words, w, h, margin=0.5, cap_px=None):
    """Letters as an L mask of exactly w x h pixels. words is a list of
    (letters, font); the letters are spaced evenly by their ink, with a wider
    gap between words, so that the mark fills the width. The capitals fill the
    height, or stand cap_px high with room below for tails."""
    cap = 400  # drawing height of a capital
    rows = [[glyph(c, font, cap) for c in letters] for letters, font in words]
    # A capital's height; a Q's tail may reach below the line.
    cap_height = min(g.size[1] for row in rows for g in row)
    ink = sum(g.size[0] for row in rows for g in row)
    gaps = sum(len(row) - 1 for row in rows) + 2.5 * (len(rows) - 1)
    cap_px = h - 2 * margin if cap_px is None else cap_px
    target = (w - 2 * margin) / float(cap_px) * cap_height
    spacing = max(cap_height * 0.08, (target - ink) / gaps)
    depth = max(g.size[1] for row in rows for g in row)
    sheet = Image.new("L", (int(math.ceil(ink + spacing * gaps)), depth), 0)
    x = 0.0
    for row in rows:
        for g in row:
            sheet.paste(g, (int(round(x)), 0), g)
            x += g.size[0] + spacing
        x += spacing * 1.5
    # Scale the capitals to the inner height; squeeze sideways if still too wide.
    inner_w, inner_h = px(w - 2 * margin), px(cap_px)
    sheet = sheet.resize((inner_w, int(round(depth * inner_h / float(cap_height)))), Image.LANCZOS)
    big = Image.new("L", (px(w), px(h + 4)), 0)
    big.paste(sheet, (px(margin), px(margin)))
    return big.resize((w, h + 4), Image.LANCZOS).crop((0, 0, w, h))


def wordmark(words, w, h, margin=0.5, cap_px=None):
    """White letters on transparency (see wordmark_mask)."""
    out = Image.new("RGBA", (w, h), WHITE + (0,))
    out.putalpha(wordmark_mask(words, w, h, margin, cap_px))
    return out


def save_logos():
    save(wordmark(BRAND, 64, 11), "sorave.png")
    # Capitals as tall as the brand's, so the two marks share a baseline in the window.
    save(wordmark([("VELDRACORDER", FONT_GOTHIC_BOOK), ("Q7", FONT_GOTHIC_DEMI)], 135, 13, cap_px=10),
         "veldracorderq7.png")


def triangle_mark():
    """The "Back" mark: a small white triangle pointing left."""
    img = canvas(9, 9)
    points = [(1.2, 4.5), (7.6, 0.9), (7.6, 8.1)]
    paint(img, WHITE + (255,), mask_of(img.size, lambda d: d.polygon([(px(x), px(y)) for x, y in points], fill=255)))
    return finish(img, 9, 9)


# ------------------------------------------------------------------ icon
def update_arrows(img, cx, cy, r, width, colour):
    """Two arrows chasing each other round a circle: the sign for updating."""
    size = img.size
    for start in (200, 20):
        arc = mask_of(size, lambda d: d.arc(box(*circle_box(cx, cy, r)), start, start + 125, fill=255,
                                            width=px(width)))
        paint(img, colour, arc)
        # Arrowhead at the end of the arc, pointing along the circle.
        end = math.radians(start + 125)
        tip_x, tip_y = cx + r * math.cos(end), cy + r * math.sin(end)
        along = (-math.sin(end), math.cos(end))
        out = (math.cos(end), math.sin(end))
        head = width * 1.9
        points = [(tip_x + along[0] * head * 1.1, tip_y + along[1] * head * 1.1),
                  (tip_x + out[0] * head, tip_y + out[1] * head),
                  (tip_x - out[0] * head, tip_y - out[1] * head)]
        paint(img, colour, mask_of(size, lambda d: d.polygon([(px(x), px(y)) for x, y in points], fill=255)))


def app_icon():
    """The application icon on an 80-pixel grid: the recorder in silver on a
    dark tile, with the update sign in the accent colour."""
    img = canvas(80, 80)
    size = img.size
    tile_box = (4, 4, 76, 76)
    tile = rrect_mask(size, tile_box, 16)
    paint(img, (0, 0, 0, 110), ImageChops.offset(blurred(tile, 1.6), 0, px(1.2)))
    paint(img, gradient(size, [(0, (58, 64, 73, 255)), (1, (14, 16, 19, 255))], (4, 76)), tile)
    paint(img, (255, 255, 255, 60), ImageChops.subtract(tile, ImageChops.offset(tile, 0, px(0.8))))

    silver = gradient(size, [(0, (246, 248, 250, 255)), (1, (150, 158, 168, 255))], (14, 68))
    # Crossed capsules above the body.
    for angle, pivot in ((-34, 28), (34, 40)):
        layer = Image.new("RGBA", size, (0, 0, 0, 0))
        cap = rrect_mask(size, (pivot - 4.6, 7, pivot + 4.6, 34), 4.6)
        paint(layer, gradient(size, [(0, (120, 128, 138, 255)), (0.3, (250, 251, 252, 255)),
                                     (1, (128, 136, 146, 255))], (pivot - 4.6, pivot + 4.6), vertical=False), cap)
        grille = mask_of(size, lambda d: [d.line(box(pivot - 4.6, y, pivot + 4.6, y), fill=255, width=px(0.6))
                                          for y in frange(11, 22, 1.7)])
        paint(layer, (50, 56, 64, 170), ImageChops.multiply(grille, cap))
        layer = layer.rotate(angle, resample=Image.BICUBIC, center=(px(pivot), px(34)))
        paint(img, (0, 0, 0, 140), blurred(layer.getchannel("A"), 0.8))
        img.alpha_composite(layer)
    body_box = (22, 28, 46, 70)
    body_mask = rrect_mask(size, body_box, 6)
    paint(img, (0, 0, 0, 150), ImageChops.offset(blurred(body_mask, 1.2), 0, px(0.8)))
    paint(img, silver, body_mask)
    screen_box = (25.5, 32, 42.5, 43)
    paint(img, (10, 14, 20, 255), rrect_mask(size, screen_box, 1.5))
    paint(img, ACCENT + (255,), mask_of(size, lambda d: [d.rectangle(box(28, y, 28 + w, y + 1.3), fill=255)
                                                         for y, w in ((36, 11), (39, 8))]))
    paint(img, (210, 30, 40, 255), ellipse_mask(size, circle_box(34, 50, 3.2)))
    paint(img, (90, 98, 108, 255), ring_mask(ellipse_mask(size, circle_box(34, 61, 5.2)),
                                             ellipse_mask(size, circle_box(34, 61, 3.6))))

    # Update badge.
    bx, by, br = 55, 56, 15
    badge = ellipse_mask(size, circle_box(bx, by, br))
    paint(img, (0, 0, 0, 160), ImageChops.offset(blurred(badge, 1.4), 0, px(1.0)))
    paint(img, (20, 22, 26, 255), ellipse_mask(size, circle_box(bx, by, br + 1.6)))
    paint(img, gradient(size, [(0, (40, 176, 255, 255)), (1, (0, 104, 178, 255))], (by - br, by + br)), badge)
    update_arrows(img, bx, by, 8.2, 2.6, WHITE + (255,))
    return img


def save_icons():
    with supersampling(12.8):  # a 1024-pixel master for every icon size
        master = app_icon()
    save(master.resize((80, 80), Image.LANCZOS), "icon-80.png")
    sizes = (16, 32, 48, 64, 128, 256)
    master.save(os.path.join(HERE, "icon.ico"), sizes=[(n, n) for n in sizes])
    # The same sizes for the desktop's icon theme on Linux.
    for n in sizes:
        save(master.resize((n, n), Image.LANCZOS), "hicolor/%dx%d.png" % (n, n))


# ------------------------------------------------------------ brand artwork
def brand_artwork():
    """The brand's mark (a level meter in the accent colour) beside its name."""
    w, h = 242, 73
    img = canvas(w, h)
    size = img.size
    heights = [12, 22, 34, 46, 30, 40, 20, 10]
    for i, bar_h in enumerate(heights):
        x = 8 + i * 6.4
        bar = rrect_mask(size, (x, 36.5 - bar_h / 2.0, x + 3.8, 36.5 + bar_h / 2.0), 1.9)
        paint(img, gradient(size, [(0, (60, 190, 255, 255)), (1, (0, 110, 190, 255))], (12, 60)), bar)
    name = wordmark(BRAND, 164, 27)
    line = wordmark([("PORTABLE", FONT_GOTHIC_BOOK), ("AUDIO", FONT_GOTHIC_BOOK), ("RECORDERS", FONT_GOTHIC_BOOK)],
                    164, 7)
    out = finish(img, w, h)
    out.alpha_composite(name, (70, 18))
    faded = line.copy()
    faded.putalpha(scaled_mask(line.getchannel("A"), 0.7))
    out.alpha_composite(faded, (70, 51))
    return out


# ---------------------------------------------------------------- preview
def preview(path):
    """The window's content area with sample texts, for judging the artwork."""
    img = Image.open(os.path.join(HERE, "bg.png")).convert("RGBA")
    d = ImageDraw.Draw(img)

    def font(size):
        return ImageFont.truetype(FONT_SANS, size)

    d.rounded_rectangle((207, 64, 457, 154), 4, fill=(0x35, 0x35, 0x35))
    d.text((221, 76), "Information", font=font(15), fill=WHITE)
    d.text((221, 100), "The latest firmware is available\nfor update.", font=font(13), fill=WHITE)
    d.text((227, 169), "Firmware Version", font=font(15), fill=WHITE)
    for top, caption, value in ((193, "Current:", "Ver. 1.00 Build 12"), (212, "Latest:", "Ver. 1.02 Build 34")):
        d.text((227, top), caption, font=font(13), fill=WHITE)
        d.text((342, top), value, font=font(13), fill=WHITE)
    d.text((438, 234), "Release notes", font=font(13), fill=ACCENT, anchor="ra")
    d.line((438 - d.textlength("Release notes", font=font(13)), 250, 438, 250), fill=ACCENT)
    d.text((106, 275), "Serial number", font=font(13), fill=(255, 255, 255, 153), anchor="ma")
    d.text((106, 294), "Q7A0012345", font=font(13), fill=WHITE, anchor="ma")
    d.rounded_rectangle((207, 265, 457, 320), 4, fill=ACCENT)
    d.text((332, 292), "Start updating", font=font(15), fill=WHITE, anchor="mm")
    img.alpha_composite(Image.open(os.path.join(HERE, "sorave.png")), (13, 13))
    img.alpha_composite(Image.open(os.path.join(HERE, "veldracorderq7.png")), (347, 13))
    img.convert("RGB").save(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", help="also write the window as it will look")
    args = parser.parse_args()
    save(background(), "bg.png")
    save_logos()
    save(triangle_mark(), "sankaku.png")
    save_icons()
    save(brand_artwork(), "logo.png")
    if args.preview:
        preview(args.preview)


if __name__ == "__main__":
    main()
