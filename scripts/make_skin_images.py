#!/usr/bin/python3
"""Draws every image of the default skin into assets/skin/default/ (PNG with alpha).

Developer tool: neither the build nor the tests run it. The PNGs it writes are committed; run it
again (from any folder) after changing a picture here and commit the result. Needs python3-cairo
(apt-get install -y python3-cairo; the system python, /usr/bin/python3, has it).

It also writes mock-ups of the skinned windows to /tmp/skin-mockups/ (never into the tree): a
small stand-in for the layout engine reads the layout files of the skin, lays their 3-by-3 grids
out, paints backgrounds, borders and cell texts, and places the pictures the program would show
(control texts are made-up samples), so that the pictures can be judged in place before the real
dialogs exist. Options: --no-mockups, --mockups-only.
"""

import math
import os
import sys
import xml.etree.ElementTree as ET

import cairo

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIN = os.path.join(ROOT, "assets", "skin", "default")
MOCK = "/tmp/skin-mockups"

# Palette: a light neutral frame, white content, one blue accent.
BASE = "#F3F5F8"        # window and title bar
LINE = "#E1E6EC"        # hairlines between areas
FRAME = "#9AA5B1"       # the window's outer edge
INK = "#1F2933"         # text
INK2 = "#4B5563"        # secondary text and glyphs
MUTED = "#A0A8B3"       # disabled text
ACCENT = "#2563EB"
ACCENT_HOVER = "#1D4ED8"
ACCENT_ACTIVE = "#1E40AF"
ACCENT_OFF = "#A9B9D9"
CARD = "#F6F8FB"
DANGER = "#E5484D"
DANGER_ACTIVE = "#C93C40"

STATUS_FRAME_HEIGHT = 108   # the status window steps its strip by this many rows
STATUS_FRAMES = 7           # five connecting frames, the graph's grid, the connected frame
STATUS_WIDTH = 292          # content cell width (300) less 4 on either side


def rgba(hexcolor, alpha=1.0):
    h = hexcolor.lstrip("#")
    r, g, b = (int(h[i:i + 2], 16) / 255.0 for i in (0, 2, 4))
    a = int(h[6:8], 16) / 255.0 if len(h) == 8 else 1.0
    return r, g, b, a * alpha


def surface(w, h):
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    return s, cairo.Context(s)


def save(s, name):
    s.write_to_png(os.path.join(SKIN, name))


def rounded(cr, x, y, w, h, r):
    cr.new_sub_path()
    cr.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    cr.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    cr.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    cr.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    cr.close_path()


def fill_rect(cr, color, x, y, w, h):
    cr.set_source_rgba(*rgba(color))
    cr.rectangle(x, y, w, h)
    cr.fill()


# ---------------------------------------------------------------- frame, bars, lines

def band(name, height, *stripes):
    """A picture one pixel wide, tiled across a cell: (colour, top, rows) stripes, the rest
    transparent."""
    s, cr = surface(1, height)
    for color, top, rows in stripes:
        fill_rect(cr, color, 0, top, 1, rows)
    save(s, name)


def frame_images():
    # Resize borders: a one-pixel outer edge and three pixels of the window colour.
    pieces = {
        "frame_tl.png": (4, 4, [(0, 0, 4, 1), (0, 0, 1, 4)]),
        "frame_t.png": (1, 4, [(0, 0, 1, 1)]),
        "frame_tr.png": (4, 4, [(0, 0, 4, 1), (3, 0, 1, 4)]),
        "frame_l.png": (4, 1, [(0, 0, 1, 1)]),
        "frame_r.png": (4, 1, [(3, 0, 1, 1)]),
        "frame_bl.png": (4, 4, [(0, 3, 4, 1), (0, 0, 1, 4)]),
        "frame_b.png": (1, 4, [(0, 3, 1, 1)]),
        "frame_br.png": (4, 4, [(0, 3, 4, 1), (3, 0, 1, 4)]),
    }
    for name, (w, h, edges) in pieces.items():
        s, cr = surface(w, h)
        fill_rect(cr, BASE, 0, 0, w, h)
        for e in edges:
            fill_rect(cr, FRAME, *e)
        save(s, name)

    band("title_bg.png", 36, (BASE, 0, 35), (LINE, 35, 1))     # window colour over a hairline
    band("statusbar_bg.png", 26, (LINE, 0, 1), ("#EEF1F5", 1, 25))
    band("hairline.png", 1, (LINE, 0, 1))

    s, cr = surface(1, 1)           # nothing: a hidden indicator shows no picture
    save(s, "blank.png")


