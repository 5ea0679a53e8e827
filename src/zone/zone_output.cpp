#include "zone/zone_output.hpp"

#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "report/machine_formats.hpp"

namespace lumora {
namespace {

std::string N(double v) { return ShortestText(v); }

std::string Indices(const std::array<int, 6>& h, int n, const char* separator) {
  std::string s;
  for (int i = 0; i < n; ++i) s += (i ? separator : "") + std::to_string(h[static_cast<std::size_t>(i)]);
  return s;
}

std::string Vector(const Direction& d) { return "[" + N(d[0]) + ", " + N(d[1]) + ", " + N(d[2]) + "]"; }

std::string SpotFields(const ZoneSpot& s, int n, bool mm) {
  std::string row = "\"indices\": [" + Indices(s.h, n, ", ") + "], \"x\": " + N(s.x) + ", \"y\": " + N(s.y) +
                    ", \"excitation_error\": " + N(s.excitationError) + ", \"laue_zone\": " + std::to_string(s.laueZone) +
                    ", \"intensity\": " + N(s.intensity) + ", \"d\": " + N(s.d) + ", \"q_perp\": " + N(s.qPerp) +
                    ", \"f_squared\": " + N(s.fSquared) + ", \"shape_factor\": " + N(s.shape);
  if (mm) row += ", \"x_mm\": " + N(s.xMm) + ", \"y_mm\": " + N(s.yMm);
  return row;
}

}  // namespace

std::string ZoneCsv(const ZonePattern& p, const ZoneInputs& in) {
  const int n = p.lattice.nDim;
  const bool mm = in.cameraLength > 0.0;
  std::string out;
  for (int i = 1; i <= n; ++i) out += "h" + std::to_string(i) + ",";
  out += "x,y,excitation_error,laue_zone,intensity,d,q_perp,f_squared,shape_factor";
  if (mm) out += ",x_mm,y_mm";
  out += "\n";
  for (const ZoneSpot& s : p.spots) {
    out += Indices(s.h, n, ",") + "," + N(s.x) + "," + N(s.y) + "," + N(s.excitationError) + "," +
           std::to_string(s.laueZone) + "," + N(s.intensity) + "," + N(s.d) + "," + N(s.qPerp) + "," + N(s.fSquared) +
           "," + N(s.shape);
    if (mm) out += "," + N(s.xMm) + "," + N(s.yMm);
    out += "\n";
  }
  return out;
}

std::string ZoneJson(const ZonePattern& p, const ZoneInputs& in, const std::string& modelName) {
  const int n = p.lattice.nDim;
  std::string out = "{\n";
  out += "  \"radiation\": " + JsonString(RadiationName(in.radiation.kind)) + ",\n";
  out += "  \"wavelength\": " + N(p.wavelength) + ",\n";
  if (in.radiation.kind == RadiationKind::Electron) out += "  \"voltage_kv\": " + N(in.radiation.voltageKv) + ",\n";
  out += "  \"thickness_nm\": " + N(in.thickness / 10.0) + ",\n";
  out += "  \"precession_deg\": " + N(in.precession) + ",\n";
  out += "  \"axis\": " + JsonString(p.axis.name) + ",\n";
  out += "  \"axis_index\": [" + Indices(p.axis.index, n, ", ") + "],\n";
  out += "  \"tilt_deg\": [" + N(in.beam.tiltX) + ", " + N(in.beam.tiltY) + "],\n";
  out += "  \"beam\": " + Vector(p.frame.beam) + ",\n";
  out += "  \"pattern_x\": " + Vector(p.frame.x) + ",\n";
  out += "  \"pattern_y\": " + Vector(p.frame.y) + ",\n";
  out += "  \"layer_spacing\": " + N(p.layerSpacing) + ",\n";
  out += "  \"rotation_order\": " + std::to_string(p.rotationOrder) + ",\n";
  out += "  \"g_max\": " + N(in.gMax) + ",\n";
  out += "  \"s_max\": " + N(in.sMax) + ",\n";
  if (in.cameraLength > 0.0) out += "  \"camera_length_mm\": " + N(in.cameraLength) + ",\n";
  out += "  \"model\": " + (p.model ? JsonString(modelName) : std::string("null")) + ",\n";
  out += "  \"spots\": [";
  for (std::size_t i = 0; i < p.spots.size(); ++i)
    out += std::string(i ? ",\n" : "\n") + "    {" + SpotFields(p.spots[i], n, in.cameraLength > 0.0) + "}";
  out += "\n  ]\n}\n";
  return out;
}

std::string ZoneReport(const ZonePattern& p, const ZoneInputs& in, const std::string& modelName, std::size_t rows) {
  const int n = p.lattice.nDim;
  std::string out = "LUMORA ZONE AXIS PATTERN - " + std::to_string(p.spots.size()) + " spots\n";
  out += std::string(SystemName(p.lattice.system)) + ", a = " + N(p.lattice.a) +
         (n == 5 ? ", c = " + N(p.lattice.c) : std::string()) + ", axis " + p.axis.name + " [" +
         Indices(p.axis.index, n, ",") + "]";
  if (in.beam.tiltX != 0.0 || in.beam.tiltY != 0.0) out += " tilted " + N(in.beam.tiltX) + ", " + N(in.beam.tiltY) + " degrees";
  out += "\n" + RadiationName(in.radiation.kind) + ", wavelength = " + FormatFixed(p.wavelength, 6) + " A";
  if (in.radiation.kind == RadiationKind::Electron) out += " (" + N(in.radiation.voltageKv) + " kV)";
  out += ", thickness = " + N(in.thickness / 10.0) + " nm, precession = " + N(in.precession) + " degrees\n";
  out += "intensities: " + (p.model ? "model " + modelName + " |F|^2" : std::string("exp(-(l q_perp)^2) without a model")) +
         " x shape factor, percent of the strongest spot\n";
  out += "beam = " + Vector(p.frame.beam) + ", pattern x = " + Vector(p.frame.x) + ", y = " + Vector(p.frame.y) + "\n";
  std::vector<const ZoneSpot*> order;
  for (const ZoneSpot& s : p.spots) order.push_back(&s);
  std::stable_sort(order.begin(), order.end(), [](const ZoneSpot* a, const ZoneSpot* b) { return a->intensity > b->intensity; });
  if (order.size() > rows) order.resize(rows);
  std::string header = "#        x         y         d      s_g  Laue           I";
  for (int i = 1; i <= n; ++i) header += PadLeft("h" + std::to_string(i), 4);
  out += std::string(header.size(), '-') + "\n" + header + "\n" + std::string(header.size(), '-') + "\n";
  std::size_t number = 0;
  for (const ZoneSpot* s : order) {
    std::string row = PadRight(std::to_string(++number), 4) + PadLeft(FormatFixed(s->x, 5), 9) + PadLeft(FormatFixed(s->y, 5), 10) +
                      PadLeft(FormatFixed(s->d, 4), 10) + PadLeft(FormatFixed(s->excitationError, 5), 9) +
                      PadLeft(std::to_string(s->laueZone), 6) + PadLeft(FormatFixed(s->intensity, 4), 12);
    for (int i = 0; i < n; ++i) row += PadLeft(std::to_string(s->h[static_cast<std::size_t>(i)]), 4);
    out += row + "\n";
  }
  if (p.spots.size() > rows) out += "(the " + std::to_string(rows) + " strongest of " + std::to_string(p.spots.size()) + " spots)\n";
  return out;
}

std::string ZoneFitJson(const ZoneFit& f, const ZonePattern& p, const std::vector<FoundSpot>& found,
                        const ZoneFitOptions& o, int width, int height) {
  const int n = p.lattice.nDim;
  std::string out = "{\n";
  out += "  \"reliable\": " + std::string(f.reliable ? "true" : "false") + ",\n";
  out += "  \"verdict\": " + JsonString(f.verdict) + ",\n";
  out += "  \"camera_constant\": " + N(f.k) + ",\n  \"camera_constant_su\": " + N(f.kSu) + ",\n";
  out += "  \"rotation_deg\": " + N(f.rotation) + ",\n  \"rotation_deg_su\": " + N(f.rotationSu) + ",\n";
  out += "  \"centre_x\": " + N(f.cx) + ",\n  \"centre_x_su\": " + N(f.cxSu) + ",\n";
  out += "  \"centre_y\": " + N(f.cy) + ",\n  \"centre_y_su\": " + N(f.cySu) + ",\n";
  out += "  \"rms_px\": " + N(f.rms) + ",\n";
  if (f.tiltFitted)
    out += "  \"tilt_deg\": [" + N(f.tiltX) + ", " + N(f.tiltY) + "],\n  \"tilt_deg_su\": [" + N(f.tiltXSu) + ", " +
           N(f.tiltYSu) + "],\n";
  out += "  \"rotation_order\": " + std::to_string(f.rotationOrder) + ",\n";
  out += "  \"image_size\": [" + std::to_string(width) + ", " + std::to_string(height) + "],\n";
  out += "  \"spots_found\": " + std::to_string(found.size()) + ",\n";
  out += "  \"spots_considered\": " + std::to_string(f.considered) + ",\n";
  out += "  \"indexed_fraction\": " + N(f.fraction) + ",\n";
  out += "  \"chance_fraction\": " + N(f.chanceFraction) + ",\n";
  out += "  \"criteria\": {\"tolerance_px\": " + N(o.tolerance) + ", \"min_indexed\": " + std::to_string(o.minIndexed) +
         ", \"min_fraction\": " + N(o.minFraction) + ", \"chance_factor\": 3, \"max_rms_px\": " + N(o.tolerance / 2.0) +
         ", \"max_rival_ratio\": 0.8},\n";
  out += "  \"indexed\": [";
  for (std::size_t i = 0; i < f.indexed.size(); ++i) {
    const IndexedSpot& s = f.indexed[i];
    out += std::string(i ? ",\n" : "\n") + "    {\"indices\": [" + Indices(s.h, n, ", ") + "], \"d\": " + N(s.d) +
           ", \"x\": " + N(s.x) + ", \"y\": " + N(s.y) + ", \"x_calc\": " + N(s.xCalc) + ", \"y_calc\": " + N(s.yCalc) +
           ", \"residual\": " + N(s.residual) + ", \"intensity\": " + N(s.intensity) + ", \"calculated\": " +
           N(s.calculated) + "}";
  }
  out += "\n  ],\n  \"unindexed\": [";
  for (std::size_t i = 0; i < f.unindexed.size(); ++i) {
    const FoundSpot& s = found[f.unindexed[i]];
    out += std::string(i ? ",\n" : "\n") + "    {\"x\": " + N(s.x) + ", \"y\": " + N(s.y) + ", \"intensity\": " + N(s.intensity) + "}";
  }
  out += "\n  ],\n  \"candidates\": [";
  for (std::size_t i = 0; i < f.candidates.size(); ++i) {
    const ZoneFitSolution& c = f.candidates[i];
    out += std::string(i ? ",\n" : "\n") + "    {\"camera_constant\": " + N(c.k) + ", \"rotation_deg\": " + N(c.rotation) +
           ", \"centre_x\": " + N(c.cx) + ", \"centre_y\": " + N(c.cy) + ", \"indexed\": " + std::to_string(c.indexed) +
           ", \"rms_px\": " + N(c.rms) + "}";
  }
  out += "\n  ]\n}\n";
  return out;
}

std::string ZoneFitReport(const ZoneFit& f, const ZonePattern& p, std::size_t found) {
  const int n = p.lattice.nDim;
  std::string out = "IMAGE FIT - " + std::to_string(found) + " spots found, " + std::to_string(f.considered) +
                    " inside the pattern, " + std::to_string(f.indexed.size()) + " indexed\n";
  out += "verdict: " + f.verdict + "\n";
  if (!f.fitted) return out;
  out += "camera constant K = " + ValueWithSu(f.k, f.kSu, 3) + " px A\n";
  out += "rotation = " + ValueWithSu(f.rotation, f.rotationSu, 3) + " degrees (modulo " + N(360.0 / f.rotationOrder) + ")\n";
  out += "centre = " + ValueWithSu(f.cx, f.cxSu, 2) + ", " + ValueWithSu(f.cy, f.cySu, 2) + " px\n";
  if (f.tiltFitted)
    out += "tilt = " + ValueWithSu(f.tiltX, f.tiltXSu, 3) + ", " + ValueWithSu(f.tiltY, f.tiltYSu, 3) +
           " degrees (about the pattern's x, then y)\n";
  out += "rms residual = " + FormatFixed(f.rms, 3) + " px, indexed " + FormatFixed(100.0 * f.fraction, 1) +
         " % (chance " + FormatFixed(100.0 * f.chanceFraction, 1) + " %)\n";
  std::string header = "#         x         y    x calc    y calc   resid         d";
  for (int i = 1; i <= n; ++i) header += PadLeft("h" + std::to_string(i), 4);
  out += std::string(header.size(), '-') + "\n" + header + "\n" + std::string(header.size(), '-') + "\n";
  std::size_t number = 0;
  for (const IndexedSpot& s : f.indexed) {
    std::string row = PadRight(std::to_string(++number), 4) + PadLeft(FormatFixed(s.x, 2), 10) + PadLeft(FormatFixed(s.y, 2), 10) +
                      PadLeft(FormatFixed(s.xCalc, 2), 10) + PadLeft(FormatFixed(s.yCalc, 2), 10) +
                      PadLeft(FormatFixed(s.residual, 2), 8) + PadLeft(FormatFixed(s.d, 4), 10);
    for (int i = 0; i < n; ++i) row += PadLeft(std::to_string(s.h[static_cast<std::size_t>(i)]), 4);
    out += row + "\n";
  }
  return out;
}

}  // namespace lumora
