#!/usr/bin/env python3
"""A small dynamic-aperture scan of the demo's cell with the voxda module, plotted to a PNG.

usage: PYTHONPATH=build/python /usr/bin/python3 examples/da_scan.py [out.png]

Protons at 800 MeV start on a polar grid of amplitudes and angles in (x, y), with no angle
(x' = y' = 0), and are tracked for 200 cells; the picture shows where each one started,
coloured by the cells it survived, and the aperture found along every angle.
"""
import sys

import matplotlib

matplotlib.use("Agg")  # files only, no window
import matplotlib.pyplot as plt
import numpy as np

import voxda

CELLS = 200
amplitudes = np.linspace(0.002, 0.12, 60)  # m
angles = np.radians(np.linspace(0.0, 180.0, 37))  # the field is mirror-symmetric in x

# One particle per (angle, amplitude), rows x, xp, y, yp, energy.
a, t = np.meshgrid(amplitudes, angles)
particles = np.zeros((a.size, 5))
particles[:, 0] = (a * np.cos(t)).ravel()
particles[:, 2] = (a * np.sin(t)).ravel()
particles[:, 4] = 800.0  # MeV

final, lost = voxda.track(particles, CELLS)
survived = np.where(lost < 0, CELLS, lost).reshape(a.shape)

# Along every angle, the largest amplitude below which every particle survived.
first_lost = [np.argmax(row < CELLS) if (row < CELLS).any() else len(amplitudes) for row in survived]
edge = np.array([amplitudes[k - 1] if k > 0 else 0.0 for k in first_lost])
print(f"dynamic aperture after {CELLS} cells: minimum {1000 * edge.min():.1f} mm, "
      f"mean over angles {1000 * edge.mean():.1f} mm")

fig, ax = plt.subplots(figsize=(6.4, 4.0), dpi=100)
x, y = 1000 * particles[:, 0], 1000 * particles[:, 2]  # mm
inside = lost < 0
dots = ax.scatter(x[~inside], y[~inside], c=lost[~inside], s=9, cmap="viridis",
                  norm=matplotlib.colors.LogNorm(1, CELLS))
ax.scatter(x[inside], y[inside], s=9, color="firebrick", label=f"survive {CELLS} cells")
ax.plot(1000 * edge * np.cos(angles), 1000 * edge * np.sin(angles), color="black", lw=1.2,
        label="dynamic aperture")
ax.set_aspect("equal")
ax.set_xlabel("x (mm)")
ax.set_ylabel("y (mm)")
ax.set_title(f"Survival at 800 MeV, {CELLS} cells, exact mode")
fig.colorbar(dots, ax=ax, label="cells survived", shrink=0.7)
ax.legend(loc="upper center", bbox_to_anchor=(0.5, -0.18), ncol=2, fontsize=8, frameon=False)
fig.tight_layout()
out = sys.argv[1] if len(sys.argv) > 1 else "da_scan.png"
fig.savefig(out)
print(f"wrote {out}")
