#!/usr/bin/env python3
"""Reference values for Lumora's physics, worked out here from the formulas.

This script knows nothing of the C++ code. It builds the eight lattice bases
from the setting tables, inverts them, walks the index box, classifies the
in-plane directions, applies the centring and the reflection conditions of the
85-row space-group table, and writes the report text, all in its own code.
The reference test (reference_test.cpp) then runs the program on the same
inputs and compares.

Written into the output folder:
  matrices.txt    basis, direct and inverse matrix of every system and setting
                  at two (a, c) pairs (inverses from numpy, independently of the
                  elimination used below), axis direction and mirror steps
  groups.txt      the 85 rows: number, system, list position, symbol, rule words;
                  the default group of each system and the start-up group
  counts.txt      kept reflections per group and setting on an open-filter box,
                  with a signature of which vectors were kept; direction classes
                  and main reflections of the whole box
  extinction.txt  the verdict of every group on a fixed set of index vectors
                  and direction classes
  cases.txt       inputs, run statistics and per-record class / main flag of the
                  eight report cases
  report_*.hkl    the eight reports, byte for byte

Run with /usr/bin/python3 (needs python3-numpy). The output is rebuilt only
when this script changes.
"""

import argparse
import hashlib
import math
import os
import sys
from decimal import ROUND_HALF_UP, Decimal

try:
    import numpy as np
except ImportError:  # pragma: no cover - a setup problem, not a test result
    sys.exit("lumora_reference.py needs numpy: apt-get install python3-numpy")

# ---------------------------------------------------------------------------
# Constants, exactly as the program's formulas state them (not full precision).
PI = 3.141592654
DEG = PI / 180.0              # degree -> radian factor
RADIAN_DIVISOR = 0.01745329252  # radians -> degrees for theta
TILT = 1.107148718            # angle between two fivefold axes
F32 = np.float32

OCT, DEC, DOD, ICO = 1, 2, 3, 4
SYSTEM_NAMES = {OCT: "octagonal", DEC: "decagonal", DOD: "dodecagonal", ICO: "icosahedral"}
BASE_DEGREES = {OCT: 45.0, DEC: 72.0, DOD: 30.0, ICO: 72.0}
MIRROR_STEPS = {OCT: (45.0, 22.5), DEC: (36.0, 18.0), DOD: (30.0, 15.0), ICO: (0.0, 0.0)}


def ndim(system):
    return 6 if system == ICO else 5


# ---------------------------------------------------------------------------
# Bases (rows as each setting defines them).

def basis(system, a, c, yamamoto):
    """The n x n basis rows: Steurer rows are reciprocal vectors in 1/A,
    Yamamoto rows direct vectors in A."""
    base = BASE_DEGREES[system] * DEG

    def cs(m):
        return math.cos(float(m) * base)

    def sn(m):
        return math.sin(float(m) * base)

    n = ndim(system)
    rows = [[0.0] * n for _ in range(n)]
    if not yamamoto:
        ia, ic = 1.0 / a, 1.0 / c
        if system == ICO:
            sp, cp = math.sin(TILT), math.cos(TILT)
            rows[0] = [0.0, 0.0, ia, 0.0, 0.0, ia]
            for i in range(1, 6):
                k = i + 1
                rows[i] = [sp * cs(k) * ia, sp * sn(k) * ia, cp * ia,
                           -sp * cs(3 * k) * ia, -sp * sn(3 * k) * ia, -cp * ia]
        else:
            step = 5 if system == DOD else 3  # internal step: 3k, or 5k for dodecagonal
            for i in range(4):
                k = i + 1
                rows[i] = [cs(k) * ia, sn(k) * ia, cs(step * k) * ia, sn(step * k) * ia, 0.0]
            rows[4][4] = ic
        return rows

    r2 = 2.0 / math.sqrt(5.0)
    r1 = 1.0 / math.sqrt(5.0)
    if system == OCT:
        for i in range(4):
            k = i + 1
            rows[i] = [a * cs(k), a * sn(k), a * cs(3 * k), a * sn(3 * k), 0.0]
        rows[4][4] = c
    elif system == DEC:
        for i in range(4):
            k = i + 1
            f = a * r2
            rows[i] = [f * (cs(k) - 1.0), f * sn(k), f * (cs(2 * k) - 1.0), f * sn(2 * k), 0.0]
        rows[4][4] = c
    elif system == DOD:
        s3 = math.sqrt(3.0)
        for i, (p, q) in enumerate([(-1, 1), (0, 6), (3, 9), (4, 14)]):
            rows[i] = [(a * cs(p) + a * cs(p)) / s3, (a * sn(p) + a * sn(p)) / s3,
                       (a * cs(q) + a * cs(q)) / s3, (a * sn(q) + a * sn(q)) / s3, 0.0]
        rows[4][4] = c
    else:
        rows[0] = [0.0, 0.0, a, 0.0, 0.0, a]
        for i in range(1, 6):
            k = i + 1
            rows[i] = [a * r2 * cs(k), a * r2 * sn(k), a * r1,
                       a * r2 * cs(2 * k), a * r2 * sn(2 * k), a * -r1]
    return rows


