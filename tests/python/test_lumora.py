# The Python package against lumora-cli on the same inputs, its errors, and
# the arrays' types and shapes.
import csv
import io
import json
import math
import os
import re
import signal
import subprocess
import tempfile
import threading
import time

import numpy as np
import pytest

import lumora

CLI = os.environ.get("LUMORA_CLI")
needs_cli = pytest.mark.skipif(not CLI, reason="lumora-cli is not built (core-only build)")


def cli(*args):
    return subprocess.run([CLI, *args], capture_output=True, text=True)


def cli_csv(*args):
    result = cli("reflections", "--format", "csv", *args)
    assert result.returncode == 0, result.stderr
    lines = [line for line in result.stdout.splitlines() if not line.startswith("#")]
    return list(csv.DictReader(io.StringIO("\n".join(lines))))


def test_default_run_types_and_shapes():
    run = lumora.reflections()
    n = len(run["theta"])
    assert n == 1296
    assert run["indices"].shape == (n, 5) and run["indices"].dtype == np.int32
    for name in ("theta", "d", "qe", "qi", "x", "y", "z"):
        assert run[name].shape == (n,) and run[name].dtype == np.float64
    assert run["plane_class"].dtype == np.int16 and set(np.unique(run["plane_class"])) <= {0, 1, 2}
    assert run["main"].dtype == np.bool_
    assert "intensity" not in run
    assert run["statistics"]["kept"] == n and run["statistics"]["loops"] == 5 ** 5
    assert run["space_group"] == "P10.5/mmc"
    ico = lumora.reflections(system="icosahedral", loops=2)
    assert ico["indices"].shape[1] == 6 and len(ico["theta"]) > 0


def test_bragg_relations_hold_at_double_precision():
    # Independent of the run's code: Bragg's law and |q| = 1/d, in numpy. At
    # 1e-11 they fail for single-precision values widened (about 1e-7 apart);
    # theta carries the program's pi to 10 digits (relative 1e-10 at most).
    run = lumora.reflections(wavelength=1.5406, theta=(5, 60), loops=3)
    wavelength = 1.5406
    assert np.allclose(np.degrees(np.arcsin(wavelength / (2 * run["d"]))), run["theta"], rtol=2e-10, atol=0)
    q = np.sqrt(run["x"] ** 2 + run["y"] ** 2 + run["z"] ** 2)
    assert np.allclose(q, run["qe"], rtol=1e-13, atol=0)
    assert np.allclose(run["qe"] * run["d"], 1.0, rtol=1e-14, atol=0)
    assert run["theta"].min() >= 5 and run["theta"].max() <= 60 and run["qi"].max() <= 1.0 + 1e-6


@needs_cli
@pytest.mark.parametrize("args,kwargs", [
    ((), {}),
    (("--system", "icosahedral", "--loops", "3", "--anode", "Cu"), dict(system="icosahedral", loops=3, anode="Cu")),
    (("--system", "octagonal", "--setting", "steurer", "-a", "3.1", "--theta", "2,40", "--loops", "3,3,2,2,1"),
     dict(system="octagonal", setting="steurer", a=3.1, theta=(2, 40), loops=(3, 3, 2, 2, 1))),
    (("--model", "penrose", "--min-intensity", "0.5"), dict(model="penrose", min_intensity=0.5)),
    (("--system", "icosahedral", "--model", "ammann-kramer", "--algorithm", "box"),
     dict(system="icosahedral", model="ammann-kramer", algorithm="box")),
])
def test_records_equal_lumora_cli(args, kwargs):
    rows = cli_csv(*args)
    run = lumora.reflections(**kwargs)
    n_dim = run["indices"].shape[1]
    assert len(rows) == len(run["theta"])
    indices = np.array([[int(r["h%d" % (k + 1)]) for k in range(n_dim)] for r in rows])
    assert np.array_equal(indices, run["indices"])
    # Values at full precision: the CSV's equal the arrays to 1e-12 relative.
    for name in ("theta", "d", "qe", "qi", "x", "y", "z"):
        expected = np.array([float(r[name]) for r in rows])
        assert np.allclose(expected, run[name], rtol=1e-12, atol=1e-300), name
    assert np.array_equal(np.array([int(r["planeClass"]) for r in rows]), run["plane_class"])
    assert np.array_equal(np.array([r["mainFlag"] != "0" for r in rows]), run["main"])
    if rows and "intensity" in rows[0]:
        for name in ("intensity", "f_abs", "f_phase"):
            assert np.allclose([float(r[name]) for r in rows], run[name], rtol=1e-12, atol=1e-12), name


@needs_cli
def test_arrays_and_statistics_equal_lumora_cli_json():
    result = cli("reflections", "--format", "json", "--system", "icosahedral", "--loops", "3", "--model",
                 "ammann-kramer")
    assert result.returncode == 0, result.stderr
    expected = json.loads(result.stdout)
    run = lumora.reflections(system="icosahedral", loops=3, model="ammann-kramer")
    records = expected["records"]
    assert len(records) == len(run["theta"]) > 100
    for name in ("theta", "d", "qe", "qi", "x", "y", "z", "intensity", "f_abs", "f_phase"):
        values = np.array([r[name] for r in records], dtype=np.float64)
        assert np.allclose(values, run[name], rtol=1e-12, atol=1e-300), name
    # Not single-precision values widened: some value needs more than float32 holds.
    assert not np.array_equal(run["d"], run["d"].astype(np.float32).astype(np.float64))
    stats = expected["statistics"]
    for key, name in (("zero_layer_max", "zeroLayerMax"), ("theta_max", "thetaMax"), ("qi_max", "qiMax"),
                      ("qi_min_positive", "qiMinPositive"), ("coord_max", "coordMax")):
        assert run["statistics"][key] == pytest.approx(stats[name], rel=1e-12), key
    bounds = tuple(stats[k] for k in ("xMin", "xMax", "yMin", "yMax", "zMin", "zMax"))
    assert run["statistics"]["bounds"] == pytest.approx(bounds, rel=1e-12)


