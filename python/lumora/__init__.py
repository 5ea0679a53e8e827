"""Lumora: the diffraction reflections of quasicrystals, as numpy arrays.

The functions take the inputs of ``lumora-cli`` as keyword arguments and run
the same core; bad input raises ``ValueError`` with the message
``lumora-cli`` prints (it names the command-line option, e.g. ``-a``).

>>> import lumora
>>> run = lumora.reflections()          # decagonal P10.5/mmc, Mo anode
>>> len(run["theta"])
1296
"""

from . import _core

__all__ = ["reflections", "matrices", "space_groups", "tiling", "powder", "read_pattern", "find_peaks", "index",
           "refine", "refine_structure", "fit_pattern", "zone_pattern", "fit_zone_image", "NoReliableSolution"]


class NoReliableSolution(ValueError, RuntimeError):
    """An analysis that refused to answer because its result fails its
    stated criteria: the data do not determine a parameter, the fit did not
    converge, two minima fit alike, or too few spots or peaks are indexed.
    Its values are not to be used.

    Attributes: reason (the message), candidates (the solutions that were
    considered, best first), parameters (a refinement's parameters with
    their start values, else None) and result (also fit: the whole result —
    an indexing as lumora-cli's --refine-json writes it, with "reliable":
    False, "refusal" and "criteria", or a zone fit as fit_zone_image returns
    it, with "verdict" — else None). A ValueError, and a RuntimeError as the
    first refusals were."""

    def __init__(self, reason, candidates, parameters=None, result=None):
        super().__init__("no reliable solution: " + reason)
        self.reason = reason
        self.candidates = candidates
        self.parameters = parameters
        self.result = result
        self.fit = result


def _given(arguments):
    """The keyword arguments of a call, by name, without those left at None.

    The core turns each into the text lumora-cli would be given (numbers as
    Python writes them, sequences joined by commas) and reads it as lumora-cli
    does, so that bad input raises ValueError with lumora-cli's message."""
    return {name: value for name, value in arguments.items() if value is not None}


def reflections(system=None, space_group=None, setting=None, a=None, c=None, wavelength=None, anode=None,
                theta=None, qi_max=None, loops=None, model=None, algorithm="fast", min_intensity=None,
                settings=None, radiation=None, voltage=None):
    """Runs the reflection calculation and returns its records as numpy arrays.

    Arguments (all optional; the defaults are lumora-cli's):
      system       "octagonal", "decagonal" (default), "dodecagonal" or "icosahedral"
      space_group  a space-group symbol of the system, e.g. "P10.5/mmc" (see space_groups())
      setting      "yamamoto" (default) or "steurer"
      a, c         lattice constants in angstrom (c only for the axial systems)
      wavelength   X-ray wavelength in angstrom, or
      anode        "Mo" (default), "Cu", "Ni", "Co", "Fe", "Cr", "Ag"
      theta        (min, max) in degrees, default (1.0, 30.0)
      qi_max       largest internal component, default 1.0
      loops        one loop limit for every index, or a sequence of five
                   (axial systems) or six (icosahedral) limits; default 2
      model        structure model: "penrose", "ammann-beenker", "ammann-kramer",
                   "square-triangle" or the path of a model file
      algorithm    "fast" (bounded walk) or "box" (every vector); same result
      min_intensity  keep only reflections of at least this percent (needs model)
      settings     a settings file (Lumora.cfg) to start from
      radiation    "xray" (default), "neutron" or "electron": the scattering
                   factors of the intensities (f_abs in electrons, fm or angstrom)
      voltage      electrons: accelerating voltage in kV (default 200); the
                   run's wavelength is then the relativistic electron wavelength

    Returns a dict with, for n reflections in generation order:
      indices      (n, 5) or (n, 6) int32
      theta, d, qe, qi, x, y, z   (n,) float64 (degrees, angstrom, 1/angstrom without 2 pi)
      plane_class  (n,) int16: 0 general, 1 first direction family, 2 second
      main         (n,) bool: main reflections
      intensity, f_abs, f_phase   (n,) float64, only with a model (percent of
                   the strongest, |F|, phase in degrees), and "model" (its name)
      statistics   dict: kept, visited, loops, zero_layer_max, theta_max, qi_max,
                   qi_min_positive, bounds (xmin, xmax, ymin, ymax, zmin, zmax), coord_max
      space_group, summary   the report's header lines
    The run releases the GIL. Raises ValueError for bad input.
    """
    return _core.reflections(_given(locals()))