def gauss_jordan_inverse(m):
    """Gauss-Jordan with full pivoting, the last largest element as pivot,
    columns unscrambled at the end. Used for the enumeration so that its
    borderline decisions see the same numbers; the pinned matrices come from
    numpy instead."""
    n = len(m)
    m = [row[:] for row in m]
    ipiv = [0] * n
    rows, cols = [0] * n, [0] * n
    for i in range(n):
        big, irow, icol = 0.0, 0, 0
        for j in range(n):
            if ipiv[j] == 1:
                continue
            for k in range(n):
                if ipiv[k] == 0 and abs(m[j][k]) >= abs(big):
                    big, irow, icol = m[j][k], j, k
        ipiv[icol] += 1
        if irow != icol:
            m[irow], m[icol] = m[icol], m[irow]
        rows[i], cols[i] = irow, icol
        pivot = m[icol][icol]
        m[icol][icol] = 1.0
        m[icol] = [v / pivot for v in m[icol]]
        for ll in range(n):
            if ll == icol:
                continue
            dum = m[ll][icol]
            m[ll][icol] = 0.0
            m[ll] = [m[ll][l] - m[icol][l] * dum for l in range(n)]
    for l in range(n - 1, -1, -1):
        if rows[l] != cols[l]:
            for k in range(n):
                m[k][rows[l]], m[k][cols[l]] = m[k][cols[l]], m[k][rows[l]]
    return m


def transpose(m):
    return [list(col) for col in zip(*m)]


class Lattice:
    def __init__(self, system, a, c, yamamoto, invert=gauss_jordan_inverse):
        self.system, self.a, self.c, self.yamamoto = system, a, c, yamamoto
        self.n = ndim(system)
        b = basis(system, a, c, yamamoto)
        if yamamoto:
            self.direct = b
            self.inverse = invert(b)
        else:
            # Steurer rows are reciprocal vectors: their transpose has them as columns.
            self.inverse = transpose(b)
            self.direct = invert(self.inverse)
        self.axis = (0.0, 0.0)
        if self.n == 5:
            u0, u1 = self.inverse[0][0], self.inverse[1][0]
            length = math.sqrt(u1 * u1 + u0 * u0)
            self.axis = (u0 / length, u1 / length)
        self.m1, self.m2 = (F32(v) for v in MIRROR_STEPS[system])


def numpy_inverse(m):
    return np.linalg.inv(np.array(m, dtype=np.float64)).tolist()


# ---------------------------------------------------------------------------
# One index vector.

def arcsin(x):
    if x >= 1.0:
        return PI / 2.0
    if x <= -1.0:
        return -PI / 2.0
    return math.atan(x / math.sqrt(1.0 - x * x))


def arccos(x):
    if x >= 1.0:
        return 0.0
    if x <= -1.0:
        return PI
    return math.atan(-x / math.sqrt(1.0 - x * x)) + 2.0 * math.atan(1.0)


def reciprocal(lat, h):
    w = []
    for i in range(lat.n):
        s = 0.0
        for j in range(lat.n):
            s += lat.inverse[i][j] * float(h[j])
        w.append(s)
    return w


LIMIT_TOLERANCE = 1e-9


class Record:
    __slots__ = ("h", "theta", "d", "qe", "qi", "x", "y", "z", "cls", "main", "serial")