@needs_cli
@pytest.mark.parametrize("args,kwargs", [
    (("-a", "abc"), dict(a="abc")),
    (("-a", "-1"), dict(a=-1)),
    (("--system", "hexagonal"), dict(system="hexagonal")),
    (("--space-group", "P6/mmm"), dict(space_group="P6/mmm")),
    (("--theta", "30,1"), dict(theta=(30, 1))),
    (("--theta", "1"), dict(theta="1")),
    (("--loops", "1,2"), dict(loops=(1, 2))),
    (("--anode", "Xx"), dict(anode="Xx")),
    (("--wavelength", "1", "--anode", "Cu"), dict(wavelength=1, anode="Cu")),
    (("--model", "no-such-model"), dict(model="no-such-model")),
    (("--min-intensity", "5"), dict(min_intensity=5)),
    (("--algorithm", "slow"), dict(algorithm="slow")),
])
def test_bad_input_raises_the_cli_message(args, kwargs):
    result = cli("reflections", *args)
    assert result.returncode == 2
    message = result.stderr.strip()
    assert message.startswith("lumora-cli: ")
    with pytest.raises(ValueError) as error:
        lumora.reflections(**kwargs)
    assert str(error.value) == message[len("lumora-cli: "):]


def test_tiling_errors_and_arrays():
    with pytest.raises(ValueError, match='option --symmetry: "4" is not a whole number from 5 to 20'):
        lumora.tiling(symmetry=4)
    with pytest.raises(ValueError, match="--loop-order"):
        lumora.tiling(loop_order=2.5)
    t = lumora.tiling(symmetry=7, loop_order=4)
    assert t["vertices"].dtype == np.float64 and t["vertices"].shape[1] == 2
    assert t["tiles"].dtype == np.int32 and t["tiles"].shape[1:] == (4, 2)
    assert t["tile_types"].shape == (t["tiles"].shape[0],) and t["tile_types"].min() >= 1
    assert t["grid_shift"].shape == (7,)
    # Rhombi: opposite sides of every tile have equal lengths (corners in outline order).
    c = t["tiles"].astype(float)
    sides = np.linalg.norm(np.roll(c, -1, axis=1) - c, axis=2)
    assert np.allclose(sides[:, 0], sides[:, 2], atol=1.5) and np.allclose(sides[:, 1], sides[:, 3], atol=1.5)


@needs_cli
def test_tiling_vertices_equal_lumora_cli():
    result = cli("tiling", "--symmetry", "8", "--loop-order", "5", "--shift-mode", "2")
    assert result.returncode == 0
    expected = np.array([[float(v) for v in line.split()] for line in result.stdout.splitlines() if line.strip()])
    got = lumora.tiling(symmetry=8, loop_order=5, shift_mode=2)["vertices"]
    assert got.shape == expected.shape
    assert np.allclose(got, expected, atol=1e-3)


@needs_cli
def test_tiling_presets_shifts_and_peaks_equal_lumora_cli(tmp_path):
    result = cli("tiling", "--preset", "ammann-beenker", "--loop-order", "5", "--k-max", "1.2",
                 "--vertices-csv", str(tmp_path / "v.csv"), "--diffraction-csv", str(tmp_path / "p.csv"))
    assert result.returncode == 0, result.stderr
    t = lumora.tiling(preset="ammann-beenker", loop_order=5, k_max=1.2)
    assert t["grid_shift"].shape == (8,) and t["note"] is None
    # Ammann-Beenker: the parallel grids i and i + 4 interleave halfway.
    assert np.allclose(t["grid_shift"][:4] + t["grid_shift"][4:], 0.5)
    rows = np.loadtxt(tmp_path / "p.csv", delimiter=",", comments="#", skiprows=4)
    peaks = t["peaks"]
    assert peaks["index"].shape == (len(rows), 4) and peaks["index"].dtype == np.int32
    assert np.array_equal(rows[:, 3:7].astype(np.int32), peaks["index"])
    assert np.allclose(rows[:, 0:2], peaks["k"], rtol=1e-12, atol=1e-15)
    assert np.allclose(rows[:, 7], peaks["internal"], rtol=1e-12, atol=1e-15)
    assert np.allclose(rows[:, 8], peaks["intensity"], rtol=1e-12, atol=1e-15)
    # Given shifts as a sequence or text; the classic shifts of N = 8 get the window's note.
    given = lumora.tiling(symmetry=5, shifts=(0.1, 0.2, 0.3, 0.2, 0.2))
    assert np.allclose(given["grid_shift"], [0.1, 0.2, 0.3, 0.2, 0.2])
    assert np.array_equal(given["vertices"], lumora.tiling(symmetry=5, shifts="0.1,0.2,0.3,0.2,0.2")["vertices"])
    assert "Non-standard" in lumora.tiling(symmetry=8)["note"]
    assert "peaks" not in given
    for kwargs, args in ((dict(preset="penrose", symmetry=7), ("--preset", "penrose", "--symmetry", "7")),
                         (dict(shifts=(0.1, 0.2)), ("--shifts", "0.1,0.2")),
                         (dict(symmetry=20, peaks=True), ("--symmetry", "20", "--diffraction-csv", "x.csv"))):
        bad = cli("tiling", *args)
        assert bad.returncode == 2
        with pytest.raises(ValueError) as error:
            lumora.tiling(**kwargs)
        assert str(error.value) == bad.stderr.strip().splitlines()[-1][len("lumora-cli: "):]