def powder(system=None, space_group=None, setting=None, a=None, c=None, wavelength=None, anode=None, theta=None,
           qi_max=None, loops=None, model=None, tolerance=None, monochromator=None, two_theta=None, caglioti=None,
           eta=None, cut=None, doublet=False, zero=None, settings=None, radiation=None, voltage=None):
    """The run's reflections merged into powder lines, and the simulated profile.

    Takes the arguments of reflections() (without algorithm and
    min_intensity; with radiation "neutron" or "electron" the line intensities
    take the Lorentz factor without the polarisation term) and those of
    lumora-cli powder:
      tolerance      relative d tolerance for merging (default 1e-6)
      monochromator  2theta of the monochromator crystal, degrees (default 0: none)
      two_theta      (min, max, step) of the profile in degrees (default twice
                     the theta range, step 0.01)
      caglioti       (U, V, W) in degrees^2 (default (0, 0, 0.01))
      eta            Lorentzian fraction 0..1 (default 0.5)
      cut            each peak reaches this many FWHM either side (default 20)
      doublet        True: the anode's K-alpha1/K-alpha2 doublet
      zero           zero shift in degrees added to the profile's peak positions

    Returns a dict, for n lines by ascending 2theta: "two_theta", "d",
    "intensity" (percent of the strongest, LP included) (n,) float64,
    "multiplicity" (n,) int32, "complete_multiplicity" (n,) int32 and
    "incomplete" (n,) bool (with explicit loops, the lines whose orbits the
    loop box cuts, and the multiplicity of their complete orbits),
    "index" (n, 5) or (n, 6) int32 (the first index
    vector of each line), "dropped_at_backscatter", and "profile": a dict of
    "two_theta" and "intensity" arrays. Raises ValueError for bad input.
    """
    return _core.powder(_given(locals()))


def find_peaks(pattern, peak_threshold=None, peak_smoothing=None):
    """The peaks of a pattern (a dict from read_pattern, or any with
    "two_theta" and "intensity"), found as lumora-cli powder --measured finds
    them: a dict of "two_theta", "height" (over the background) and "fwhm"
    (numpy arrays, by ascending 2theta), "typical_fwhm" (the median of the ten
    strongest) and "range" (the pattern's first and last 2theta)."""
    sigma = pattern.get("sigma")
    return _core.find_peaks([float(t) for t in pattern["two_theta"]], [float(y) for y in pattern["intensity"]],
                            None if sigma is None else [float(s) for s in sigma],
                            _given({"peak_threshold": peak_threshold, "peak_smoothing": peak_smoothing}))


def _index(peaks, ab_initio, keywords):
    import json
    if isinstance(peaks, dict) and "intensity" in peaks:
        peaks = find_peaks(peaks)
    if isinstance(peaks, dict):
        two_theta = [float(t) for t in peaks["two_theta"]]
        height = [float(h) for h in peaks.get("height", [])]
        low, high = peaks.get("range", (0.0, 0.0))
        width = float(peaks.get("typical_fwhm", 0.0))
    else:
        two_theta, height, low, high, width = [float(t) for t in peaks], [], 0.0, 0.0, 0.0
    result = json.loads(_core.index_peaks(two_theta, height, float(low), float(high), width, ab_initio, keywords))
    if not result["reliable"]:
        raise NoReliableSolution(result.get("refusal", ""), result["candidates"], result=result)
    return result


