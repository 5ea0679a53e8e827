"""Synthetic single-crystal reflections of decagonal P10.5/mmc for trying
"lumora-cli refine": the intensities lumora-cli gives the model
decagonal_true.model (Mo K-alpha, a = 2.82 A, c = 4.1 A, theta 2-28 degrees,
qi up to 1.6, loop limits 3), times a scale of 40, with an isotropic
extinction that takes 18 % off the strongest reflection, and Gaussian noise of
sigma = 3 % of I + 0.05 % of the strongest I from a fixed seed (the file is the
same at every run). Every reflection of the run is listed, equivalents
included, so that merging has something to do.

Run:  python3 docs/examples/make_synthetic_reflections.py [path of lumora-cli]
      (writes docs/examples/decagonal_reflections.hkl; needs numpy)
"""
import csv
import io
import os
import subprocess
import sys

import numpy as np

CLI = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUMORA_CLI", "lumora-cli")
HERE = os.path.dirname(os.path.abspath(__file__))
SCALE, EXTINCTION_LOSS, WAVELENGTH = 40.0, 0.18, 0.7107

run = subprocess.run([CLI, "reflections", "--model", os.path.join(HERE, "decagonal_true.model"), "--anode", "Mo",
                      "-a", "2.82", "-c", "4.1", "--theta", "2,28", "--qi-max", "1.6", "--loops", "3",
                      "--format", "csv"], check=True, capture_output=True, text=True).stdout
rows = [r for r in csv.reader(io.StringIO("\n".join(l for l in run.splitlines() if not l.startswith("#"))))]
header, rows = rows[0], rows[1:]
column = {name: k for k, name in enumerate(header)}
indices = np.array([[int(float(r[column[f"h{i}"]])) for i in range(1, 6)] for r in rows])
f_abs = np.array([float(r[column["f_abs"]]) for r in rows])
theta = np.radians(np.array([float(r[column["theta"]]) for r in rows]))

# I = scale |F|^2 (1 + 0.001 x |F|^2 lambda^3 / sin 2theta)^-1/2, x chosen for the loss above.
term = 0.001 * f_abs**2 * WAVELENGTH**3 / np.sin(2 * theta)
x = ((1 - EXTINCTION_LOSS) ** -2 - 1) / term.max()
intensity = SCALE * f_abs**2 / np.sqrt(1 + x * term)
sigma = 0.03 * intensity + 0.0005 * intensity.max()
rng = np.random.default_rng(20261208)
measured = intensity + sigma * rng.standard_normal(intensity.size)

out = os.path.join(HERE, "decagonal_reflections.hkl")
with open(out, "w") as f:
    f.write("# synthetic: decagonal P10.5/mmc, decagonal_true.model, Mo K-alpha, a = 2.82 A, c = 4.1 A,\n")
    f.write(f"# scale {SCALE}, extinction x = {x:.6g}, noise 3 % + 0.05 % of the strongest"
            " (make_synthetic_reflections.py)\n")
    f.write("# h1 h2 h3 h4 h5 I sigma\n")
    for h, i, s in zip(indices, measured, sigma):
        f.write(" ".join(f"{v:3d}" for v in h) + f" {i:.4f} {s:.4f}\n")
print("wrote", out, len(indices), "reflections")
