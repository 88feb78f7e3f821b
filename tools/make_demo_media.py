#!/usr/bin/env python3
"""Makes the media of the demo scripts under run/media/demo/: a soft ball, a checker
picture, a two-piece OBJ mesh and three short sounds (through sox). The demos' text uses
the launcher's font, media/textures/font.png.
Everything is drawn or computed here, so the files can be made again at any time:

    python3 tools/make_demo_media.py [output folder]
"""
import math
import os
import struct
import subprocess
import sys
import zlib

# ---- PNG writing (RGBA, 8 bits per channel) ----------------------------------------------


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a), y from the top."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# ---- Pictures --------------------------------------------------------------------------


def ball_pixel(x, y, size=64):
    d = math.hypot(x + 0.5 - size / 2, y + 0.5 - size / 2) / (size / 2)
    a = max(0.0, min(1.0, (1.0 - d) * 4.0))  # solid disc with a soft rim
    shade = 1.0 - 0.35 * max(0.0, d - 0.2)  # a little darker towards the rim
    v = int(255 * shade)
    return (v, v, v, int(255 * a))


def checker_pixel(x, y):
    light = ((x // 8) + (y // 8)) % 2 == 0
    return (230, 220, 200, 255) if light else (70, 90, 140, 255)


# ---- Mesh: a faceted gem and a six-sided pedestal ----------------------------------------


def gem_and_pedestal():
    out = ["# Demo mesh: two objects, each with flat normals and texture coordinates."]
    # Indices count across the whole file, so the lists grow over both objects; each object
    # writes the values it added.
    verts, uvs, normals = [], [], []
    written = [0, 0, 0]
    faces = []

    def face(points, texcoords):
        a, b, c = points[0], points[1], points[2]
        u = [b[i] - a[i] for i in range(3)]
        v = [c[i] - a[i] for i in range(3)]
        n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
        length = math.sqrt(sum(k * k for k in n)) or 1.0
        normals.append([k / length for k in n])
        corners = []
        for p, t in zip(points, texcoords):
            verts.append(p)
            uvs.append(t)
            corners.append((len(verts), len(uvs), len(normals)))
        faces.append(corners)

    def emit(name):
        out.append("o " + name)
        out.extend("v %.4f %.4f %.4f" % tuple(p) for p in verts[written[0]:])
        out.extend("vt %.4f %.4f" % tuple(t) for t in uvs[written[1]:])
        out.extend("vn %.4f %.4f %.4f" % tuple(n) for n in normals[written[2]:])
        out.extend("f " + " ".join("%d/%d/%d" % c for c in corners) for corners in faces)
        written[:] = [len(verts), len(uvs), len(normals)]
        del faces[:]

    sides = 6

    def ring(radius):
        return [(radius * math.cos(2 * math.pi * k / sides), radius * math.sin(2 * math.pi * k / sides))
                for k in range(sides)]

    # The gem: a six-sided double pyramid, pointing up along z.
    narrow = ring(0.5)
    top, bottom = (0.0, 0.0, 0.9), (0.0, 0.0, -0.6)
    for k in range(sides):
        p, q = narrow[k], narrow[(k + 1) % sides]
        face([(p[0], p[1], 0.0), (q[0], q[1], 0.0), top], [(0, 0), (1, 0), (0.5, 1)])
        face([(q[0], q[1], 0.0), (p[0], p[1], 0.0), bottom], [(1, 1), (0, 1), (0.5, 0)])
    emit("gem")

    # The pedestal: a flat six-sided slab below the origin, its top at z = 0.
    wide = ring(1.0)
    for k in range(sides):
        p, q = wide[k], wide[(k + 1) % sides]
        face([(p[0], p[1], -0.3), (q[0], q[1], -0.3), (q[0], q[1], 0.0), (p[0], p[1], 0.0)],
             [(0, 0), (1, 0), (1, 0.3), (0, 0.3)])
        face([(0.0, 0.0, 0.0), (p[0], p[1], 0.0), (q[0], q[1], 0.0)],
             [(0.5, 0.5), (0.5 + p[0] / 2, 0.5 + p[1] / 2), (0.5 + q[0] / 2, 0.5 + q[1] / 2)])
    emit("pedestal")
    return "\n".join(out) + "\n"


# ---- Sounds (sox) -------------------------------------------------------------------------


def make_sounds(folder):
    def sox(*args):
        # 16-bit samples for wave files; the ogg encoder chooses its own.
        bits = ["-b", "16"] if args[2].endswith(".wav") else []
        subprocess.run(["sox", "-n", "-c", "1", *bits, *args], check=True)

    # A short rising blip for bounces.
    sox("-r", "22050", os.path.join(folder, "blip.wav"), "synth", "0.07", "sine", "880-1320", "fade", "0", "0.07", "0.03", "vol", "0.6")
    # A soft bell for the 3D demo.
    sox("-r", "11025", os.path.join(folder, "chime.wav"), "synth", "0.4", "sine", "660", "sine", "990", "remix", "-",
        "fade", "0", "0.4", "0.38", "vol", "0.5")
    # A quiet drone that loops as music.
    sox("-r", "22050", os.path.join(folder, "drone.ogg"), "synth", "4", "sine", "110", "sine", "165", "sine", "220",
        "remix", "-", "tremolo", "0.5", "40", "vol", "0.3")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "run", "media", "demo")
    os.makedirs(folder, exist_ok=True)
    write_png(os.path.join(folder, "ball.png"), 64, 64, ball_pixel)
    write_png(os.path.join(folder, "checker.png"), 64, 64, checker_pixel)
    with open(os.path.join(folder, "gem.obj"), "w") as f:
        f.write(gem_and_pedestal())
    make_sounds(folder)


if __name__ == "__main__":
    main()