def index(pattern, system=None, space_group=None, setting=None, a=None, c=None, wavelength=None, anode=None,
          theta=None, qi_max=None, loops="auto", model=None, a_range=None, c_range=None, wavelength_model=None,
          index_tolerance=None, tolerance=None, monochromator=None, zero=None, settings=None, radiation=None,
          voltage=None):
    """Indexes a measured pattern without a start, as lumora-cli powder
    --measured --index does: a (and c for the axial systems) searched over
    a_range (default (1.5, 12)) and c_range (default (2, 40)) in A, the zero
    shift within 0.2 degrees of zero, the candidates ranked by the figure of
    merit W = C x F(N) (C: how well the strong peaks meet strong lines).

      pattern           a dict from read_pattern (its peaks are found), one
                        from find_peaks, or a sequence of peak 2theta values
      a                 only sets the units of a Steurer qi_max
      model             a structure model for the line intensities (default:
                        the qi weight exp(-ln 100 (qi/qi_max)^2))
      wavelength_model  "doublet" (K-alpha1 and K-alpha2 of the anode,
                        default) or "ka1" (a monochromated beam)
      loops             "auto" (default): every reflection of the limits
      radiation, voltage   the model's scattering factors, as reflections()

    Returns a dict as lumora-cli's --refine-json: reliable, criteria,
    candidates, a, a_su, c, c_su, zero, zero_su, figures of merit, peaks
    (each with its index, component and ambiguous mark) and unindexed.
    Raises NoReliableSolution (a ValueError) carrying the candidates when the
    best cell fails a criterion, and ValueError for bad input.
    """
    keywords = _given(locals())
    del keywords["pattern"]
    return _index(pattern, True, keywords)


def refine(pattern, system=None, space_group=None, setting=None, a=None, c=None, wavelength=None,
           anode=None, theta=None, qi_max=None, loops="auto", model=None, refine=("a", "c", "zero"),
           wavelength_model=None, index_tolerance=None, tolerance=None, monochromator=None, zero=None,
           settings=None, radiation=None, voltage=None):
    """Indexes a measured pattern from the start a, c and zero, as lumora-cli
    powder --measured --refine does: every cell within 2 % of the start is
    searched, the best by the figure of merit refined by least squares on
    2theta. pattern as for index(); refine the parameters refined (any of
    "a", "c" for the axial systems, "zero"). Returns and raises as index()."""
    keywords = _given(locals())
    del keywords["pattern"]
    return _index(pattern, False, keywords)


def _rows_or_file(value):
    """A file name as it is (a text or a path), else the rows of numbers."""
    if isinstance(value, str) or hasattr(value, "__fspath__"):
        return str(value), None
    return None, [[float(v) for v in row] for row in value]