def logo():
    s, cr = surface(20, 20)
    rounded(cr, 0, 0, 20, 20, 5)
    cr.set_source_rgba(*rgba(ACCENT))
    cr.fill()
    cr.set_source_rgba(1, 1, 1, 1)
    cr.arc(6, 14, 1.8, 0, 2 * math.pi)
    cr.fill()
    cr.set_line_width(1.8)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    for r in (5.5, 9.5):
        cr.arc(6, 14, r, -math.pi / 2, 0)
        cr.stroke()
    save(s, "logo.png")


# ---------------------------------------------------------------- caption buttons

def lines(cr, ox, oy, *polylines, close=False):
    """Strokes each list of points as one polyline, shifted by (ox, oy)."""
    for points in polylines:
        cr.move_to(ox + points[0][0], oy + points[0][1])
        for x, y in points[1:]:
            cr.line_to(ox + x, oy + y)
        if close:
            cr.close_path()
    cr.stroke()


def glyph_min(cr, ox, oy):
    lines(cr, ox, oy, [(9, 10), (19, 10)])


def glyph_max(cr, ox, oy):
    cr.rectangle(ox + 9.5, oy + 5.5, 9, 9)
    cr.stroke()


def glyph_restore(cr, ox, oy):
    cr.rectangle(ox + 9.5, oy + 7.5, 7, 7)
    cr.stroke()
    lines(cr, ox, oy, [(11.5, 7.5), (11.5, 5.5), (18.5, 5.5), (18.5, 12.5), (16.5, 12.5)])


def glyph_close(cr, ox, oy):
    lines(cr, ox, oy, [(9.5, 5.5), (18.5, 14.5)], [(18.5, 5.5), (9.5, 14.5)])


def glyph_skin(cr, ox, oy):
    # A T-shirt: the usual mark for "change the look".
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.move_to(ox + 11.5, oy + 5)
    cr.curve_to(ox + 12.5, oy + 6.6, ox + 15.5, oy + 6.6, ox + 16.5, oy + 5)
    for x, y in ((20, 6.5), (21, 9.5), (18.5, 10.2), (18.5, 15.5), (9.5, 15.5), (9.5, 10.2),
                 (7, 9.5), (8, 6.5)):
        cr.line_to(ox + x, oy + y)
    cr.close_path()
    cr.stroke()


def caption_images():
    looks = {
        "normal": (None, INK2),
        "hover": ("#E3E7EC", INK),
        "active": ("#D5DAE1", INK),
    }
    close_looks = {
        "normal": (None, INK2),
        "hover": (DANGER, "#FFFFFF"),
        "active": (DANGER_ACTIVE, "#FFFFFF"),
    }
    kinds = {
        "skin": ([glyph_skin], looks),
        "min": ([glyph_min], looks),
        "max": ([glyph_max, glyph_restore], looks),   # rows: maximise, then restore
        "close": ([glyph_close], close_looks),
    }
    for kind, (glyphs, table) in kinds.items():
        for state, (bg, ink) in table.items():
            s, cr = surface(28, 19 * len(glyphs))
            for row, glyph in enumerate(glyphs):
                oy = 19 * row
                if bg:
                    rounded(cr, 0, oy, 28, 19, 4)
                    cr.set_source_rgba(*rgba(bg))
                    cr.fill()
                cr.set_source_rgba(*rgba(ink))
                cr.set_line_width(1.2 if kind != "skin" else 1.3)
                glyph(cr, 0, oy - 0.5)
            save(s, "cap_%s_%s.png" % (kind, state))


# ---------------------------------------------------------------- tabs, buttons, checks, fields

def tab_images():
    band("tab_normal.png", 36, (LINE, 35, 1))
    band("tab_hover.png", 36, (BASE, 0, 35), ("#CBD2DA", 35, 1))
    band("tab_check.png", 36, (ACCENT, 34, 2))


def button_images():
    for state, color in (("normal", ACCENT), ("hover", ACCENT_HOVER), ("active", ACCENT_ACTIVE),
                         ("disable", ACCENT_OFF)):
        s, cr = surface(160, 36)
        rounded(cr, 0, 0, 160, 36, 6)
        cr.set_source_rgba(*rgba(color))
        cr.fill()
        if state != "disable":      # a faint light edge on top
            rounded(cr, 0.5, 0.5, 159, 35, 5.5)
            grad = cairo.LinearGradient(0, 0, 0, 36)
            grad.add_color_stop_rgba(0, 1, 1, 1, 0.18)
            grad.add_color_stop_rgba(0.5, 1, 1, 1, 0.0)
            cr.set_source(grad)
            cr.set_line_width(1)
            cr.stroke()
        save(s, "btn_%s.png" % state)


def tick(cr):
    cr.set_source_rgba(1, 1, 1, 1)
    cr.set_line_width(1.8)
    cr.set_line_cap(cairo.LINE_CAP_ROUND)
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    cr.move_to(4.2, 8.3)
    cr.line_to(6.8, 10.9)
    cr.line_to(11.8, 5.4)
    cr.stroke()