def compute(lat, h, wavelength, theta_low, theta_high, qi_limit):
    """The record of h when it passes the theta and qi filters, else None."""
    w = reciprocal(lat, h)
    a = lat.a
    if lat.n == 5:
        qe = math.sqrt(w[1] * w[1] + w[0] * w[0] + w[4] * w[4])
        if lat.yamamoto:
            qi = math.sqrt(w[3] * w[3] * a * a + w[2] * w[2] * a * a)
        else:
            qi = math.sqrt(w[3] * w[3] + w[2] * w[2])
        xyz = (w[0], w[1], w[4])
    else:
        qe = math.sqrt(w[1] * w[1] + w[0] * w[0] + w[2] * w[2])
        qi = math.sqrt(w[4] * w[4] * (a * a) + w[3] * w[3] * (a * a) + w[5] * w[5] * (a * a))
        xyz = (w[0], w[1], w[2])
    if qe == 0.0:
        return None
    d = 1.0 / qe
    ratio = wavelength / (2.0 * d)
    if ratio >= 1.0:
        return None  # beyond the limiting sphere: never passes
    theta = arcsin(ratio) / RADIAN_DIVISOR
    # Within a relative 1e-9 of a limit counts as inside it, so that reflections
    # of one symmetry family (equal lengths up to rounding) pass or fail together.
    def widened(limit, sign):
        return limit + sign * LIMIT_TOLERANCE * abs(limit)
    if not (theta > 0.0 and theta >= widened(theta_low, -1) and theta <= widened(theta_high, 1)
            and qi <= widened(qi_limit, 1)):
        return None
    r = Record()
    r.h = tuple(h) + (0,) * (6 - len(h))
    r.theta, r.d, r.qe, r.qi = F32(theta), F32(d), F32(qe), F32(qi)
    r.x, r.y, r.z = (F32(v) for v in xyz)
    r.cls = classify(lat, r.h)
    r.main = 0
    return r


def classify(lat, h):
    """0 general, 1 along a first-family direction, 2 second family."""
    if lat.n == 6:
        return 0
    w = reciprocal(lat, h[:5])
    r = math.sqrt(w[1] * w[1] + w[0] * w[0])
    if r == 0.0:
        return 1  # on the periodic axis
    u0, u1 = w[0] / r, w[1] / r
    cos_a = lat.axis[1] * u1 + lat.axis[0] * u0
    if cos_a > 1.0:
        cos_a = 1.0
    angle = F32(arccos(cos_a) / DEG)
    tol = F32(0.3)

    def folded(step):
        q = angle / step                 # single-precision quotient
        return step * (q - np.trunc(q))

    f1, f2 = folded(lat.m1), folded(lat.m2)
    if f1 < tol or f1 > lat.m1 - tol:
        return 1
    if f2 < tol or f2 > lat.m2 - tol:
        return 2
    return 0


def mark_main(records, system):
    n = ndim(system)
    for r in records:
        zeros = sum(1 for k in range(n) if r.h[k] == 0)
        main = zeros == n - 1
        if system != OCT and r.h[0] == r.h[1] == r.h[2] == r.h[3] and zeros == 1:
            main = True
        r.main = 1 if main else 0


# ---------------------------------------------------------------------------
# The space-group table: (number, symbol, rule words), by system.

TABLE_TEXT = """
1 P-8 | 2 I-8 | 3 P-8m2 | 4 P-8b2 Aoa | 5 P-8c2 Oa | 6 P-8n2 Eoa Oea | 7 P-82m |
8 P-82.1m Zoa | 9 P-82c Ob | 10 P-82.1c Ob Zoa | 11 I-8m2 | 12 I-82m | 13 I-82c Ob |
14 P8 | 15 I8 | 16 P8mm | 17 P8bm Aoa | 18 P8cc Oab | 19 P8nc Oea Ob Eoa | 20 P8.4mc Ob |
21 P8.4bc Ob Aoa | 22 P8.4cm Oa | 23 P8.4nm Oea Eoa | 24 I8mm | 25 I8mc Ob | 26 P822 |
27 P82.12 Zoa | 28 I822 | 29 P8/m | 30 P8/n Zo | 31 I8/m | 32 P8/mmm | 33 P8/mbm Aoa |
34 P8/mcc Oab | 35 P8/mnc Oea Ob Eoa | 36 P8/nmm Zo | 37 P8/nbm Aoa Zo | 38 P8/ncc Oab Zo |
39 P8/nnc Oea Eoa Ob Zo | 40 P8.4/mmc Ob | 41 P8.4/mbc Ob Aoa | 42 P8.4/mcm Oa |
43 P8.4/mnm Oea Eoa | 44 P8.4/nmc Ob Zo | 45 P8.4/nbc Ob Aoa Zo | 46 P8.4/ncm Oa Zo |
47 P8.4/nnm Oea Eoa Zo | 48 I8/mmm | 49 I8/mmc Ob |
50 P-10m2 | 51 P-10c2 Oa | 52 P-102m | 53 P-102c Ob | 54 P10 | 55 P10mm | 56 P10cc Oab |
57 P10.5mc Ob | 58 P10.5cm Oa | 59 P1022 | 60 P10/m | 61 P10/mmm | 62 P10/mcc Oab |
63 P10.5/mmc Ob | 64 P10.5/mcm Oa |
65 P-122m | 66 P12 | 67 P12mm | 68 P12.6cm Oa | 69 P12cc Oab | 70 P1222 | 71 P12/m |
72 P12/mmm | 73 P12.6/mcm Oa | 74 P12/mcc Oab |
75 P235 | 76 P235.1 h1=5n for  h1 h2 h2 h2 h2 h2 | 77 I235 |
78 I235.1 h1+5h2=10n  for h1 h2 h2 h2 h2 h2 | 79 F235 |
80 F235.1 h1+5h2=10n  for h1 h2 h2 h2 h2 h2 | 81 Pm-3-5 |
82 Pn-3-5 h5-h6=2n  for h1 h2 -h1 -h2 h5 h6 | 83 Im-3-5 | 84 Fm-3-5 |
85 Fn-3-5 h5-h6=4n  for h1 h2 -h1 -h2 h5 h6
"""