def refine_structure(model, reflections, refine="scale", system=None, space_group=None, setting=None, a=None,
                     c=None, wavelength=None, anode=None, scale=None, extinction=None, weight=None, no_merge=False,
                     max_iterations=None, search=None, map_at=None, map_source=None, map_size=None, map_width=None,
                     settings=None, radiation=None, voltage=None):
    """Refines a structure model against measured single-crystal intensities,
    as lumora-cli refine does.

      model           the start model: a built-in name or a model file
      reflections     a reflection file (text "h1 .. hn I sigma" or a CIF
                      _refln loop), or rows of h1..hn, I, sigma (an (m, n+2)
                      array or a sequence of sequences)
      refine          the parameters: a text "scale,occupancy:P1,b_perp:P1=b_perp:P4"
                      or a sequence of names (default "scale"); see lumora-cli
                      refine --help
      system, space_group, setting, a, c, wavelength, anode, settings
                      the lattice and radiation, as reflections(); the space
                      group's Laue class merges equivalents
      radiation, voltage   "xray" (default), "neutron" or "electron" and the
                      electrons' kV: the scattering factors, as reflections()
      scale           the scale's start (without it the scale is always refined)
      extinction      the extinction parameter's start (default 0)
      weight          (a, b) of w = 1/(sigma^2 + (a P)^2 + b P)
      no_merge        True: fit every measurement unmerged
      max_iterations  per descent (default 100)
      search          descents from further starts (default 6)
      map_at          a site label: also the internal-space map(s) through it
      map_source      "observed" (default), "calculated" or "difference"
      map_size, map_width  pixels a side (default 121), half width in A

    Returns a dict: status "refined", R1, wR2, GoF, observations,
    strong_observations, refined_parameters, iterations, measurements,
    merged_in, R_int, parameters (dicts of name, value, su, start, at_bound),
    correlations (names and a matrix), candidates, reflections (index,
    observed, sigma, calculated arrays), worst (indices into reflections),
    model (the refined model file's text), report, and with map_at "maps"
    (dicts of values (size, size), plane, half_width, source, outlines).
    Raises ValueError for bad input and NoReliableSolution when the
    refinement refuses.
    """
    arguments = _given(locals())
    arguments["reflections"], rows = _rows_or_file(reflections)
    result = _core.refine_structure(_given(arguments), rows)
    if result["status"] != "refined":
        raise NoReliableSolution(result["error"], result["candidates"], parameters=result["parameters"])
    return result


def fit_pattern(measured, model, refine="scale,zero,a,c,u,v,w,eta,background", background=None, system=None,
                space_group=None, setting=None, a=None, c=None, wavelength=None, anode=None, qi_max=None, loops=None,
                caglioti=None, eta=None, cut=None, zero=None, doublet=False, monochromator=None, search=None,
                max_iterations=None, settings=None, radiation=None, voltage=None):
    """The whole-pattern (Rietveld-type) fit of a measured powder pattern, as
    lumora-cli powder --measured FILE --rietveld does.

      measured        a pattern file (.xy, .xye, .csv) or rows of 2theta,
                      intensity[, sigma] (an (m, 2) or (m, 3) array)
      model           the start model: a built-in name or a model file
      refine          any of scale, zero, a, c, u, v, w, eta, background,
                      background:K and the structure's occupancy:LABEL,
                      b_par:LABEL, b_perp:LABEL, size:LABEL (KIND:*), A=B
                      held equal; a text or a sequence
      background      Chebyshev terms (default 3)
      a, c, zero, caglioti (U, V, W), eta   the starts; the rest of the run
                      as reflections() (its theta range is set to cover the pattern)
      doublet         True: the anode's K-alpha1/K-alpha2 doublet
      cut, monochromator   as powder()
      search, max_iterations   further starts for the structure (default 6), per descent (100)
      radiation, voltage   the scattering factors, as reflections(); neutrons
                      and electrons take the Lorentz factor without polarisation

    Returns a dict: status "refined", Rp, Rwp, Rexp, chi2, points,
    refined_parameters, iterations, lines, parameters (name, value, su,
    start, at_bound), correlations, candidates, two_theta, observed,
    calculated, background, line_two_theta (arrays), model (the refined
    model file's text) and report. Raises ValueError for bad input and
    NoReliableSolution when the fit refuses.
    """
    arguments = _given(locals())
    arguments["measured"], rows = _rows_or_file(measured)
    result = _core.fit_pattern(_given(arguments), rows)
    if result["status"] != "refined":
        raise NoReliableSolution(result["error"], result["candidates"], parameters=result["parameters"])
    return result


