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


def test_bragg_relations_hold():
    # Independent of the run's code: Bragg's law and |q| = 1/d, in numpy.
    run = lumora.reflections(wavelength=1.5406, theta=(5, 60), loops=3)
    wavelength = 1.5406
    assert np.allclose(np.degrees(np.arcsin(wavelength / (2 * run["d"]))), run["theta"], atol=1e-4)
    q = np.sqrt(run["x"] ** 2 + run["y"] ** 2 + run["z"] ** 2)
    assert np.allclose(q, run["qe"], rtol=1e-5)
    assert np.allclose(run["qe"] * run["d"], 1.0, rtol=1e-5)
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
    # The CSV writes each single-precision value in its shortest exact form.
    for name in ("theta", "d", "qe", "qi", "x", "y", "z"):
        expected = np.array([float(r[name]) for r in rows], dtype=np.float32)
        assert np.array_equal(expected, run[name].astype(np.float32)), name
    assert np.array_equal(np.array([int(r["planeClass"]) for r in rows]), run["plane_class"])
    assert np.array_equal(np.array([r["mainFlag"] != "0" for r in rows]), run["main"])
    if rows and "intensity" in rows[0]:
        for name in ("intensity", "f_abs", "f_phase"):
            assert np.allclose([float(r[name]) for r in rows], run[name], rtol=1e-12, atol=1e-12), name


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
