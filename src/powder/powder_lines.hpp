// Powder lines: the run's reflections merged where a powder cannot tell them
// apart (equal d within a relative tolerance), each line with its multiplicity,
// index vectors, qi values and Lorentz-polarisation-weighted intensity.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "reflections/reflection_record.hpp"

namespace lumora {

// Lorentz-polarisation factor of an unpolarised beam in a powder diffractometer
// with an optional crystal monochromator (International Tables for
// Crystallography, Vol. C, section 6.2.5; Cullity, Elements of X-ray
// Diffraction, section 4-9):
//   LP = (1 + cos^2(2 thetaM) cos^2(2 theta)) / ((1 + cos^2(2 thetaM)) sin^2(theta) cos(theta))
// twoTheta and monochromatorTwoTheta in degrees; twoTheta in (0, 180) open,
// monochromatorTwoTheta in [0, 180) with 0 meaning no monochromator (the
// polarisation term is then (1 + cos^2 2 theta) / 2).
double LorentzPolarisation(double twoTheta, double monochromatorTwoTheta = 0.0);

struct PowderLine {
  double d = 0.0;         // A, mean of the merged reflections
  double twoTheta = 0.0;  // degrees, at the run's wavelength
  int multiplicity = 0;   // reflections merged into the line
  double intensity = 0.0; // sum of the reflections' I times LP
  double strength = 0.0;  // sum of the reflections' I, without LP
  std::vector<std::array<int, 6>> indices;  // in the run's order
  std::vector<double> qi;                   // parallel to indices
  // The reflections of the line in the complete run (every reflection of the
  // filters, whatever the loop box); 0 when not compared. Above multiplicity:
  // the run's box cut the line's orbits.
  int completeMultiplicity = 0;
};

// The Lorentz factor alone, 1 / (sin^2 theta cos theta), for a beam without
// the polarisation of Thomson scattering (neutrons, electrons); twoTheta in
// degrees, in (0, 180) open.
double LorentzFactor(double twoTheta);

struct LineOptions {
  double tolerance = 1e-6;             // relative: |d - d_first| <= tolerance * d_first merges
  double monochromatorTwoTheta = 0.0;  // degrees; 0: no monochromator
  bool polarised = true;               // X-rays: LP; false: the Lorentz factor alone
};

// Why the options cannot be used ("tolerance ... "), or an empty string.
std::string CheckLineOptions(const LineOptions& options);

struct PowderLines {
  std::vector<PowderLine> lines;  // by d descending (2 theta ascending)
  std::size_t droppedAtBackscatter = 0;  // reflections at 2 theta = 180, where LP has no value
};

// intensities: parallel to records (the model's I), or null for 1 each.
// wavelength in A. Options must pass CheckLineOptions. Merging compares with
// the first (largest) d of a line, so that a line never drifts along a chain of
// near neighbours.
PowderLines BuildPowderLines(const std::vector<ReflectionRecord>& records, const std::vector<double>* intensities,
                             double wavelength, const LineOptions& options = {});

// Gives each line its completeMultiplicity: the reflections of complete (the
// records of a run with the same filters and complete loops) whose d agrees
// with the line's within options.tolerance (and single-precision rounding).
void CountCompleteOrbits(std::vector<PowderLine>& lines, const std::vector<ReflectionRecord>& complete,
                         const LineOptions& options);

// Scales the intensities so that the strongest line has 100 (nothing when all are 0).
void ScaleLinesToPercent(std::vector<PowderLine>& lines);

}  // namespace lumora