OFFSETS = {OCT: 0, DEC: 49, DOD: 64, ICO: 74}
DEFAULT_LIST_INDEX = {OCT: 31, DEC: 11, DOD: 7, ICO: 0}
START = (DEC, 13)


class Group:
    def __init__(self, line):
        words = line.split()
        self.number = int(words[0])
        self.symbol = words[1]
        self.words = words[2:]
        self.rules = "".join(w + " " for w in self.words)
        self.system = (OCT if self.number <= 49 else DEC if self.number <= 64
                       else DOD if self.number <= 74 else ICO)
        self.list_index = self.number - 1 - OFFSETS[self.system]


GROUPS = [Group(entry) for entry in TABLE_TEXT.replace("\n", " ").split("|")]
assert [g.number for g in GROUPS] == list(range(1, 86))
assert [sum(1 for g in GROUPS if g.system == s) for s in (OCT, DEC, DOD, ICO)] == [49, 15, 10, 11]


def group_at(system, list_index):
    return GROUPS[OFFSETS[system] + list_index]


def odd(v):
    return v % 2 != 0


def extinct(h, cls, group, n):
    """Centring first (F, I in the symbol), then the axial codes or the
    icosahedral rule of the row."""
    h = [0] + [int(v) for v in h] + [0] * (6 - len(h))   # 1-based, h[6] = 0 when axial
    s = sum(h[1:n + 1])
    if "F" in group.symbol:
        for k in range(1, 6):
            if odd(h[k]) and not odd(h[k + 1]):
                return True
        for k in range(1, 6):
            if not odd(h[k]) and odd(h[k + 1]):
                return True
    if "I" in group.symbol and odd(s):
        return True
    if n == 5:
        def has(code):
            return code + " " in group.rules
        h5 = h[5]
        # "Aoa" excludes nothing.
        if has("Oa") and cls == 1 and odd(h5):
            return True
        if has("Ob") and cls == 2 and odd(h5):
            return True
        if has("Oea") and not odd(s) and cls == 1 and odd(h5):
            return True
        if has("Oab") and cls in (1, 2) and odd(h5):
            return True
        if has("Eoa") and not odd(h5) and cls == 1 and odd(s):
            return True
        if has("Zo") and h5 == 0 and odd(s):
            return True
        if has("Zoa") and h5 == 0 and cls == 1 and odd(s):
            return True
        return False
    same = h[2] == h[3] == h[4] == h[5] == h[6]
    opposite = h[3] == -h[1] and h[4] == -h[2]
    if group.number == 76:
        return same and h[1] % 5 == 0
    if group.number in (78, 80):
        return same and (h[1] + 5 * h[2]) % 10 == 0
    if group.number == 82:
        return opposite and (h[5] - h[6]) % 2 == 0
    if group.number == 85:
        return opposite and (h[5] - h[6]) % 4 == 0
    return False


# ---------------------------------------------------------------------------
# Runs.