@needs_cli
@pytest.mark.parametrize("system", ["octagonal", "decagonal", "dodecagonal", "icosahedral"])
def test_matrices_equal_lumora_cli(system):
    result = cli("matrices", "--system", system, "-a", "3.5")
    numbers = [[float(v) for v in line.split()] for line in result.stdout.splitlines()
               if line.strip() and not line[0].isalpha()]
    m = lumora.matrices(system=system, a=3.5)
    n = m["direct"].shape[0]
    assert n == (6 if system == "icosahedral" else 5)
    assert np.allclose(np.array(numbers[:n]), m["direct"], atol=5e-5)
    assert np.allclose(np.array(numbers[n:]), m["inverse"], atol=5e-5)
    # Independent check: the inverse is the inverse.
    assert np.allclose(m["direct"] @ m["inverse"], np.eye(n), atol=1e-9)


def test_space_groups():
    groups = {s: lumora.space_groups(s) for s in ("octagonal", "decagonal", "dodecagonal", "icosahedral")}
    assert sum(len(g) for g in groups.values()) == 85
    assert "P10.5/mmc" in groups["decagonal"] and "P235" in groups["icosahedral"]
    with pytest.raises(ValueError, match='option --system: "cubic" is not one of'):
        lumora.space_groups("cubic")


def test_runs_in_threads_agree():
    # The GIL is released during a run: several runs at once must not disturb each other.
    results = [None] * 3
    def work(k):
        results[k] = lumora.reflections(system="icosahedral", loops=4, model="ammann-kramer")
    threads = [threading.Thread(target=work, args=(k,)) for k in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for r in results[1:]:
        assert np.array_equal(r["indices"], results[0]["indices"])
        assert np.array_equal(r["intensity"], results[0]["intensity"])


def test_every_function_has_a_docstring():
    for name in lumora.__all__:
        assert getattr(lumora, name).__doc__.strip()


def test_powder_marks_the_lines_a_loop_box_cuts():
    # Compared with a run of complete orbits (loops "auto"): a line the box cuts
    # holds fewer reflections than the same line there.
    cut = lumora.powder(system="icosahedral", loops=2, qi_max=2.0, theta=(5, 40))
    whole = lumora.powder(system="icosahedral", loops="auto", qi_max=2.0, theta=(5, 40))
    assert not whole["incomplete"].any()
    assert np.array_equal(whole["complete_multiplicity"], whole["multiplicity"])
    assert cut["incomplete"].any() and not cut["incomplete"].all()
    by_d = {round(float(d), 6): int(m) for d, m in zip(whole["d"], whole["multiplicity"])}
    for d, m, full, flag in zip(cut["d"], cut["multiplicity"], cut["complete_multiplicity"], cut["incomplete"]):
        assert full == by_d[round(float(d), 6)], d
        assert bool(flag) == (full > m), d


@needs_cli
def test_powder_lines_and_profile_equal_lumora_cli(tmp_path):
    args = ("--system", "octagonal", "--model", "ammann-beenker", "--anode", "Cu", "--theta", "5,40",
            "--caglioti", "0.01,0,0.004", "--two-theta", "10,80,0.02", "--doublet")
    result = cli("powder", *args, "--lines", str(tmp_path / "l.csv"), "--pattern", str(tmp_path / "p.xy"))
    assert result.returncode == 0, result.stderr
    run = lumora.powder(system="octagonal", model="ammann-beenker", anode="Cu", theta=(5, 40),
                        caglioti=(0.01, 0, 0.004), two_theta=(10, 80, 0.02), doublet=True)
    with open(tmp_path / "l.csv") as f:
        rows = list(csv.DictReader(f))
    assert len(rows) == len(run["d"]) > 10
    for name in ("two_theta", "d", "intensity"):
        assert np.array_equal(np.array([float(r[name]) for r in rows]), run[name]), name
    assert np.array_equal(np.array([int(r["multiplicity"]) for r in rows]), run["multiplicity"])
    first = np.array([[int(v) for v in r["indices"].split(";")[0].split()] for r in rows])
    assert run["index"].dtype == np.int32 and np.array_equal(first, run["index"])
    xy = np.loadtxt(tmp_path / "p.xy")
    assert np.allclose(xy[:, 0], run["profile"]["two_theta"], atol=5e-7)
    assert np.array_equal(xy[:, 1], run["profile"]["intensity"])
    # Bragg's law, independently: the run's wavelength for Cu, the K-alpha mean (2 x 1.5405982 + 1.544438) / 3.
    assert np.allclose(np.degrees(2 * np.arcsin(1.541878 / (2 * run["d"]))), run["two_theta"], atol=1e-4)
    with pytest.raises(ValueError, match="option --eta"):
        lumora.powder(eta=2)
    # A zero shift moves the whole profile by itself: here by 25 steps of 0.02 degrees.
    shifted = lumora.powder(system="octagonal", model="ammann-beenker", anode="Cu", theta=(5, 40),
                            caglioti=(0.01, 0, 0.004), two_theta=(10, 80, 0.02), doublet=True, zero=0.5)
    top = np.argmax(run["profile"]["intensity"])
    assert np.argmax(shifted["profile"]["intensity"]) == top + 25
    with pytest.raises(ValueError, match="option --zero"):
        lumora.powder(zero=10)


POWDER_EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "examples",
                              "synthetic_decagonal.xye")