def check_images():
    looks = {
        "normal": ("#FFFFFF", FRAME, False),
        "hover": ("#FFFFFF", ACCENT, False),
        "active": ("#DBE6FD", ACCENT, False),
        "check": (ACCENT, ACCENT, True),
        "checkhover": (ACCENT_HOVER, ACCENT_HOVER, True),
        "disable": ("#F1F3F6", "#CBD2DA", False),
    }
    for state, (fill, edge, ticked) in looks.items():
        s, cr = surface(16, 16)
        rounded(cr, 0.5, 0.5, 15, 15, 3)
        cr.set_source_rgba(*rgba(fill))
        cr.fill_preserve()
        cr.set_source_rgba(*rgba(edge))
        cr.set_line_width(1)
        cr.stroke()
        if ticked:
            tick(cr)
        save(s, "chk_%s.png" % state)


def field_image():
    s, cr = surface(232, 30)
    rounded(cr, 0.5, 0.5, 231, 29, 4)
    cr.set_source_rgba(1, 1, 1, 1)
    cr.fill_preserve()
    cr.set_source_rgba(*rgba("#CBD2DA"))
    cr.set_line_width(1)
    cr.stroke()
    save(s, "field.png")


# ---------------------------------------------------------------- status strip

def card(cr, oy, fill=True):
    rounded(cr, 0.5, oy + 0.5, STATUS_WIDTH - 1, STATUS_FRAME_HEIGHT - 1, 8)
    if fill:
        cr.set_source_rgba(*rgba(CARD))
        cr.fill_preserve()
    cr.set_source_rgba(*rgba(LINE))
    cr.set_line_width(1)
    cr.stroke()


def modem_icon(cr, cx, cy):
    # A USB modem: a rounded stick with its plug on the left and a small light.
    cr.set_source_rgba(*rgba(INK2))
    cr.set_line_width(1.6)
    rounded(cr, cx - 14, cy - 8, 30, 16, 4)
    cr.stroke()
    cr.rectangle(cx - 21, cy - 5, 7, 10)
    cr.stroke()
    cr.set_source_rgba(*rgba(ACCENT))
    cr.arc(cx + 9, cy, 2.2, 0, 2 * math.pi)
    cr.fill()


def globe_icon(cr, cx, cy, r=15):
    cr.set_source_rgba(*rgba(INK2))
    cr.set_line_width(1.6)
    cr.arc(cx, cy, r, 0, 2 * math.pi)
    cr.stroke()
    cr.save()
    cr.translate(cx, cy)
    cr.scale(0.45, 1)
    cr.arc(0, 0, r, 0, 2 * math.pi)
    cr.restore()
    cr.stroke()
    for dy in (-r * 0.45, r * 0.45):
        half = math.sqrt(r * r - dy * dy)
        cr.move_to(cx - half, cy + dy)
        cr.line_to(cx + half, cy + dy)
    cr.move_to(cx - r, cy)
    cr.line_to(cx + r, cy)
    cr.stroke()


def status_strip():
    w, fh = STATUS_WIDTH, STATUS_FRAME_HEIGHT
    s, cr = surface(w, fh * STATUS_FRAMES)
    dots = [112, 134, 156, 178]
    for f in range(5):
        oy = f * fh
        card(cr, oy)
        cy = oy + fh / 2
        modem_icon(cr, 66, cy)
        globe_icon(cr, 226, cy)
        for i, x in enumerate(dots):
            if f < 4 and i == f:
                color, r = ACCENT, 4.0
            elif f < 4 and i == f - 1:
                color, r = "#93B4F5", 3.2
            else:
                color, r = "#CBD2DA", 3.0
            cr.set_source_rgba(*rgba(color))
            cr.arc(x, cy, r, 0, 2 * math.pi)
            cr.fill()
    # Frame 5: the speed graph's grid (the program draws the curve over it).
    oy = 5 * fh
    card(cr, oy)
    cr.set_line_width(1)
    cr.set_source_rgba(*rgba("#E4E9EF"))
    for y in range(8, fh - 1, 25):
        cr.move_to(1, oy + y + 0.5)
        cr.line_to(w - 1, oy + y + 0.5)
    for x in range(w - 4, 1, -40):
        cr.move_to(x + 0.5, oy + 1)
        cr.line_to(x + 0.5, oy + fh - 1)
    cr.stroke()
    # Frame 6: connected. Only the card's edge: the totals and the graph show through.
    card(cr, 6 * fh, fill=False)
    save(s, "netstatus.png")


# ---------------------------------------------------------------- status bar indicators

def icon_uim(cr):
    lines(cr, 0, 0, [(4.5, 1.5), (10.5, 1.5), (12.5, 3.5), (12.5, 14.5), (4.5, 14.5)], close=True)
    cr.rectangle(6.5, 8.5, 4, 4)
    cr.stroke()