def box(limits, n):
    """Every index vector, first index outermost, each from +L down to -L."""
    def rec(k):
        if k == n:
            yield ()
            return
        for v in range(limits[k], -limits[k] - 1, -1):
            for rest in rec(k + 1):
                yield (v,) + rest
    return rec(0)


def candidates(lat, limits, wavelength, theta_low, theta_high, qi_limit):
    """Records passing the numeric filters, in walk order, with their serial
    number in the box (the origin counts)."""
    out = []
    for serial, h in enumerate(box(limits, lat.n)):
        if not any(h):
            continue
        r = compute(lat, h, wavelength, theta_low, theta_high, qi_limit)
        if r is not None:
            r.serial = serial
            out.append(r)
    return out


def run(lat, group, limits, wavelength, theta_low, theta_high, qi_limit):
    kept = [r for r in candidates(lat, limits, wavelength, theta_low, theta_high, qi_limit)
            if not extinct(r.h, r.cls, group, lat.n)]
    mark_main(kept, lat.system)
    return kept


def statistics(records, n):
    zero_layer = theta_max = qi_max = F32(0.0)
    qi_min = F32(10.0)
    lo = [F32(0.0)] * 3
    hi = [F32(0.0)] * 3
    for r in records:
        if r.h[n - 1] == 0 and abs(r.x) > zero_layer:
            zero_layer = abs(r.x)
        theta_max = max(theta_max, r.theta)
        qi_max = max(qi_max, r.qi)
        if F32(0.0) < r.qi < qi_min:
            qi_min = r.qi
        for k, v in enumerate((r.x, r.y, r.z)):
            lo[k] = min(lo[k], v)
            hi[k] = max(hi[k], v)
    return [zero_layer, theta_max, qi_max, qi_min, lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]]


# ---------------------------------------------------------------------------
# The report.

def fixed(v, decimals):
    """'###0' / '###0.00000': the exact single-precision value rounded to
    nearest, halves away from zero; a minus sign only when a non-zero digit is
    printed (rounding noise around zero prints as 0.00000)."""
    q = Decimal(float(v)).quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP)
    text = "{:f}".format(abs(q))
    return ("-" + text) if q < 0 and q != 0 else text


def pad_left(s, n):
    return s[:n] if len(s) >= n else " " * (n - len(s)) + s


def pad_right(s, n):
    return s[:n] if len(s) >= n else s + " " * (n - len(s))


HEADS = ["h1", "h2", "h3", "h4", "h5", "h6", "Theta", "d", "qe", "qi", "x", "y", "z"]


def report(records, n, steurer, symbol, line1, line2):
    heads = list(HEADS)
    if steurer:
        heads[8], heads[9] = "ve", "vi"
    cols = [c for c in range(13) if not (c == 5 and n == 5)]
    header = pad_right("#", 5) + "".join(pad_left(heads[c], 4 if c < 6 else 10) for c in cols)
    rule = "-" * len(header)
    lines = ["LUMORA REPORT - %d reflections" % len(records), symbol + ", " + line1, line2, "",
             rule, header, rule]
    for i, r in enumerate(records, start=1):
        values = [F32(v) for v in r.h] + [r.theta, r.d, r.qe, abs(r.qi), r.x, r.y, r.z]
        lines.append(pad_right(str(i), 5) + "".join(
            pad_left(fixed(values[c], 0 if c < 6 else 5), 4 if c < 6 else 10) for c in cols))
    return "".join(line + "\r\n" for line in lines)


def summary_lines(system, yamamoto, texts):
    loops = texts["loops"][:ndim(system)]
    if system == ICO:
        line1 = "a = " + texts["a"] + ", loop = " + "".join(loops)
    else:
        line1 = "a = " + texts["a"] + ", c = " + texts["c"] + ", loop = " + "".join(loops)
    line1 += ", Yamamoto matrices" if yamamoto else ", Steurer matrices "
    line2 = ("wavelength = " + texts["wavelength"] + ", thmin = " + texts["thmin"] +
             ", thmax = " + texts["thmax"] + ", qimax = " + texts["qimax"])
    return line1, line2