@needs_cli
def test_index_equals_lumora_cli(tmp_path):
    # The made-up measurement of the examples: a = 2.825 A, c = 12.08 A, zero 0.04 degrees.
    run = ("--model", "penrose", "--anode", "Cu", "--theta", "5,40")
    result = cli("powder", *run, "--measured", POWDER_EXAMPLE, "--index", "--refine-json", str(tmp_path / "r.json"))
    assert result.returncode == 0, result.stderr
    with open(tmp_path / "r.json") as f:
        expected = json.load(f)
    pattern = lumora.read_pattern(POWDER_EXAMPLE)
    assert pattern["two_theta"].size == pattern["intensity"].size == pattern["sigma"].size > 1000
    peaks = lumora.find_peaks(pattern)
    assert len(peaks["two_theta"]) == len(expected["peaks"]) + len(expected["unindexed"])
    got = lumora.index(pattern, model="penrose", anode="Cu", theta=(5, 40))
    assert set(got) == set(expected)
    for key in ("a", "a_su", "c", "c_su", "zero", "zero_su"):
        assert got[key] == pytest.approx(expected[key], rel=1e-9, abs=1e-12), key
    assert got["reliable"] and len(got["candidates"]) >= 1
    assert abs(got["a"] - 2.825) < 3 * got["a_su"] and abs(got["c"] - 12.08) < 3 * got["c_su"]
    # From a start 2 % off, with the peaks found.
    near = lumora.refine(peaks, model="penrose", anode="Cu", theta=(5, 40), a=2.825 * 1.02, c=12.08 * 0.98)
    assert abs(near["a"] - 2.825) < 3 * near["a_su"]


def test_no_reliable_solution_carries_the_candidates():
    # Twelve 2theta values without a lattice behind them (a fixed seed).
    rng = np.random.default_rng(4)
    observed = sorted(rng.uniform(10, 80, 12))
    with pytest.raises(lumora.NoReliableSolution) as refused:
        lumora.refine(observed, anode="Cu", a=4.5)
    assert isinstance(refused.value, ValueError)
    assert str(refused.value).startswith("no reliable solution: ")
    assert refused.value.result["reliable"] is False
    for candidate in refused.value.candidates:
        assert {"a", "c", "zero", "figure_of_merit", "indexed"} <= set(candidate)
    with pytest.raises(lumora.NoReliableSolution, match="fewer than 3 peaks"):
        lumora.refine([10.0, 20.0])
    with pytest.raises(ValueError, match="option --refine"):
        lumora.refine(observed, refine=("a", "b"))
    with pytest.raises(ValueError, match="option --wavelength-model"):
        lumora.index(observed, wavelength_model="ka2")
    with pytest.raises(ValueError, match="no such file"):
        lumora.read_pattern("/nonexistent/pattern.xy")


def test_keyword_values_reach_the_core_as_lumora_cli_texts():
    # Sequences are joined with commas, floats (numpy's too) written as Python writes them;
    # the summary lines show the texts the core was given.
    run = lumora.reflections(theta=[1, 30.0], loops=(1, 1, 1, 1, 1), a=np.float64(2.82), qi_max=2)
    one = len(lumora.reflections(loops=1)["theta"])
    assert len(lumora.reflections(loops=np.int64(1))["theta"]) == one
    assert len(lumora.reflections(loops=np.array([1, 1, 1, 1, 1]))["theta"]) == one
    assert run["summary"] == ("a = 2.82, c = 12.06, loop = 11111, Yamamoto matrices",
                              "wavelength = 0.7106867, thmin = 1, thmax = 30.0, qimax = 2")
    with pytest.raises(ValueError, match=r'^option --theta: "1,2,3" must be MIN,MAX$'):
        lumora.reflections(theta=(1, 2, 3))
    with pytest.raises(TypeError, match="not a bool"):
        lumora.reflections(a=True)
    with pytest.raises(TypeError, match="unexpected keyword argument 'bogus'"):
        lumora._core.reflections({"bogus": 1})
    # A flag is given by a true value only.
    assert lumora.powder(doublet=False, loops=1)["profile"]["two_theta"].size > 0


@needs_cli
def test_a_negative_qi_max_is_refused_as_lumora_cli_refuses_it():
    result = cli("reflections", "--qi-max", "-1")
    assert result.returncode == 2
    with pytest.raises(ValueError) as error:
        lumora.reflections(qi_max=-1)
    assert str(error.value) == result.stderr.strip()[len("lumora-cli: "):] == 'option --qi-max: "-1" must not be negative'


def big_model(path):
    """The largest model a file may hold: 10,000 sites of distinct domains."""
    with open(path, "w") as f:
        f.write("system decagonal\nsetting yamamoto\n")
        for i in range(10000):
            f.write(f"S{i} Al 1 0.{i} 0 0 0 0 polygon:7:{i % 360} {1 + i * 1e-4} 0 0\n")
    return str(path)


@pytest.mark.parametrize("call", ["reflections", "powder"])
def test_ctrl_c_stops_a_long_run(tmp_path, call):
    # Minutes of work. Ctrl+C (SIGINT) 0.3 s in must end it with
    # KeyboardInterrupt at once, not when the work is done.
    model = big_model(tmp_path / "big.qcm")
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        getattr(lumora, call)(model=model, loops=5)
    timer.join()
    assert time.monotonic() - start < 10


