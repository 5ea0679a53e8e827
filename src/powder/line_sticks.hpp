// Where a cell puts its powder lines, and which line each observed peak is.
// A line of strength S (scalable_lines.hpp) appears at the 2 theta of each
// modelled wavelength plus the zero shift, with the intensity
//   S x LP(2 theta) x f,  f = 1 (one wavelength), 1/(1 + r) for K-alpha1 and
//   r/(1 + r) for K-alpha2 (r the anode's K-alpha2/K-alpha1 ratio),
// LP the Lorentz-polarisation factor (powder_lines.hpp). Where the doublet is
// not resolved (K-alpha1 and K-alpha2 closer than the peaks' FWHM w) a peak
// search finds one peak at the blend's centroid, the position of the mean
// wavelength (lambda1 + r lambda2) / (1 + r): there a peak is indexed by the
// blend, elsewhere by K-alpha1 or K-alpha2, never by both kinds, so that a
// zero shift cannot trade one for the other. Only positions a peak search
// finds without a systematic error go into a least-squares fit: blends of a
// separation below 0.4 w and K-alpha1 peaks more than 2.5 w from their
// K-alpha2; in between the two peaks pull each other's centroids, and a
// K-alpha2 peak always carries the tail of its stronger K-alpha1. Nor does a
// peak with another line within w whose share is at least a tenth of its own.
#pragma once

#include <string>
#include <vector>

#include "powder/scalable_lines.hpp"
#include "reflections/emission_lines.hpp"

namespace lumora {

struct WavelengthSetup {
  WavelengthModel model = WavelengthModel::Single;
  double kAlpha1 = 0.0;  // A: the wavelength of Single and K-alpha1
  double kAlpha2 = 0.0;  // A, Doublet only
  double ratio = 0.0;    // K-alpha2 / K-alpha1 intensity, Doublet only
  // "K-alpha1 1.5405929 A and K-alpha2 1.5444274 A (intensity ratio 0.513)".
  std::string Describe() const;
};

// The setup for an anode (classic list index) and model, or for one typed
// wavelength (anodeIndex without emission lines: the model is then Single).
WavelengthSetup MakeWavelengthSetup(int anodeIndex, WavelengthModel model, double typedWavelength);

struct ObservedPeak {
  double twoTheta = 0.0;   // degrees
  double intensity = 0.0;  // height above the background; 0 when not known
};

enum class StickComponent { KAlpha1 = 0, KAlpha2 = 1, Blend = 2 };  // one wavelength: KAlpha1

// The wavelength of a component (A).
double ComponentWavelength(const WavelengthSetup& setup, StickComponent component);

struct Stick {
  double twoTheta = 0.0;  // degrees, with the zero shift
  double share = 0.0;     // of the summed intensity of the K-alpha sticks in the range (a blend: its line's two)
  int line = -1;          // index into the lines
  StickComponent component = StickComponent::KAlpha1;
  bool indexable = true;  // a peak may be indexed by it (not the parts of a blend)
  bool intensity = true;  // counts in the intensity match (not a blend, whose parts do)
  bool fitted = true;     // its peak's position is fit for the least squares (see above)
};

// Doublet separations in FWHM: below kBlendWidths the two peaks are seen as
// one; a blend below kCleanBlendWidths and a K-alpha1 peak beyond
// kCleanPairWidths have positions without the other's pull.
inline constexpr double kBlendWidths = 1.0;
inline constexpr double kCleanBlendWidths = 0.4;
inline constexpr double kCleanPairWidths = 2.5;
inline constexpr double kPullShare = 0.1;

// The sticks of lines (with their components) whose 2 theta lies in
// [low, high], by ascending 2 theta. a, c in A (c ignored when no line has an
// az), zero in degrees; fwhm: the peaks' width in degrees.
std::vector<Stick> MakeSticks(const std::vector<ScalableLine>& lines, double a, double c, double zero,
                              const WavelengthSetup& setup, double low, double high, double fwhm,
                              double monochromatorTwoTheta);

struct PeakMatch {
  int stick = -1;          // index into the sticks, or -1: unindexed
  bool ambiguous = false;  // another line within the tolerance explains the peak at least half as well
};

// Each peak (any order) takes the stick that explains it best: the largest
// share x 10^-(d/width)^2 among the indexable sticks within the tolerance
// whose share is at least minShare; a stick takes at most one peak, the one it
// explains best. width (at most the tolerance) is how far the peaks may lie
// from their lines: the tolerance for a rough cell, a few times the scatter
// of the residuals for a refined one, where a strong line further off must not
// take a weak line's peak.
std::vector<PeakMatch> MatchPeaks(const std::vector<ObservedPeak>& peaks, const std::vector<Stick>& sticks,
                                  double tolerance, double minShare, double width);

// Where the doublet is resolved: the K-alpha2 sticks of at least the peaks'
// smallest share whose K-alpha1 stick indexes a peak (expected), and how many
// of them index one too (found).
struct DoubletEvidence {
  int expected = 0, found = 0;
};
DoubletEvidence KAlpha2Evidence(const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches);

// The closeness weight of the matching and of the intensity match: 1 at d = 0,
// 0.1 at d = tolerance.
double Closeness(double difference, double tolerance);

}  // namespace lumora
