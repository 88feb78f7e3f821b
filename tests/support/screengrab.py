#!/usr/bin/env python3
"""Reads a window (or the root) of the X display in $DISPLAY through Xlib and either
writes it as a PNG or prints the RGB of pixels. Needs only libX11 and the standard
library, so the end-to-end tests and the README screenshots work without ImageMagick.

  screengrab.py png OUT.png [WINDOW_ID]
  screengrab.py pixel WINDOW_ID X Y [X Y ...]   # one "r g b" line per pixel, y from the top
"""
import ctypes
import ctypes.util
import struct
import sys
import zlib


class XImage(ctypes.Structure):
    # Leading fields of Xlib's XImage; the rest is not read.
    _fields_ = [
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int),
        ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
        ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong),
        ("blue_mask", ctypes.c_ulong),
    ]


def grab(window_id=None):
    """Returns (width, height, pixel) with pixel(x, y) the RGB triple, y from the top."""
    x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong)] + [
        ctypes.POINTER(ctypes.c_int)
    ] * 2 + [ctypes.POINTER(ctypes.c_uint)] * 4
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    dpy = x11.XOpenDisplay(None)
    if not dpy:
        sys.exit("cannot open the display")
    win = int(window_id, 0) if window_id else x11.XDefaultRootWindow(dpy)
    root = ctypes.c_ulong()
    x = ctypes.c_int()
    y = ctypes.c_int()
    w = ctypes.c_uint()
    h = ctypes.c_uint()
    bw = ctypes.c_uint()
    depth = ctypes.c_uint()
    if not x11.XGetGeometry(dpy, win, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y), ctypes.byref(w),
                            ctypes.byref(h), ctypes.byref(bw), ctypes.byref(depth)):
        sys.exit("no such window")
    all_planes = (1 << (8 * ctypes.sizeof(ctypes.c_ulong))) - 1
    img = x11.XGetImage(dpy, win, 0, 0, w.value, h.value, all_planes, 2)  # ZPixmap
    if not img:
        sys.exit("cannot read the window")
    im = img.contents
    if im.bits_per_pixel != 32:
        sys.exit("unsupported pixel size %d" % im.bits_per_pixel)
    shifts = []
    for mask in (im.red_mask, im.green_mask, im.blue_mask):
        s = 0
        while mask and not (mask >> s) & 1:
            s += 1
        shifts.append(s)
    raw = ctypes.string_at(im.data, im.bytes_per_line * im.height)
    fmt = "<I" if im.byte_order == 0 else ">I"
    stride = im.bytes_per_line

    def pixel(col, row):
        (p,) = struct.unpack_from(fmt, raw, row * stride + col * 4)
        return tuple((p >> s) & 255 for s in shifts)

    width, height = im.width, im.height
    x11.XCloseDisplay(dpy)
    return width, height, pixel


def write_png(path, width, height, pixel):
    rows = [bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height)]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main(argv):
    if len(argv) >= 3 and argv[1] == "png":
        w, h, pixel = grab(argv[3] if len(argv) > 3 else None)
        write_png(argv[2], w, h, pixel)
    elif len(argv) >= 5 and argv[1] == "pixel" and len(argv) % 2 == 1:
        w, h, pixel = grab(argv[2])
        for i in range(3, len(argv), 2):
            px, py = int(argv[i]), int(argv[i + 1])
            if not (0 <= px < w and 0 <= py < h):
                sys.exit("pixel %d %d outside the %dx%d window" % (px, py, w, h))
            print(*pixel(px, py))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
