#!/usr/bin/env python3
"""Writes a small real card for the browser test: DIR/DCIM/100ZTCAM with a photo that embeds an
EXIF thumbnail, a photo without one (decoded at reduced scale), a video with its companion .THM
and a video of two chapters. Pictures and videos are made by ffmpeg.
    make_card.py DIR"""
import os
import struct
import subprocess
import sys


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", "-y", *args], check=True)


def picture(path, size, pattern="testsrc2"):
    ffmpeg("-f", "lavfi", "-i", f"{pattern}=size={size}", "-frames:v", "1", "-q:v", "4", "-f", "mjpeg", path)


def video(path, seconds, size="320x240"):
    ffmpeg("-f", "lavfi", "-i", f"testsrc2=size={size}:rate=25:duration={seconds}", "-c:v", "libx264",
           "-pix_fmt", "yuv420p", "-g", "25", "-movflags", "+faststart", path)


def with_exif_thumbnail(photo, thumb):
    """The photo with an APP1 EXIF segment whose IFD1 points at `thumb` (little-endian TIFF)."""
    ifd0 = struct.pack("<H", 0) + struct.pack("<I", 8 + 6)            # no tags, IFD1 next
    ifd1_at = 8 + len(ifd0)
    entries = 2
    data_at = ifd1_at + 2 + entries * 12 + 4
    ifd1 = struct.pack("<H", entries)
    ifd1 += struct.pack("<HHII", 0x0201, 4, 1, data_at)
    ifd1 += struct.pack("<HHII", 0x0202, 4, 1, len(thumb))
    ifd1 += struct.pack("<I", 0)
    tiff = b"II*\x00" + struct.pack("<I", 8) + ifd0 + ifd1 + thumb
    app1 = b"Exif\x00\x00" + tiff
    return photo[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + photo[2:]


def main(card):
    folder = os.path.join(card, "DCIM", "100ZTCAM")
    os.makedirs(folder, exist_ok=True)
    tmp = os.path.join(card, "tmp.jpg")
    picture(tmp, "160x120", "smptebars")
    with open(tmp, "rb") as f:
        thumb = f.read()
    picture(tmp, "1600x1200")
    with open(tmp, "rb") as f:
        photo = f.read()
    with open(os.path.join(folder, "ZCAM0001.JPG"), "wb") as f:
        f.write(with_exif_thumbnail(photo, thumb))
    picture(os.path.join(folder, "ZCAM0002.JPG"), "2000x1500", "mandelbrot")
    os.remove(tmp)
    video(os.path.join(folder, "ZX010003.MP4"), 6)
    picture(os.path.join(folder, "ZX010003.THM"), "160x120", "smptebars")
    video(os.path.join(folder, "ZX010004.MP4"), 2)
    video(os.path.join(folder, "ZX020004.MP4"), 2)


if __name__ == "__main__":
    main(sys.argv[1])