def icon_sms(cr):
    cr.rectangle(2.5, 4.5, 12, 8)
    cr.stroke()
    lines(cr, 0, 0, [(2.5, 4.5), (8.5, 9), (14.5, 4.5)])


def icon_roam(cr):
    lines(cr, 0, 0, [(8.5, 2), (15, 14.5), (2, 14.5)], close=True)
    cr.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    cr.set_font_size(7)
    cr.move_to(6.4, 13.2)
    cr.show_text("R")


def icon_call(cr):
    cr.move_to(4, 2.5)
    cr.line_to(6.5, 2.5)
    cr.line_to(7.5, 5.5)
    cr.line_to(6, 7)
    cr.curve_to(7, 9, 8, 10, 10, 11)
    cr.line_to(11.5, 9.5)
    cr.line_to(14.5, 10.5)
    cr.line_to(14.5, 13)
    cr.curve_to(14.5, 14, 13.5, 14.5, 12.5, 14.5)
    cr.curve_to(7, 14, 3, 10, 2.5, 4.5)
    cr.curve_to(2.5, 3.5, 3, 2.5, 4, 2.5)
    cr.close_path()
    cr.stroke()


def icon_net(cr):
    lines(cr, 0, 0, [(5.5, 13.5), (5.5, 3)], [(3, 5.5), (5.5, 3), (8, 5.5)],
          [(11.5, 3), (11.5, 13.5)], [(9, 11), (11.5, 13.5), (14, 11)])


def icon_evdo(cr):
    rounded(cr, 1.5, 3.5, 14, 10, 2)
    cr.stroke()
    cr.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    cr.set_font_size(6.5)
    cr.move_to(3.4, 11)
    cr.show_text("EV")


def icon_signal(cr):
    for i, h in enumerate((4, 7, 10, 13)):
        cr.rectangle(2 + i * 3.5, 15 - h, 2.4, h)
    cr.fill()


def icon_time(cr):
    cr.arc(8.5, 8.5, 6.5, 0, 2 * math.pi)
    cr.move_to(8.5, 4.5)
    cr.line_to(8.5, 8.5)
    cr.line_to(11.5, 10)
    cr.stroke()


def indicator_images():
    icons = {"uim": icon_uim, "sms": icon_sms, "roam": icon_roam, "call": icon_call,
             "net": icon_net, "evdo": icon_evdo, "signal": icon_signal, "time": icon_time}
    for name, draw in icons.items():
        for suffix, alpha in (("", 1.0), ("_off", 0.35)):
            s, cr = surface(16, 16)
            cr.push_group()
            cr.set_source_rgba(*rgba(INK2))
            cr.set_line_width(1.2)
            cr.set_line_join(cairo.LINE_JOIN_ROUND)
            draw(cr)
            cr.pop_group_to_source()
            cr.paint_with_alpha(alpha)
            save(s, "sb_%s%s.png" % (name, suffix))


def draw_all():
    os.makedirs(SKIN, exist_ok=True)
    frame_images()
    logo()
    caption_images()
    tab_images()
    button_images()
    check_images()
    field_image()
    status_strip()
    indicator_images()


# ================================================================ mock-ups
# A stand-in for the layout engine, only as faithful as judging the pictures needs.

def parse_style(text):
    out, name, i = {}, "", 0
    while i < len(text):
        ch = text[i]
        if ch != ":":
            name += ch
            i += 1
            continue
        i += 1
        value = ""
        if i < len(text) and text[i] == "(":
            j = text.find(")", i + 1)
            value = text[i + 1:] if j < 0 else text[i + 1:j]
            i = len(text) if j < 0 else j + 2
        else:
            j = text.find(";", i)
            value = text[i:] if j < 0 else text[i:j]
            i = len(text) if j < 0 else j + 1
        out[name] = out.get(name, "") + value
        name = ""
    return out


def num(text):
    text = text.strip()
    sign, digits = 1, ""
    if text[:1] in "+-":
        sign, text = (-1 if text[0] == "-" else 1), text[1:]
    for ch in text:
        if not ch.isdigit():
            break
        digits += ch
    return sign * int(digits) if digits else 0


