#!/usr/bin/env python3
"""Draws Morvane's icon and writes Morvane.ico.

One image, 128 x 128 pixels, 32 bits with alpha, stored in the bitmap form
(header, bottom-up BGRA pixels, AND mask) that CreateIconFromResourceEx takes.
The picture: a clock face, and in front of it the arrow of a mouse pointer,
for a click that comes after a delay. Python 3 standard library only.

    python3 make_icon.py [OUTPUT]      (default: Morvane.ico next to this script)
"""

import math
import os
import struct
import sys

SIZE = 128
SAMPLES = 4  # per axis: 16 samples a pixel smooth the edges

# Colours as (red, green, blue, alpha), 0..255.
RIM = (32, 84, 160, 255)
FACE = (250, 250, 246, 255)
TICK = (60, 70, 90, 255)
HAND = (40, 46, 60, 255)
SECOND_HAND = (214, 60, 48, 255)
ARROW_FILL = (255, 255, 255, 255)
ARROW_EDGE = (16, 16, 20, 255)
SHADOW = (0, 0, 0, 70)

CENTRE = (54.0, 54.0)
RADIUS = 48.0
RIM_WIDTH = 7.0


def segment_distance(px, py, ax, ay, bx, by):
    """Distance from point p to the segment a-b."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def inside_polygon(px, py, points):
    """Even-odd rule."""
    inside = False
    count = len(points)
    for i in range(count):
        ax, ay = points[i]
        bx, by = points[(i + 1) % count]
        if (ay > py) != (by > py):
            x = ax + (py - ay) * (bx - ax) / (by - ay)
            if px < x:
                inside = not inside
    return inside


def polygon_edge_distance(px, py, points):
    count = len(points)
    return min(segment_distance(px, py, *points[i], *points[(i + 1) % count]) for i in range(count))


def hand_end(angle_degrees, length):
    """Clock angles: 0 points to twelve o'clock, clockwise."""
    radians = math.radians(angle_degrees)
    return CENTRE[0] + length * math.sin(radians), CENTRE[1] - length * math.cos(radians)


# The classic pointer: tip up and to the left, drawn in front of the clock's
# lower right part.
ARROW_TIP = (66.0, 58.0)
ARROW_SHAPE = [(0, 0), (0, 50), (12, 39), (21, 60), (30, 56), (21, 36), (37, 36)]
ARROW = [(ARROW_TIP[0] + x, ARROW_TIP[1] + y) for x, y in ARROW_SHAPE]
ARROW_SHADOW = [(x + 3.0, y + 3.0) for x, y in ARROW]

HANDS = [
    (hand_end(300, 26), 6.0, HAND),  # hour hand towards ten
    (hand_end(0, 38), 4.5, HAND),  # minute hand at twelve
    (hand_end(120, 40), 2.0, SECOND_HAND),
]
TICKS = []
for hour in range(12):
    inner = RADIUS - RIM_WIDTH - (10.0 if hour % 3 == 0 else 6.0)
    outer = RADIUS - RIM_WIDTH - 2.5
    TICKS.append((hand_end(hour * 30, inner), hand_end(hour * 30, outer), 3.5 if hour % 3 == 0 else 2.0))


def sample(x, y):
    """The colour at one point, the shapes painted back to front."""
    colour = (0, 0, 0, 0)

    def over(top):
        nonlocal colour
        ta = top[3] / 255.0
        ba = colour[3] / 255.0
        alpha = ta + ba * (1.0 - ta)
        if alpha <= 0.0:
            colour = (0, 0, 0, 0)
            return
        mix = [(top[i] * ta + colour[i] * ba * (1.0 - ta)) / alpha for i in range(3)]
        colour = (mix[0], mix[1], mix[2], alpha * 255.0)

    distance = math.hypot(x - CENTRE[0], y - CENTRE[1])
    if distance <= RADIUS + 2.0 and distance > RADIUS - 1.0:
        over(SHADOW)
    if distance <= RADIUS:
        over(RIM if distance > RADIUS - RIM_WIDTH else FACE)
        if distance <= RADIUS - RIM_WIDTH:
            for start, end, width in TICKS:
                if segment_distance(x, y, *start, *end) <= width / 2:
                    over(TICK)
            for end, width, colour_of_hand in HANDS:
                if segment_distance(x, y, CENTRE[0], CENTRE[1], *end) <= width / 2:
                    over(colour_of_hand)
            if distance <= 4.5:
                over(SECOND_HAND)
    if inside_polygon(x, y, ARROW_SHADOW) and not inside_polygon(x, y, ARROW):
        over(SHADOW)
    if inside_polygon(x, y, ARROW):
        edge = polygon_edge_distance(x, y, ARROW)
        over(ARROW_EDGE if edge <= 2.6 else ARROW_FILL)
    return colour


def render():
    """Rows top to bottom of (b, g, r, a) bytes, each pixel the mean of its samples."""
    rows = []
    step = 1.0 / SAMPLES
    for py in range(SIZE):
        row = bytearray()
        for px in range(SIZE):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = sample(px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    weight = a / 255.0
                    total[0] += r * weight
                    total[1] += g * weight
                    total[2] += b * weight
                    total[3] += a
            alpha = total[3] / (SAMPLES * SAMPLES)
            coverage = total[3] / 255.0
            if coverage > 0.0:
                r, g, b = (total[i] / coverage for i in range(3))
            else:
                r = g = b = 0.0
            row += bytes(int(round(max(0.0, min(255.0, v)))) for v in (b, g, r, alpha))
        rows.append(bytes(row))
    return rows


def icon_file(rows):
    pixels = b"".join(reversed(rows))  # bottom-up
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):  # 1 = transparent, for systems that ignore alpha
        bits = bytearray(mask_row_bytes)
        for x in range(SIZE):
            if row[x * 4 + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # The height counts the colour image and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "Morvane.ico")
    with open(output, "wb") as file:
        file.write(icon_file(render()))


if __name__ == "__main__":
    main()
