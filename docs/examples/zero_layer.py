"""The zeroth reciprocal layer of decagonal P10.5/mmc with Penrose intensities.

Spot areas follow the kinematic intensity; main reflections are red.
Run:  python3 docs/examples/zero_layer.py  (writes zero_layer.png)
"""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import lumora

run = lumora.reflections(model="penrose", loops=4, theta=(1, 40))
layer = run["indices"][:, -1] == 0
x, y, intensity, main = run["x"][layer], run["y"][layer], run["intensity"][layer], run["main"][layer]

fig, ax = plt.subplots(figsize=(6, 6))
ax.scatter(x, y, s=2 + 3 * intensity, c=np.where(main, "red", "black"), linewidths=0)
ax.set_aspect("equal")
ax.set_xlabel("x (1/Å)")
ax.set_ylabel("y (1/Å)")
ax.set_title(f"{run['space_group']}, zeroth layer, model {run['model']}: {layer.sum()} reflections")
fig.savefig("zero_layer.png", dpi=120)
print("wrote zero_layer.png")