def test_the_gil_is_free_while_a_model_is_read_and_computed(tmp_path):
    # Seconds of work in another thread: this thread keeps running meanwhile.
    model = big_model(tmp_path / "big.qcm")
    worker = threading.Thread(target=lumora.powder, kwargs=dict(model=model, loops=3))
    ticks = 0
    worker.start()
    while worker.is_alive():
        ticks += 1
        time.sleep(0.005)
    assert ticks > 50


def test_widths_beyond_any_powder_pattern_are_a_value_error():
    for caglioti, message in (((1e12, 0, 0), "Caglioti U 1e+12"), ((0, 0, 1e30), "Caglioti W 1e+30")):
        with pytest.raises(ValueError, match=r"^option --caglioti: .* " + re.escape(message) + " is not within 100"):
            lumora.powder(caglioti=caglioti)


# Zone-axis patterns and image fits.
EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "examples", "synthetic_fivefold.png")
FIVE_FOLD = dict(system="icosahedral", space_group="P235", a=5.1, loops=8, qi_max=1.5, g_max=0.9)


@needs_cli
def test_zone_pattern_matches_the_cli_and_its_zero_layer_is_flat():
    p = lumora.zone_pattern(**FIVE_FOLD, s_max=0.2)
    assert p["indices"].shape[1] == 6 and p["rotation_order"] == 10
    assert abs(p["wavelength"] - 12.398419843 / np.sqrt(200 * (200 + 2 * 510.99895))) < 1e-9
    # The five-fold axis is z: the zero layer's physical vectors have no z part,
    # so their lengths are their in-plane lengths, 1/d.
    zero = p["laue_zone"] == 0
    assert np.allclose(np.hypot(p["x"][zero], p["y"][zero]), 1 / p["d"][zero], rtol=1e-12)
    with tempfile.TemporaryDirectory() as folder:
        table = os.path.join(folder, "z.csv")
        subprocess.run([CLI, "zone", "--system", "icosahedral", "--space-group", "P235", "-a", "5.1", "--loops", "8",
                        "--qi-max", "1.5", "--g-max", "0.9", "--s-max", "0.2", "--csv", table], check=True,
                       stdout=subprocess.DEVNULL)
        cli = np.genfromtxt(table, delimiter=",", names=True)
    assert np.allclose(cli["x"], p["x"]) and np.array_equal(cli["laue_zone"], p["laue_zone"])


def test_fit_zone_image_from_a_file_and_an_array_and_refusal():
    fit = lumora.fit_zone_image(EXAMPLE, **FIVE_FOLD)
    # make_zone_example.py drew it at K = 400 px A, 14 degrees, centre (391.4, 377.8).
    assert abs(fit["camera_constant"] - 400) < 1.2 and abs((fit["rotation_deg"] - 14 + 18) % 36 - 18) < 0.3
    assert abs(fit["centre_x"] - 391.4) < 1 and abs(fit["centre_y"] - 377.8) < 1
    assert fit["indexed"]["indices"].shape == (len(fit["indexed"]["x"]), 6)
    with pytest.raises(lumora.NoReliableSolution) as refused:
        lumora.fit_zone_image(EXAMPLE, **FIVE_FOLD, axis="3")
    assert refused.value.candidates and not refused.value.fit["reliable"]
    unreliable = lumora.fit_zone_image(EXAMPLE, **FIVE_FOLD, axis="3", allow_unreliable=True)
    assert unreliable["verdict"] != "reliable"
    rng = np.random.default_rng(1)
    with pytest.raises(lumora.NoReliableSolution):
        lumora.fit_zone_image(rng.poisson(20.0, size=(300, 300)), **FIVE_FOLD)
    with pytest.raises(ValueError, match="option --voltage"):
        lumora.zone_pattern(radiation="xray", voltage=100)
    with pytest.raises(ValueError, match="image"):
        lumora.fit_zone_image(np.zeros(5), **FIVE_FOLD)


TRUE_MODEL = """name truth
system decagonal
setting yamamoto
P1 Al 0.8 0.2 0.2 0.2 0.2 0 polygon:5:0 1 0.7 1.5
P2 Al 1 0.4 0.4 0.4 0.4 0 polygon:5:180 1.618034 0.7 1.5
P3 Al 1 0.6 0.6 0.6 0.6 0 polygon:5:0 1.618034 0.7 1.5
P4 Al 0.8 0.8 0.8 0.8 0.8 0 polygon:5:180 1 0.7 1.5
"""
LATTICE = dict(wavelength=0.7107, a=2.82, c=4.1)


def exact_rows(model_file, scale=25.0):
    # I = scale |F|^2 of the model's reflections, sigma 2 % of I plus a floor.
    run = lumora.reflections(model=model_file, theta=(2, 25), qi_max=1.5, loops=3, **LATTICE)
    intensity = scale * run["f_abs"] ** 2
    sigma = 0.02 * intensity + 1e-3 * intensity.max()
    return np.column_stack([run["indices"], intensity, sigma])