class Cell:
    def __init__(self, docking, r, c):
        self.docking, self.r, self.c = docking, r, c
        self.id, self.text, self.handle, self.child, self.element = "", "", None, None, None
        self.bg = {"color": None, "image": "", "x": 0, "y": 0, "style": ""}
        self.font = {"size": 8, "color": "#000000", "family": "", "weight": "", "align": "left",
                     "valign": "top"}
        self.pad = [0, 0, 0, 0]
        self.border = {"width": 0, "color": "#000000"}
        self.bounds = (0, 0, 0, 0)

    def set_background(self, text):
        p = parse_style(text)
        if not p and text:
            p = {"image": text}
        for k in ("image", "style"):
            if k in p:
                self.bg[k] = p[k]
        if "color" in p:
            self.bg["color"] = p["color"]
        for k in ("x", "y"):
            if k in p:
                self.bg[k] = num(p[k])

    def set_font(self, text):
        self.font.update(parse_style(text))

    def apply_style(self, text):
        p = parse_style(text)
        if "background" in p:
            self.set_background(p["background"])
        if "font" in p:
            self.set_font(p["font"])
        if "text" in p:
            self.text = p["text"]

    def client(self):
        x, y, w, h = self.bounds
        bw = num(str(self.border["width"]))
        left = min(x + bw + self.pad[0], x + w)
        top = min(y + bw + self.pad[2], y + h)
        right = max(x + w - self.pad[1], left)
        bottom = max(y + h - self.pad[3], top)
        return left, top, right - left, bottom - top


class Docking:
    def __init__(self, layout, element):
        self.layout, self.element = layout, element
        self.id = element.get("id", "")
        self.cols, self.rows = [0, -1, 0], [0, -1, 0]
        self.cells = [[Cell(self, r, c) for c in range(3)] for r in range(3)]
        self.bg = Cell(self, -1, -1)
        self.bg.set_background(element.get("background", ""))
        self.pad = [0, 0, 0, 0]
        self.anchor = element.get("anchor", "")
        self.window = parse_style(element.get("window", ""))
        if element.get("padding"):
            self.pad = pad_of(element.get("padding"))
        for ce in element.findall("cell"):
            idx = ce.get("index", "")
            r = int(idx[0]) if idx[:1].isdigit() else 0
            c = int(idx[1]) if idx[1:2].isdigit() else 0
            if r > 2 or c > 2:
                continue
            cell = self.cells[r][c]
            cell.element = ce
            cell.id = ce.get("id", "")
            if ce.get("width") is not None:
                self.cols[c] = num(ce.get("width"))
            if ce.get("height") is not None:
                self.rows[r] = num(ce.get("height"))
            cell.set_background(ce.get("background", ""))
            cell.text = ce.get("text", "")
            cell.set_font(ce.get("font", ""))
            cell.pad = pad_of(ce.get("padding", ""))
            if ce.get("border"):
                cell.border.update(parse_style(ce.get("border")))
            h = ce.get("handle")
            if h:
                p = parse_style(h)
                cell.handle = p.get("id", "") if p else h
                cell.handle_class = p.get("class", "") if p else ""
            if ce.get("child"):
                cell.child = Docking(layout, layout.by_id[ce.get("child")])

    def layout_grid(self, q):
        x, y, w, h = q

        def axis(sizes, total):
            s = [v if v >= 0 else -1 for v in sizes]
            n = s.count(-1)
            if n == 0:
                s[2], n = -1, 1
            rest = max(0, total - sum(v for v in s if v >= 0))
            share = rest // n
            s = [share if v < 0 else v for v in s]
            start = [0, s[0], s[0] + s[1]]
            ext = [start[1] - start[0], start[2] - start[1], total - start[2]]
            return start, ext

        cs, ce = axis(self.cols, w)
        rs, re_ = axis(self.rows, h)
        for r in range(3):
            for c in range(3):
                self.cells[r][c].bounds = (x + cs[c], y + rs[r], ce[c], re_[r])


def pad_of(text):
    p = parse_style(text)
    out = [0, 0, 0, 0]
    if not p and text:
        v = max(0, num(text))
        out = [v, v, v, v]
    for i, k in enumerate(("left", "right", "top", "bottom")):
        if k in p:
            out[i] = max(0, num(p[k]))
    return out


class Layout:
    def __init__(self, name):
        self.name = name
        tree = ET.parse(os.path.join(SKIN, name))
        self.elements = tree.getroot().findall("docking")
        self.by_id = {e.get("id"): e for e in self.elements if e.get("id")}
        self.root = Docking(self, self.elements[0])


IMAGES = {}


def image(name):
    if name not in IMAGES:
        path = os.path.join(SKIN, name)
        IMAGES[name] = cairo.ImageSurface.create_from_png(path) if os.path.exists(path) else None
    return IMAGES[name]


class Mock:
    """What the program would show: control texts, button states, which dialog each anchor cell
    holds, and the status window's state."""

    def __init__(self, texts, states, shown, status=None, disabled=(), size=None):
        self.texts, self.states, self.shown, self.status = texts, states, shown, status
        self.disabled = set(disabled)
        self.size = size        # a size of its own: the window is maximised