# One report per system and setting. Groups are chosen to put centring and
# rules to work; texts are the field texts as typed.
MO = "0.7106867"
CU = "1.541878"
REPORT_CASES = [
    # name, system, list index, yamamoto, a, c, wavelength, thmin, thmax, qimax, loops
    ("octagonal_yamamoto", OCT, 38, True, "2.82", "12.06", MO, "1.0", "30.0", "1.0", "2"),
    ("octagonal_steurer", OCT, 44, False, "4.1", "6.5", CU, "5", "60", "0.45", "2"),
    ("decagonal_yamamoto", DEC, 13, True, "2.82", "12.06", MO, "1.0", "30.0", "1.0", "2"),
    ("decagonal_steurer", DEC, 12, False, "3.3", "4.2", MO, "2.5", "35", "0.6", "3"),
    ("dodecagonal_yamamoto", DOD, 8, True, "2.82", "12.06", MO, "1.0", "30.0", "1.0", "2"),
    ("dodecagonal_steurer", DOD, 9, False, "2.5", "8.8", CU, "3", "50", "0.7", "2"),
    ("icosahedral_yamamoto", ICO, 7, True, "5.1", "12.06", MO, "1.0", "20.0", "1.2", "2"),
    ("icosahedral_steurer", ICO, 10, False, "4.6", "12.06", CU, "5", "70", "2.0", "2"),
]

# The open-filter box: every rule acts alone.
OPEN = dict(a=2.82, c=12.06, wavelength=0.7106867, theta_low=0.0, theta_high=90.0, qi_limit=1e9, loop=2)
MATRIX_PAIRS = [(2.82, 12.06), (5.3, 2.1)]


def fmt(v):
    return repr(float(v))


# ---------------------------------------------------------------------------
# Checks of this reference against the figures worked out by hand.

def self_check():
    yo = basis(OCT, 2.82, 12.06, True)
    for got, want in zip(yo[0], [1.9940, 1.9940, -1.9940, 1.9940, 0.0]):
        assert abs(got - want) < 5e-5, ("octagonal Yamamoto row 0", yo[0])
    si = basis(ICO, 2.82, 12.06, False)
    for got, want in zip(si[1], [-0.2566, 0.1864, 0.1586, -0.0980, -0.3016, -0.1586]):
        assert abs(got - want) < 5e-5, ("icosahedral Steurer row 1", si[1])
    # Steurer octagonal, a = c = 1: columns of the inverse are (cos 45k, sin 45k, cos 135k, sin 135k, 0).
    lat = Lattice(OCT, 1.0, 1.0, False)
    for k in range(1, 5):
        col = [lat.inverse[i][k - 1] for i in range(5)]
        want = [math.cos(45 * k * DEG), math.sin(45 * k * DEG), math.cos(135 * k * DEG),
                math.sin(135 * k * DEG), 0.0]
        assert max(abs(x - y) for x, y in zip(col, want)) < 1e-12
    w = reciprocal(lat, (1, 0, 0, 0, 0))
    assert abs(w[0] - 0.7071) < 5e-5 and abs(w[1] - 0.7071) < 5e-5
    assert abs(w[2] + 0.7071) < 5e-5 and abs(w[3] - 0.7071) < 5e-5
    ico = Lattice(ICO, 2.82, 12.06, False)
    w = reciprocal(ico, (1, 0, 0, 0, 0, 0))
    assert w[0] == 0 and w[1] == 0 and abs(w[2] - 1 / 2.82) < 1e-15 and abs(w[5] - 1 / 2.82) < 1e-15
    # Every inverse: the elimination above and numpy's agree, and D . I = 1.
    for system in SYSTEM_NAMES:
        for yam in (True, False):
            for a, c in MATRIX_PAIRS:
                lat = Lattice(system, a, c, yam)
                ref = Lattice(system, a, c, yam, invert=numpy_inverse)
                scale = max(abs(v) for row in ref.inverse for v in row)
                diff = max(abs(x - y) for r1, r2 in zip(lat.inverse, ref.inverse) for x, y in zip(r1, r2))
                assert diff <= 1e-14 * scale, (system, yam, diff)
                prod = np.array(lat.direct) @ np.array(lat.inverse)
                assert np.abs(prod - np.eye(lat.n)).max() < 1e-12
    # Reflection conditions, the worked cases.
    g = {grp.symbol: grp for grp in GROUPS}
    assert extinct((1, 0, 0, 0, 0, 0), 0, g["I235"], 6) and not extinct((1, 1, 0, 0, 0, 0), 0, g["I235"], 6)
    assert not extinct((1, 1, 1, 1, 1, 1), 0, g["F235"], 6) and not extinct((2, 0, 0, 0, 0, 0), 0, g["F235"], 6)
    assert extinct((1, 0, 0, 0, 0, 0), 0, g["F235"], 6) and extinct((1, 1, 1, 1, 1, 2), 0, g["F235"], 6)
    assert extinct((-1, 0, 0, 0, 0), 0, g["P8/n"], 5) and not extinct((-1, 0, 0, 0, 1), 0, g["P8/n"], 5)
    assert extinct((5, 1, 1, 1, 1, 1), 0, g["P235.1"], 6) and extinct((0, 1, 1, 1, 1, 1), 0, g["P235.1"], 6)
    assert not extinct((3, 1, 1, 1, 1, 1), 0, g["P235.1"], 6)
    assert not extinct((5, 1, 1, 1, 1, 2), 0, g["P235.1"], 6)
    assert extinct((5, 1, 1, 1, 1, 1), 0, g["I235.1"], 6)
    assert extinct((1, 2, -1, -2, 3, 1), 0, g["Pn-3-5"], 6) and not extinct((1, 2, -1, -2, 2, 1), 0, g["Pn-3-5"], 6)
    assert extinct((1, 1, -1, -1, 5, 1), 0, g["Fn-3-5"], 6) and not extinct((1, 1, -1, -1, 3, 1), 0, g["Fn-3-5"], 6)
    assert g["P8nc"].rules == "Oea Ob Eoa " and g["P-8"].rules == ""
    # Loop count of the default box and its walk order.
    assert sum(1 for _ in box([2] * 5, 5)) - 1 == 3124
    order = list(box([1] * 5, 5))
    assert order[0] == (1, 1, 1, 1, 1) and order[-1] == (-1, -1, -1, -1, -1)
    # The report format.
    assert fixed(F32(2.5), 0) == "3" and fixed(F32(-2.5), 0) == "-3"
    assert fixed(0.015625, 5) == "0.01563" and fixed(F32(12345.678), 5) == "12345.67773"
    assert pad_left(fixed(-1000, 0), 4) == "-100"


