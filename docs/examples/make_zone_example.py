"""A synthetic five-fold electron diffraction image of an icosahedral
quasicrystal (a = 5.1 A, P235) for trying lumora-cli zone --measured.

The zero-layer spots are those lumora-cli zone lists along the five-fold
axis out to 0.9 1/A, each drawn as a Gaussian (sigma 1.6 px) of height
exp(-(l q_perp)^2) x 220 counts (the qi-based weight, spots below 2 % left
out), at camera constant K = 400 px A, rotated 14 degrees counter-clockwise
on screen, centred at (391.4, 377.8) px. Under them a diffuse background
falling from the centre, a beam stop over the centre and its arm to the
right edge, and Poisson noise from a fixed seed (the file is the same at
every run). Written as an 8-bit grey PNG, 768 x 768.

Run:  python3 docs/examples/make_zone_example.py [path of lumora-cli]
      (writes docs/examples/synthetic_fivefold.png; needs numpy)
"""
import csv
import os
import struct
import subprocess
import sys
import tempfile
import zlib

import numpy as np

CLI = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUMORA_CLI", "lumora-cli")
HERE = os.path.dirname(os.path.abspath(__file__))
SIZE, K, ROTATION, CX, CY, SIGMA = 768, 400.0, 14.0, 391.4, 377.8, 1.6

with tempfile.TemporaryDirectory() as folder:
    table = os.path.join(folder, "z.csv")
    subprocess.run([CLI, "zone", "--system", "icosahedral", "--space-group", "P235", "-a", "5.1", "--loops", "8",
                    "--qi-max", "1.5", "--g-max", "0.9", "--s-max", "0.2", "--csv", table],
                   check=True, stdout=subprocess.DEVNULL)
    with open(table) as f:
        spots = [row for row in csv.DictReader(f) if row["laue_zone"] == "0"]

weights = np.array([float(s["f_squared"]) for s in spots])
gx = np.array([float(s["x"]) for s in spots])
gy = np.array([float(s["y"]) for s in spots])
keep = weights >= 0.02
phi = np.radians(ROTATION)
u = CX + K * (gx * np.cos(phi) - gy * np.sin(phi))
v = CY - K * (gx * np.sin(phi) + gy * np.cos(phi))

y, x = np.mgrid[0:SIZE, 0:SIZE].astype(float)
r = np.hypot(x - CX, y - CY)
image = 8.0 + 60.0 * np.exp(-r / 180.0)
for ui, vi, w in zip(u[keep], v[keep], weights[keep]):
    x0, x1 = int(max(ui - 6, 0)), int(min(ui + 7, SIZE))
    y0, y1 = int(max(vi - 6, 0)), int(min(vi + 7, SIZE))
    if x0 >= x1 or y0 >= y1:
        continue
    image[y0:y1, x0:x1] += 220.0 * w * np.exp(-((x[y0:y1, x0:x1] - ui) ** 2 + (y[y0:y1, x0:x1] - vi) ** 2)
                                              / (2 * SIGMA ** 2))
stop = (r < 14) | ((x > CX) & (np.abs(y - CY) < 8))
image[stop] = 2.0
rng = np.random.default_rng(20260522)
counts = np.clip(rng.poisson(image), 0, 255).astype(np.uint8)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


raw = b"".join(b"\x00" + counts[row].tobytes() for row in range(SIZE))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 0, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
out = os.path.join(HERE, "synthetic_fivefold.png")
with open(out, "wb") as f:
    f.write(png)
print("wrote", out, "with", int(keep.sum()), "spots")