def paint_background(cr, bg, box, clip):
    x, y, w, h = box
    if w <= 0 or h <= 0:
        return
    cr.save()
    cr.rectangle(*clip)
    cr.clip()
    if bg["color"]:
        cr.set_source_rgba(*rgba(bg["color"]))
        cr.rectangle(*box)
        cr.fill()
    img = image(bg["image"]) if bg["image"] else None
    if img:
        iw, ih = img.get_width(), img.get_height()
        style = bg["style"]
        ox, oy = bg["x"], bg["y"]
        if style in ("repeat", "repeat-xy", "repeat-x", "repeat-y"):
            xs = range(x + ox, x + w, iw) if style != "repeat-y" else [x + ox]
            ys = range(y + oy, y + h, ih) if style in ("repeat", "repeat-xy", "repeat-y") \
                else [y + oy]
            if style == "repeat-y":
                ys = range(y, y + h, ih)
            for px in xs:
                for py in ys:
                    cr.set_source_surface(img, px, py)
                    cr.paint()
        elif style in ("scale", "scale-xy"):
            cr.save()
            cr.translate(x, y)
            cr.scale(w / iw, h / ih)
            cr.set_source_surface(img, -ox, -oy)
            cr.paint()
            cr.restore()
        else:
            cr.set_source_surface(img, x + ox, y + oy)
            cr.paint()
    cr.restore()


def intersect(a, b):
    x1, y1 = max(a[0], b[0]), max(a[1], b[1])
    x2, y2 = min(a[0] + a[2], b[0] + b[2]), min(a[1] + a[3], b[1] + b[3])
    return (x1, y1, max(0, x2 - x1), max(0, y2 - y1))