# ---------------------------------------------------------------------------
# Writers.

def write_matrices(out):
    lines = ["# kind system yamamoto a c n elements(row by row)"]
    for system in SYSTEM_NAMES:
        for yam in (True, False):
            for a, c in MATRIX_PAIRS:
                head = "%d %d %s %s" % (system, int(yam), fmt(a), fmt(c))
                lat = Lattice(system, a, c, yam, invert=numpy_inverse)
                n = lat.n
                for kind, m in (("basis", basis(system, a, c, yam)), ("direct", lat.direct),
                                ("inverse", lat.inverse)):
                    lines.append("%s %s %d %s" % (kind, head, n, " ".join(fmt(v) for row in m for v in row)))
                lines.append("axis %s %s %s %s %s" % (head, fmt(lat.axis[0]), fmt(lat.axis[1]),
                                                      fmt(lat.m1), fmt(lat.m2)))
    out["matrices.txt"] = "\n".join(lines) + "\n"


def write_groups(out):
    lines = ["# group number system list-index symbol word-count words..."]
    for g in GROUPS:
        lines.append("group %d %d %d %s %d %s" % (g.number, g.system, g.list_index, g.symbol,
                                                 len(g.words), " ".join(g.words)))
    for system in SYSTEM_NAMES:
        lines.append("default %d %d %s" % (system, DEFAULT_LIST_INDEX[system],
                                          group_at(system, DEFAULT_LIST_INDEX[system]).symbol))
    lines.append("start %d %d %s" % (START[0], START[1], group_at(*START).symbol))
    out["groups.txt"] = "\n".join(lines) + "\n"


def signature(records):
    return len(records), sum(r.serial for r in records), sum(r.serial * r.serial for r in records)


def write_counts(out):
    o = OPEN
    lines = ["# open box: a c wavelength theta-low theta-high qi-limit loop",
             "open %s %s %s %s %s %s %d" % (fmt(o["a"]), fmt(o["c"]), fmt(o["wavelength"]),
                                            fmt(o["theta_low"]), fmt(o["theta_high"]),
                                            fmt(o["qi_limit"]), o["loop"]),
             "# count system yamamoto list-index kept sum-of-serials sum-of-squared-serials",
             "# classes system yamamoto then (count, serial sum) of classes 0 1 2 and main reflections"]
    for system in SYSTEM_NAMES:
        for yam in (True, False):
            lat = Lattice(system, o["a"], o["c"], yam)
            cands = candidates(lat, [o["loop"]] * lat.n, o["wavelength"], o["theta_low"],
                               o["theta_high"], o["qi_limit"])
            mark_main(cands, system)
            parts = []
            for subset in ([r for r in cands if r.cls == k] for k in (0, 1, 2)):
                parts += signature(subset)[:2]
            parts += signature([r for r in cands if r.main])[:2]
            lines.append("classes %d %d %s" % (system, int(yam), " ".join(map(str, parts))))
            for g in GROUPS:
                if g.system != system:
                    continue
                kept = [r for r in cands if not extinct(r.h, r.cls, g, lat.n)]
                lines.append("count %d %d %d %d %d %d" % ((system, int(yam), g.list_index) + signature(kept)))
    out["counts.txt"] = "\n".join(lines) + "\n"