def read_pattern(path, range=None):
    """A measured powder pattern, as lumora-cli powder --measured reads it:
    text (.xy, .xye, .csv: 2theta, intensity[, sigma]) or a diffractometer's
    file: Bruker RAW4.00 (DIFFRAC.SUITE) or any format xylib reads (Bruker RAW
    and UXD, PANalytical XRDML, Philips UDF and RD, Rigaku DAT, Sietronics
    CPI, DBWS, RIET7, pdCIF, ...).

      path   the file
      range  the range (scan) of a file that holds several, counted from 1
             (default 1)

    Returns a dict: "two_theta", "intensity" (n,) float64 by rising 2theta,
    "sigma" (n,) float64 or None, "format" (the format's name, "text" for
    the text reader), "ranges" (a description of each range of the file),
    "range" (the one read), and the wavelengths the file states in A, each
    None when it states none: "wavelength" (K-alpha1 or the only one),
    "wavelength2" (K-alpha2), "ratio" (I(K-alpha2)/I(K-alpha1)) and
    "wavelength_item" (the file's item it came from). Raises ValueError
    naming the file and the line, point or range at fault.
    """
    return _core.read_pattern(str(path), range)


def matrices(system=None, setting=None, a=None, c=None, settings=None):
    """The direct lattice matrix and its inverse.

    Takes system, setting, a and c as reflections() does; returns a dict with
    "direct" and "inverse", each an (n, n) float64 array (n = 5 for the axial
    systems, 6 for the icosahedral one). Raises ValueError for bad input.
    """
    return _core.matrices(_given(locals()))


def space_groups(system="decagonal"):
    """The space-group symbols of a system ("octagonal", "decagonal",
    "dodecagonal" or "icosahedral"), in the order the program lists them.
    Raises ValueError for an unknown system."""
    return _core.space_groups(_given(locals()))


def tiling(symmetry=None, loop_order=None, scale=None, shift_mode=None, shifts=None, preset=None, shift_sum=None,
           peaks=False, k_max=None, internal_max=None):
    """A quasiperiodic rhombus tiling built by the multigrid method on the
    512 x 512 pixel canvas, as lumora-cli tiling and the tiling window build it.

    Arguments (the defaults are lumora-cli's):
      symmetry    N, the number of grids, 5..20 (default 5)
      loop_order  line indices run from -L to L, 1..40 (default 6)
      scale       edge length 3 x scale pixels, 1..10 (default 8)
      shift_mode  0 symmetry type 1 (default), 1 symmetry type 2, 2 random
                  (the first random tiling the window shows)
      shifts      the N grid shifts, each from -1 to 1 (a sequence or the
                  comma-separated text lumora-cli takes)
      preset      "penrose", "generalised-penrose" or "ammann-beenker": the
                  standard tiling's N and shifts, as the window's preset list
      shift_sum   shift sum of the generalised Penrose tiling, -5..5 (default 0.5)
      peaks       True: also the Bragg peaks of the exact vertex set, as
                  lumora-cli tiling --diffraction-csv writes them (given k_max
                  or internal_max imply it)
      k_max       largest |k| of the peaks, reciprocal edge lengths, 0.1..10 (default 2)
      internal_max  largest internal component of the peaks, 0.1..10 (default 1)

    Returns a dict: "vertices" (m, 2) float64 unique vertex coordinates in
    pixels, "tiles" (k, 4, 2) int32 rhombus corners in outline order,
    "tile_types" (k,) int32 (1..), "grid_shift" (N,) float64,
    "vertex_table_full" (bool: more vertices existed than were recorded) and
    "note" (the window's note on a periodic or non-standard tiling, or None).
    With peaks, "peaks" is a dict for p module points q = sum h_i (2/N) e_i:
    "k" (p, 2) float64 in reciprocal edge lengths (y down, as the vertices),
    "index" (p, r) int32 the h_i (r = phi(N)), "internal" (p,) float64 the
    length of the Galois-conjugate partner, and "intensity" (p,) float64,
    |sum exp(2 pi i k.x)|^2 / n^2 over the n exact vertices (1 at k = 0).
    The run releases the GIL. Raises ValueError for bad input (more than
    20000 peaks within the limits among it).
    """
    keywords = _given(locals())
    wanted = bool(keywords.pop("peaks", False)) or "k_max" in keywords or "internal_max" in keywords
    return _core.tiling(keywords, wanted)