def test_refine_structure_recovers_exact_data_and_agrees_with_the_cli(tmp_path):
    truth = tmp_path / "truth.model"
    truth.write_text(TRUE_MODEL)
    start = tmp_path / "start.model"
    start.write_text(TRUE_MODEL.replace("Al 0.8 ", "Al 1 ").replace(" 0.7 1.5", " 0 0"))
    rows = exact_rows(str(truth))
    refine = "scale,occupancy:P1=occupancy:P4,b_par:P1=b_par:*,b_perp:P1=b_perp:*"
    fit = lumora.refine_structure(str(start), rows, refine=refine, map_at="P2", map_size=40, **LATTICE)
    values = {p["name"]: p["value"] for p in fit["parameters"]}
    assert values["scale"] == pytest.approx(25.0, rel=1e-5)
    assert values["occupancy:P1=occupancy:P4"] == pytest.approx(0.8, abs=1e-6)
    assert values["b_par:P1=b_par:P2=b_par:P3=b_par:P4"] == pytest.approx(0.7, abs=1e-5)
    assert values["b_perp:P1=b_perp:P2=b_perp:P3=b_perp:P4"] == pytest.approx(1.5, abs=1e-4)
    assert fit["R1"] < 1e-6 and fit["merged_in"] == "10/mmm" and fit["measurements"] == len(rows)
    n = fit["observations"]
    assert fit["reflections"]["index"].shape == (n, 5) and fit["reflections"]["calculated"].shape == (n,)
    assert fit["correlations"]["matrix"].shape == (4, 4)
    assert np.allclose(np.diag(fit["correlations"]["matrix"]), 1.0)
    assert fit["maps"][0]["values"].shape == (40, 40) and fit["maps"][0]["plane"] == "internal x-y"
    refined_p4 = [line.split() for line in fit["model"].splitlines() if line.startswith("P4 ")][0]
    assert float(refined_p4[2]) == pytest.approx(0.8, abs=1e-6) and float(refined_p4[-1]) == pytest.approx(1.5, abs=1e-4)
    if CLI:
        data = tmp_path / "data.hkl"
        np.savetxt(data, rows, fmt=["%d"] * 5 + ["%.17g", "%.17g"])
        out = tmp_path / "r.json"
        result = cli("refine", "--model", str(start), "--reflections", str(data), "--refine", refine,
                     "--wavelength", "0.7107", "-a", "2.82", "-c", "4.1", "--refine-json", str(out))
        assert result.returncode == 0, result.stderr
        from_cli = json.loads(out.read_text())
        assert from_cli["observations"] == n
        for p in from_cli["parameters"]:
            assert p["value"] == pytest.approx(values[p["name"]], rel=1e-9, abs=1e-12)


def test_refine_structure_refuses_with_the_reason_and_bad_rows_name_their_field(tmp_path):
    truth = tmp_path / "truth.model"
    truth.write_text(TRUE_MODEL)
    rows = exact_rows(str(truth))
    with pytest.raises(lumora.NoReliableSolution) as refused:
        # Every occupancy and the scale move all intensities alike.
        lumora.refine_structure(str(truth), rows, refine="scale,occupancy:*", search=0, **LATTICE)
    assert "is not determined by the data" in refused.value.reason
    assert [p["name"] for p in refused.value.parameters][:2] == ["scale", "occupancy:P1"]
    assert isinstance(refused.value.candidates, list)
    bad = rows[:3].copy()
    bad[1, 6] = -1.0
    with pytest.raises(ValueError, match=r"row 2, field 7 \(sigma\): \"-1\" must be above 0"):
        lumora.refine_structure(str(truth), bad, **LATTICE)
    with pytest.raises(ValueError, match="option --refine"):
        lumora.refine_structure(str(truth), rows, refine="size:Q", **LATTICE)


EXAMPLE_PATTERN = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "examples", "synthetic_decagonal.xye")


def test_fit_pattern_gives_back_the_example_lattice_and_agrees_with_the_cli(tmp_path):
    # The example was made at a = 2.825 A, c = 12.08 A, zero +0.04 degrees (make_synthetic_powder.py).
    run = dict(anode="Cu", loops=4, doublet=True, a=2.824, c=12.07, caglioti=(0.004, 0, 0.004))
    fit = lumora.fit_pattern(EXAMPLE_PATTERN, "penrose", **run)
    values = {p["name"]: p for p in fit["parameters"]}
    assert abs(values["a"]["value"] - 2.825) < 3 * values["a"]["su"] + 2e-5
    assert abs(values["zero"]["value"] - 0.04) < 3 * values["zero"]["su"] + 2e-4
    assert fit["chi2"] == pytest.approx(1.0, abs=0.1)
    assert fit["calculated"].shape == fit["observed"].shape == (fit["points"],)
    # The same pattern given as rows fits alike.
    rows = np.loadtxt(EXAMPLE_PATTERN)
    again = lumora.fit_pattern(rows, "penrose", **run)
    assert again["parameters"][2]["value"] == pytest.approx(fit["parameters"][2]["value"], rel=1e-9)
    if CLI:
        out = tmp_path / "fit.json"
        result = cli("powder", "--model", "penrose", "--anode", "Cu", "--theta", "5,40", "--loops", "4", "--doublet",
                     "-a", "2.824", "-c", "12.07", "--caglioti", "0.004,0,0.004", "--measured", EXAMPLE_PATTERN,
                     "--rietveld", "--refine-json", str(out))
        assert result.returncode == 0, result.stderr
        for p in json.loads(out.read_text())["parameters"]:
            assert p["value"] == pytest.approx(values[p["name"]]["value"], rel=1e-9, abs=1e-12)
    with pytest.raises(lumora.NoReliableSolution, match="is not determined by the data"):
        lumora.fit_pattern(EXAMPLE_PATTERN, "penrose", refine="scale,occupancy:P1=occupancy:*", search=0, **run)