def extinction_domain():
    """Index vectors and classes every group is asked about."""
    axial = [(h, cls) for h in box([2] * 5, 5) if all(v >= -1 for v in h) for cls in (0, 1, 2)]
    ico = set()
    for h in box([1] * 6, 6):
        ico.add(h)
    for h1 in range(-12, 13):
        for h2 in range(-3, 4):
            ico.add((h1, h2, h2, h2, h2, h2))
            ico.add((h1, h2, h2, h2, h2, h2 + 1))
    for h1 in (-1, 0, 1, 2):
        for h2 in (-1, 0, 3):
            for h5 in range(-4, 5):
                for h6 in range(-4, 5):
                    ico.add((h1, h2, -h1, -h2, h5, h6))
                    ico.add((h1, h2, h1 + 1, -h2, h5, h6))
    return axial, sorted(ico)


def write_extinction(out):
    axial, ico = extinction_domain()
    lines = ["# vector 5|6 h... class, then per group a string of 1 (extinct) / 0 over the vectors"]
    lines += ["v5 %s %d" % (" ".join(map(str, h)), cls) for h, cls in axial]
    lines += ["v6 %s 0" % " ".join(map(str, h)) for h in ico]
    for g in GROUPS:
        if g.system == ICO:
            bits = "".join("1" if extinct(h, 0, g, 6) else "0" for h in ico)
        else:
            bits = "".join("1" if extinct(h, cls, g, 5) else "0" for h, cls in axial)
        lines.append("ext %d %s" % (g.number, bits))
    out["extinction.txt"] = "\n".join(lines) + "\n"


def write_cases(out):
    lines = ["# case name system list-index yamamoto a c wavelength thmin thmax qimax loop",
             "# stats name zeroLayerMax thetaMax qiMax qiMinPositive xMin xMax yMin yMax zMin zMax",
             "# flags name per-record class digits, per-record main flags (1 main)"]
    for name, system, idx, yam, a, c, wl, thmin, thmax, qimax, loop in REPORT_CASES:
        texts = dict(a=a, c=c, wavelength=wl, thmin=thmin, thmax=thmax, qimax=qimax, loops=[loop] * 6)
        lat = Lattice(system, float(a), float(c), yam)
        group = group_at(system, idx)
        records = run(lat, group, [int(loop)] * lat.n, float(wl), float(thmin), float(thmax), float(qimax))
        line1, line2 = summary_lines(system, yam, texts)
        out["report_%s.hkl" % name] = report(records, lat.n, not yam, group.symbol, line1, line2)
        lines.append("case %s %d %d %d %s %s %s %s %s %s %s" % (name, system, idx, int(yam), a, c, wl,
                                                                 thmin, thmax, qimax, loop))
        lines.append("stats %s %s" % (name, " ".join(fmt(v) for v in statistics(records, lat.n))))
        lines.append("flags %s %s %s" % (name, "".join(str(r.cls) for r in records) or "-",
                                         "".join(str(r.main) for r in records) or "-"))
    out["cases.txt"] = "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="folder for the reference files")
    args = parser.parse_args()
    with open(__file__, "rb") as f:
        stamp = hashlib.sha256(f.read()).hexdigest()
    stamp_path = os.path.join(args.out, "stamp")
    if os.path.exists(stamp_path):
        with open(stamp_path) as f:
            if f.read().strip() == stamp:
                return 0
    self_check()
    out = {}
    write_matrices(out)
    write_groups(out)
    write_counts(out)
    write_extinction(out)
    write_cases(out)
    os.makedirs(args.out, exist_ok=True)
    for name, text in out.items():
        with open(os.path.join(args.out, name), "w", newline="") as f:
            f.write(text)
    with open(stamp_path, "w") as f:
        f.write(stamp + "\n")
    print("reference files written to", args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
