"""A synthetic measured powder pattern of decagonal P10.5/mmc (Penrose model,
Cu K-alpha1/K-alpha2) for trying peak search and refinement.

The pattern is the one lumora-cli powder simulates for a = 2.825 A and
c = 12.08 A, shifted by a zero error of +0.04 degrees 2theta, scaled to 3000
counts at the strongest point over a background of 40 counts, with Poisson
noise from a fixed seed (the file is the same at every run). It is written as
2theta, counts, sigma = sqrt(counts).

Run:  python3 docs/examples/make_synthetic_powder.py [path of lumora-cli]
      (writes docs/examples/synthetic_decagonal.xye; needs numpy)
"""
import os
import subprocess
import sys
import tempfile

import numpy as np

CLI = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUMORA_CLI", "lumora-cli")
HERE = os.path.dirname(os.path.abspath(__file__))
TRUE_A, TRUE_C, ZERO_SHIFT = 2.825, 12.08, 0.04

with tempfile.TemporaryDirectory() as folder:
    simulated = os.path.join(folder, "p.xy")
    subprocess.run([CLI, "powder", "--model", "penrose", "--anode", "Cu", "--theta", "5,40", "--loops", "4",
                    "-a", str(TRUE_A), "-c", str(TRUE_C), "--caglioti", "0.004,-0.002,0.003", "--doublet",
                    "--two-theta", "10,80,0.01", "--pattern", simulated], check=True, stdout=subprocess.DEVNULL)
    two_theta, intensity = np.loadtxt(simulated, unpack=True)

rng = np.random.default_rng(20261207)
expected = 40.0 + 3000.0 * intensity / intensity.max()
counts = rng.poisson(expected).astype(float)
sigma = np.sqrt(np.maximum(counts, 1.0))
out = os.path.join(HERE, "synthetic_decagonal.xye")
with open(out, "w") as f:
    f.write(f"# synthetic: decagonal P10.5/mmc, Penrose model, Cu K-alpha doublet, a = {TRUE_A} A, c = {TRUE_C} A,\n")
    f.write(f"# zero shift {ZERO_SHIFT} degrees, 40 counts background, Poisson noise (make_synthetic_powder.py)\n")
    f.write("# 2theta counts sigma\n")
    for t, y, s in zip(two_theta + ZERO_SHIFT, counts, sigma):
        f.write(f"{t:.3f} {y:.0f} {s:.3f}\n")
print("wrote", out)