def test_read_pattern_of_a_bruker_raw4_file(tmp_path):
    # A RAW4.00 file packed here from the layout: a 61-byte header, a
    # hardware segment (type 30) with K-alpha1, K-alpha2 and their ratio, then
    # two ranges of 160-byte headers and float32 counts (one truncated copy).
    import struct

    def block(size, *fields):
        data = bytearray(size)
        for offset, fmt, value in fields:
            struct.pack_into(fmt, data, offset, value)
        return bytes(data)

    raw = block(61, (0, "7s", b"RAW4.00"))
    raw += block(120, (0, "<I", 30), (4, "<I", 120), (80, "<d", 1.540598), (88, "<d", 1.544426), (104, "<d", 0.5))
    for start, step, counts in ((10.0, 0.02, [5.0, 6.5, 7.0]), (40.0, 0.05, [1.0, 2.0])):
        raw += block(160, (32, "24s", b"Locked Coupled"), (72, "<d", start), (80, "<d", step),
                     (88, "<I", len(counts)), (136, "<I", 4))
        raw += struct.pack("<%df" % len(counts), *counts)
    (tmp_path / "m.raw").write_bytes(raw)
    second = lumora.read_pattern(tmp_path / "m.raw", range=2)
    assert second["format"] == "Bruker RAW4.00" and second["range"] == 2 and len(second["ranges"]) == 2
    assert np.allclose(second["two_theta"], [40.0, 40.05], rtol=0, atol=1e-12)
    assert second["intensity"].tolist() == [1.0, 2.0]
    assert (second["wavelength"], second["wavelength2"], second["ratio"]) == (1.540598, 1.544426, 0.5)
    assert lumora.read_pattern(tmp_path / "m.raw")["intensity"].tolist() == [5.0, 6.5, 7.0]
    (tmp_path / "cut.raw").write_bytes(raw[:-3])
    with pytest.raises(ValueError, match="cut.raw, Bruker RAW4.00 truncated at byte"):
        lumora.read_pattern(tmp_path / "cut.raw")


def test_read_pattern_of_a_diffractometer_file_and_of_text(tmp_path):
    # An XRDML file of two scans written here: 2theta from its start and end
    # positions, the counts as given, the wavelength it states.
    scan = ('<scan appendNumber="{n}" scanAxis="Gonio" status="Completed"><dataPoints>'
            '<positions axis="2Theta" unit="deg"><startPosition>{s}</startPosition><endPosition>{e}</endPosition>'
            '</positions><commonCountingTime unit="seconds">1</commonCountingTime>'
            '<intensities unit="counts">{i}</intensities></dataPoints></scan>')
    (tmp_path / "m.xrdml").write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<xrdMeasurements xmlns="http://www.xrdml.com/XRDMeasurement/1.5" status="Completed">'
        '<xrdMeasurement measurementType="Scan" status="Completed"><usedWavelength intended="K-Alpha 1">'
        '<kAlpha1 unit="Angstrom">1.5405980</kAlpha1><kAlpha2 unit="Angstrom">1.5444260</kAlpha2>'
        '<ratioKAlpha2KAlpha1>0.5</ratioKAlpha2KAlpha1></usedWavelength>'
        + scan.format(n=0, s="10", e="10.3", i="5 6 7 8") + scan.format(n=1, s="40", e="40.2", i="1 2 3")
        + '</xrdMeasurement></xrdMeasurements>\n')
    second = lumora.read_pattern(tmp_path / "m.xrdml", range=2)
    assert second["format"] == "PANalytical XRDML" and second["range"] == 2 and len(second["ranges"]) == 2
    assert np.allclose(second["two_theta"], [40.0, 40.1, 40.2], rtol=0, atol=1e-12)
    assert np.array_equal(second["intensity"], [1.0, 2.0, 3.0]) and second["sigma"] is None
    assert (second["wavelength"], second["wavelength2"], second["ratio"]) == (1.540598, 1.544426, 0.5)
    assert lumora.read_pattern(str(tmp_path / "m.xrdml"))["intensity"].tolist() == [5, 6, 7, 8]
    with pytest.raises(ValueError, match="range 3 asked for, but the file has 2 ranges"):
        lumora.read_pattern(tmp_path / "m.xrdml", range=3)
    with pytest.raises(ValueError, match="option --range"):
        lumora.read_pattern(tmp_path / "m.xrdml", range=0)

    # Text goes to the own reader, with its line messages; falling 2theta comes back rising.
    (tmp_path / "m.xye").write_text("# 2theta I sigma\n20.5 4 2\n20.25 9 3\n")
    text = lumora.read_pattern(tmp_path / "m.xye")
    assert text["format"] == "text" and text["wavelength"] is None
    assert text["two_theta"].tolist() == [20.25, 20.5] and text["sigma"].tolist() == [3.0, 2.0]
    (tmp_path / "bad.xy").write_text("10 5\n11 x\n")
    with pytest.raises(ValueError, match=r"bad\.xy, line 2: \"x\" is not a number"):
        lumora.read_pattern(tmp_path / "bad.xy")


def one_site_model(path, element):
    # One atom per octagonal unit cell: its amplitude is the scattering factor
    # times a shape factor that does not depend on the element.
    path.write_text("system octagonal\nsetting steurer\nV %s 1 0 0 0 0 0 polygon:8:22.5 1.3066 0 0\n" % element)
    return str(path)