def zone_pattern(system=None, space_group=None, setting=None, a=None, c=None, qi_max=None, loops=None, model=None,
                 axis=None, tilt=None, radiation=None, voltage=None, wavelength=None, anode=None, thickness=None,
                 precession=None, g_max=None, s_max=None, camera_length=None, settings=None):
    """The kinematic zone-axis diffraction pattern, as lumora-cli zone makes it.

    Takes the lattice arguments of reflections() (not theta) and:
      axis           "5", "3", "2" (icosahedral); "10", "8" or "12", "2", "2'"
                     (axial); or a direct-lattice index vector (default: 5 or
                     the periodic axis)
      tilt           (tx, ty) degrees about the pattern's x, then y axis
      radiation      "electron" (default), "xray" or "neutron"
      voltage        electrons: kV (default 200); wavelength (or anode): X-rays, neutrons
      thickness      nm (default 50); precession: degrees (default 0)
      g_max, s_max   pattern radius and largest |excitation error|, 1/A (1.5, 0.05)
      camera_length  mm: adds "x_mm", "y_mm"

    Returns a dict, for n spots by |g|: "indices" (n, 5|6) int32, "x", "y"
    (1/A, pattern frame), "excitation_error" (1/A), "laue_zone" (int32),
    "intensity" (percent of the strongest), "d", "q_perp", "f_squared",
    "shape_factor"; and "wavelength" (A), "radiation", "axis", "axis_index",
    "beam", "pattern_x", "pattern_y" (unit vectors of the report frame),
    "layer_spacing", "rotation_order", "model". Raises ValueError for bad input.
    """
    return _core.zone_pattern(_given(locals()))


def fit_zone_image(image, system=None, space_group=None, setting=None, a=None, c=None, qi_max=None, loops=None,
                   model=None, axis=None, tilt=None, radiation=None, voltage=None, wavelength=None, anode=None,
                   thickness=None, precession=None, g_max=None, s_max=None, spot_sigma=None, spot_threshold=None,
                   fit_tolerance=None, centre=None, k_range=None, min_indexed=None, fit_tilt=None,
                   allow_unreliable=False, settings=None):
    """Finds the spots of a measured image and fits the zone pattern to them,
    as lumora-cli zone --measured does.

      image          a PNG, TIFF or MRC file name, or a 2-D array of grey
                     values (row 0 at the top)
      the pattern's arguments as zone_pattern(), and
      spot_sigma     spot width, px (default 1.5); spot_threshold: multiples
                     of the local noise (default 6)
      fit_tolerance  px (default 3); centre: (x, y) px to start from;
      k_range        (kmin, kmax) px A; min_indexed (default 8)
      fit_tilt       the largest beam tilt (degrees) to fit from the spots'
                     intensities; adds "tilt_deg" and "tilt_deg_su"
      allow_unreliable  return an unreliable fit instead of raising

    Returns a dict like --fit-json: "camera_constant" (px A, R = K / d),
    "rotation_deg" (counter-clockwise on screen from the image's +x axis to
    the pattern's x, modulo 360 / "rotation_order"), "centre_x", "centre_y"
    (px, origin at the top-left pixel centre, y down), each with "_su",
    "rms_px", "reliable", "verdict", "indexed" (a dict of arrays: "indices",
    "x", "y", "x_calc", "y_calc", "residual", "d", "intensity",
    "calculated"), "unindexed" ((m, 2) px), "candidates", "spots_found",
    "spots_considered", "indexed_fraction", "chance_fraction".
    Raises NoReliableSolution (carrying the fit and its candidates) when the
    fit fails its criteria, and ValueError for bad input.
    """
    keywords = _given(locals())
    keywords.pop("image", None)
    keywords.pop("allow_unreliable")
    if not isinstance(image, str):
        import numpy
        image = numpy.asarray(image, dtype=float)
    fit = _core.fit_zone_image(image, keywords)
    if not fit["reliable"] and not allow_unreliable:
        raise NoReliableSolution(fit["verdict"], fit["candidates"], result=fit)
    return fit