def paint_text(cr, text, font, box, clip, pad=(0, 0, 0, 0)):
    if not text:
        return
    x, y, w, h = box
    left, top = min(x + pad[0], x + w), min(y + pad[2], y + h)
    right, bottom = max(x + w - pad[1], left), max(y + h - pad[3], top)
    tb = (left, top, right - left, bottom - top)
    if tb[2] <= 0 or tb[3] <= 0:
        return
    cr.save()
    cr.rectangle(*intersect(tb, clip))
    cr.clip()
    px = num(str(font.get("size", "8"))) * 96.0 / 72.0
    bold = font.get("weight", "") in ("bold", "1", "3", "5")
    cr.select_font_face("WenQuanYi Micro Hei", cairo.FONT_SLANT_NORMAL,
                        cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(px)
    asc, desc, line_h = cr.font_extents()[:3]
    lines = text.replace("\r\n", "\n").split("\n")
    total = line_h * len(lines)
    valign = font.get("valign", "top")
    ty = tb[1] + {"center": (tb[3] - total) / 2, "bottom": tb[3] - total}.get(valign, 0)
    inset = px / 6      # the text painter's default format pads a sixth of the em
    cr.set_source_rgba(*rgba(font.get("color", "#000000")))
    for i, line in enumerate(lines):
        tw = cr.text_extents(line)[4]
        align = font.get("align", "left")
        tx = tb[0] + inset
        if align == "center":
            tx = tb[0] + (tb[2] - tw) / 2
        elif align in ("right", "bottom"):
            tx = tb[0] + tb[2] - tw - inset
        cr.move_to(round(tx), round(ty + asc + i * line_h))
        cr.show_text(line)
    cr.restore()


def render_docking(cr, d, box, clip, mock):
    paint_background(cr, d.bg.bg, box, clip)
    x, y, w, h = box
    q = (x + d.pad[0], y + d.pad[2], max(0, w - d.pad[0] - d.pad[1]),
         max(0, h - d.pad[2] - d.pad[3]))
    d.layout_grid(q)
    for r in range(3):
        for c in range(3):
            cell = d.cells[r][c]
            cclip = intersect(intersect(cell.bounds, q), clip)
            render_cell(cr, cell, cclip, mock)


def render_cell(cr, cell, clip, mock):
    if cell.handle:
        state = mock.states.get(cell.handle, "normal")
        if cell.handle in mock.disabled:
            state = "disable"
        if cell.element is not None and cell.element.get(state):
            cell.apply_style(cell.element.get(state))
        cell.text = mock.texts.get(cell.handle, cell.text)
        if cell.handle == "IDC_BUTTON_MAX" and mock.size:
            cell.bg["y"] = -19      # what the program does while the window is maximised
    paint_background(cr, cell.bg, cell.bounds, clip)
    q = cell.client()
    if cell.handle in ("IDC_NetInfo",) and mock.status:
        paint_status_window(cr, cell, mock)
    kind = getattr(cell, "handle_class", "")
    if kind in ("Edit", "IPAddress"):
        paint_field(cr, cell, q, clip, mock)
    else:
        paint_text(cr, cell.text, cell.font, cell.bounds, clip, cell.pad)
    if mock.shown.get(cell.id):
        sub = LAYOUTS[mock.shown[cell.id]]
        render_docking(cr, sub.root, q, intersect(q, clip), mock)
    if cell.child:
        render_docking(cr, cell.child, q, intersect(q, clip), mock)


def paint_field(cr, cell, q, clip, mock):
    text = mock.texts.get(cell.handle, "")
    disabled = cell.handle in mock.disabled
    x, y, w, h = q
    cr.save()
    cr.rectangle(*intersect(q, clip))
    cr.clip()
    cr.select_font_face("DejaVu Sans")
    cr.set_font_size(12)
    cr.set_source_rgba(*rgba(MUTED if disabled else INK))
    if cell.handle_class == "IPAddress":
        parts = (text or "...").split(".")
        fw = w / 4.0
        for i in range(4):
            cr.move_to(x + i * fw + 6, y + 14)
            cr.show_text(parts[i] if i < len(parts) else "")
            if i < 3:
                cr.move_to(x + (i + 1) * fw - 2, y + 14)
                cr.show_text(".")
    else:
        cr.move_to(x + 1, y + 14)
        cr.show_text(text)
    cr.restore()


def find_cell(d, ident):
    for row in d.cells:
        for cell in row:
            if cell.id == ident:
                return cell
            if cell.child:
                found = find_cell(cell.child, ident)
                if found:
                    return found
    return None


def paint_status_window(cr, host, mock):
    st = mock.status
    panel = host.child
    panel.layout_grid(host.client())
    title, content, message = (find_cell(panel, n) for n in
                               ("connectTitle", "connectContent", "connectMessage"))
    title.text = content.text = ""
    if st["mode"] == "connecting":
        message.font["color"] = "#000000"
        message.text = st["text"]
        content.bg["y"] = -STATUS_FRAME_HEIGHT * st["frame"]
        return
    message.font["color"] = "#0000FF"
    message.text = "双击切换视图"
    content.bg["y"] = -6 * STATUS_FRAME_HEIGHT
    left, top, width, height = content.bounds
    if st["mode"] == "graph":
        title.text = "最大流速"
        strip = image("netstatus.png")
        cr.save()
        cr.rectangle(*content.bounds)
        cr.clip()
        cr.set_source_surface(strip, left + 4, top - 5 * STATUS_FRAME_HEIGHT)
        cr.rectangle(left + 4, top, strip.get_width(), STATUS_FRAME_HEIGHT)
        cr.fill()
        samples = st["samples"]
        largest = max(samples)
        cr.set_source_rgba(0, 0, 0, 1)
        cr.set_line_width(1)
        pts = []
        for i, v in enumerate(samples):
            px = left + width - 4 - 4 * i
            if px <= left:
                break
            pts.append((px, top + height - v * (height - 8) // largest))
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            cr.move_to(ax, ay)
            cr.line_to(bx, by)
        cr.stroke()
        cr.restore()
    else:
        title.text = "已连接"
        content.text = ("开始时间: 14:02:37\r\n持续时间: 01:02:05\r\n发送:1834KB\r\n"
                        "接收:20417KB\r\n发送速率:\r\n   38.6(Kbps)\r\n接收速率:\r\n   612.4(Kbps)")


LAYOUTS = {}

TEXTS = {
    "IDC_DialSetting": "拨号设置", "IDC_OptionSetting": "选项设置",
    "IDC_NUMTEXT": "号码", "IDC_USERNAMETEXT": "用户名", "IDC_PASSWORDTEXT": "密码",
    "IDC_SETTING_NUMEDIT": "#777", "IDC_NAMEEDIT": "user@example", "IDC_PASSWORDEDIT": "••••••",
    "IDC_CHAPCHECK": "保存信息", "IDC_DNSCHECKTEXT": "使用DNS", "IDC_DNSTEXT": "首选DNS",
    "IDC_DNSTEXT1": "备用DNS", "IDC_IPCHECK": "使用指定IP地址",
    "IDC_ConnStartUp": "启用时自动连接网络", "IDC_ReDial": "异常断开时自动重新拨号",
    "IDC_DNSIPADDRESS": "202.96.128.86", "IDC_DNSIPADDRESS1": "202.96.134.133",
    "IDC_IPADDRESS": "...", "IDC_BTN_CONNECT": "连接", "IDS_CONNECT": "",
    "IDC_STATUSBAR_TIME": "00:00:00",
}


def mockups():
    os.makedirs(MOCK, exist_ok=True)
    for name in ("QOBUIDialog.xml", "NetConnectDialog.xml", "SettingDlg.xml",
                 "DialSettingDlg.xml", "OptionSettingDlg.xml"):
        LAYOUTS[name] = Layout(name)
    main_window = LAYOUTS["QOBUIDialog.xml"].root.window
    w, h = num(main_window.get("defaultwidth", "420")), num(main_window.get("defaultheight", "540"))
    anchors = {}
    for name, lay in LAYOUTS.items():
        if lay.root.anchor:
            anchors.setdefault(lay.root.anchor, []).append(name)

    def shown(page):
        return {"connectViewCell": "NetConnectDialog.xml", "connectSettingCell": "SettingDlg.xml",
                "settingPageCell": page}

    def with_rows(settings):
        net = LAYOUTS["NetConnectDialog.xml"].root
        net.rows[0], net.rows[1] = (-1, 0) if settings else (0, -1)

    samples = [int(300 + 260 * math.sin(i / 3.0) + 180 * math.sin(i / 1.3) + 400)
               for i in range(40)]
    scenes = [
        ("main_dial_page", True, Mock(TEXTS, {"IDC_DialSetting": "check", "IDC_CHAPCHECK":
                                              "check", "IDC_BTN_CONNECT": "hover"},
                                      shown("DialSettingDlg.xml"))),
        ("main_option_page", True, Mock(dict(TEXTS, IDC_DNSIPADDRESS="", IDC_DNSIPADDRESS1=""),
                                        {"IDC_OptionSetting": "check", "IDC_DialSetting":
                                         "hover", "IDC_ReDial": "check", "IDC_IPCHECK": "hover"},
                                        shown("OptionSettingDlg.xml"),
                                        disabled=("IDC_DNSIPADDRESS", "IDC_DNSIPADDRESS1",
                                                  "IDC_IPADDRESS"))),
        ("main_connecting", False, Mock(dict(TEXTS, IDC_BTN_CONNECT="断开连接"),
                                        {"IDC_BUTTON_CLOSE": "hover"}, shown(""),
                                        {"mode": "connecting", "frame": 1,
                                         "text": "正在拨号..."})),
        ("main_idle_disconnecting", False, Mock(TEXTS, {}, shown(""),
                                                {"mode": "connecting", "frame": 4,
                                                 "text": "正在断开..."},
                                                disabled=("IDC_BTN_CONNECT",))),
        ("main_connected_text", False, Mock(dict(TEXTS, IDC_BTN_CONNECT="断开连接"),
                                            {"IDC_BUTTON_MIN": "hover"}, shown(""),
                                            {"mode": "text"})),
        ("main_connected_graph", False, Mock(dict(TEXTS, IDC_BTN_CONNECT="断开连接"),
                                             {"IDC_BTN_CONNECT": "active"}, shown(""),
                                             {"mode": "graph", "samples": samples})),
        ("main_maximised_dial_page", True, Mock(TEXTS, {"IDC_DialSetting": "check",
                                                        "IDC_BUTTON_MAX": "hover"},
                                                shown("DialSettingDlg.xml"), size=(760, 560))),
    ]
    for name, settings, mock in scenes:
        for lay in LAYOUTS.values():     # states are applied to fresh cells each time
            lay.root = Docking(lay, lay.elements[0])
        with_rows(settings)
        sw, sh = mock.size or (w, h)
        s, cr = surface(sw, sh)
        render_docking(cr, LAYOUTS["QOBUIDialog.xml"].root, (0, 0, sw, sh), (0, 0, sw, sh), mock)
        s.write_to_png(os.path.join(MOCK, name + ".png"))
    contact_sheet()
    print("mock-ups in", MOCK, "anchors:", anchors)


def contact_sheet():
    names = sorted(n for n in os.listdir(SKIN) if n.endswith(".png"))
    scale, pad, x, y, row_h = 2, 10, 10, 10, 0
    width = 900
    placed = []
    for n in names:
        img = image(n)
        iw, ih = img.get_width() * scale, min(img.get_height() * scale, 760 * scale)
        if n == "netstatus.png":
            iw, ih = img.get_width(), img.get_height()
        if x + iw > width - pad:
            x, y, row_h = pad, y + row_h + pad + 12, 0
        placed.append((n, x, y, iw, ih))
        x += max(iw, 60) + pad
        row_h = max(row_h, ih)
    s, cr = surface(width, y + row_h + 30)
    fill_rect(cr, "#FFFFFF", 0, 0, width, y + row_h + 30)
    for n, px, py, iw, ih in placed:
        img = image(n)
        cr.save()
        fill_rect(cr, "#DDE3EA", px - 1, py - 1, iw + 2, ih + 2)
        cr.rectangle(px, py, iw, ih)
        cr.clip()
        cr.translate(px, py)
        k = 1 if n == "netstatus.png" else scale
        cr.scale(k, k)
        p = cairo.SurfacePattern(img)
        p.set_filter(cairo.FILTER_NEAREST)
        cr.set_source(p)
        cr.paint()
        cr.restore()
        cr.set_source_rgba(0, 0, 0, 1)
        cr.select_font_face("DejaVu Sans")
        cr.set_font_size(8)
        cr.move_to(px, py + ih + 9)
        cr.show_text(n[:-4])
    s.write_to_png(os.path.join(MOCK, "images.png"))


if __name__ == "__main__":
    if "--mockups-only" not in sys.argv:
        draw_all()
    if "--no-mockups" not in sys.argv:
        mockups()