def test_neutron_amplitudes_follow_the_scattering_lengths(tmp_path):
    # Sears, Neutron News 3 (1992) 29: b_coh(Fe) = 9.45 fm, b_coh(Al) = 3.449 fm.
    ratio = 9.45 / 3.449
    runs = {e: lumora.reflections(system="octagonal", model=one_site_model(tmp_path / (e + ".model"), e),
                                  radiation="neutron") for e in ("Fe", "Al")}
    fe, al = runs["Fe"], runs["Al"]
    assert np.array_equal(fe["indices"], al["indices"]) and len(al["d"]) > 100
    kept = al["f_abs"] > 1e-9  # amplitudes that vanish by symmetry have no ratio
    assert kept.sum() > 100
    assert np.allclose(fe["f_abs"][kept] / al["f_abs"][kept], ratio, rtol=1e-9, atol=0)
    assert "neutron" in fe["summary"][1]


def test_refine_structure_takes_the_radiation(tmp_path):
    # Neutron intensities of the Fe model fitted with the Al model's scale:
    # exact at (b_Fe/b_Al)^2 (Sears' lengths) under neutrons, not under X-rays.
    fe = lumora.reflections(system="octagonal", model=one_site_model(tmp_path / "Fe.model", "Fe"), radiation="neutron")
    kept = fe["f_abs"] > 1e-9
    intensity = fe["f_abs"][kept] ** 2
    rows = np.column_stack([fe["indices"][kept][:, :5], intensity, 0.01 * intensity])
    al = one_site_model(tmp_path / "Al.model", "Al")
    neutron = lumora.refine_structure(al, rows, system="octagonal", radiation="neutron")
    assert neutron["parameters"][0]["value"] == pytest.approx((9.45 / 3.449) ** 2, rel=1e-6)
    assert neutron["R1"] < 1e-6 and "neutron" in neutron["report"]
    assert lumora.refine_structure(al, rows, system="octagonal")["R1"] > 0.01
    # X-rays are still the default, and differ: f0(s) falls off, b does not.
    xray = lumora.reflections(system="octagonal", model=one_site_model(tmp_path / "Fe.model", "Fe"))
    assert np.array_equal(xray["indices"], fe["indices"])
    falling = xray["f_abs"][kept] / fe["f_abs"][kept]
    assert falling.max() > 1.5 * falling.min()


def test_electron_amplitudes_follow_the_tabulated_fit_at_each_s(tmp_path):
    # International Tables Vol. C, table 4.3.2.2 (neutral atoms, s <= 2 1/A):
    # f_e(s) = sum a_i exp(-b_i s^2), a in A, b in A^2; typed in from the table.
    fit = {"Fe": ([0.3946, 1.2725, 1.7031, 2.3140, 1.4795], [0.2717, 2.0443, 7.6007, 29.9714, 86.2265]),
           "Al": ([0.2390, 0.6573, 1.2011, 2.5586, 1.2312], [0.3138, 2.1063, 10.4163, 34.4552, 98.5344])}

    def f_e(element, s):
        a, b = fit[element]
        return sum(ai * np.exp(-bi * s * s) for ai, bi in zip(a, b))

    runs = {e: lumora.reflections(system="octagonal", model=one_site_model(tmp_path / (e + ".model"), e),
                                  radiation="electron", voltage=300, theta=(0.05, 2.5)) for e in ("Fe", "Al")}
    fe, al = runs["Fe"], runs["Al"]
    assert np.array_equal(fe["indices"], al["indices"])
    kept = al["f_abs"] > 1e-9
    s = 0.5 / al["d"][kept]  # sin(theta) / lambda
    assert s.min() < 0.2 and s.max() > 0.4  # a range over which the ratio changes
    expected = f_e("Fe", s) / f_e("Al", s)
    assert np.allclose(fe["f_abs"][kept] / al["f_abs"][kept], expected, rtol=2e-4, atol=0)
    # The run's wavelength is the relativistic one of 300 kV: hc / sqrt(E (E + 2 m c^2)).
    wavelength = 12.398419843 / math.sqrt(300.0 * (300.0 + 2 * 510.99895))
    assert np.allclose(np.degrees(np.arcsin(wavelength / (2 * al["d"]))), al["theta"], rtol=1e-9, atol=0)
    assert "electron 300 kV" in al["summary"][1]


def test_neutron_powder_lines_drop_the_polarisation_term():
    # Same lines, one per reflection: the X-ray intensity is m L P, the neutron
    # one m L, so their ratio is P = (1 + cos^2 2theta) / 2 up to one constant.
    xray = lumora.powder(system="octagonal")
    neutron = lumora.powder(system="octagonal", radiation="neutron")
    assert np.array_equal(xray["two_theta"], neutron["two_theta"]) and len(xray["d"]) > 20
    c2 = np.cos(np.radians(xray["two_theta"]))
    constant = xray["intensity"] / neutron["intensity"] / ((1 + c2 ** 2) / 2)
    assert np.allclose(constant, constant[0], rtol=1e-9, atol=0)


@pytest.mark.parametrize("kwargs,message", [
    (dict(voltage=100), "option --voltage: only electrons"),
    (dict(radiation="electron", wavelength=1.5), "option --wavelength: electrons take --voltage"),
    (dict(radiation="gamma"), "option --radiation"),
    (dict(radiation="electron", voltage=-5), "option --voltage"),
])
def test_radiation_keywords_refuse_as_lumora_cli_refuses(kwargs, message):
    with pytest.raises(ValueError, match=message):
        lumora.reflections(**kwargs)
