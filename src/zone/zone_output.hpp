// The zone pattern and the image fit as text: the report, CSV (one spot a
// row) and JSON. Numbers in CSV and JSON are the shortest texts that read
// back to the same double.
#pragma once

#include <string>
#include <vector>

#include "zone/spot_finder.hpp"
#include "zone/zone_fit.hpp"
#include "zone/zone_pattern.hpp"

namespace lumora {

// h1..hn, x, y (1/A, pattern frame), excitation_error (1/A), laue_zone,
// intensity (percent of the strongest), d (A), q_perp (1/A), f_squared,
// shape_factor (A^2), and x_mm, y_mm with a camera length.
std::string ZoneCsv(const ZonePattern& pattern, const ZoneInputs& inputs);
// wavelength (A), radiation, voltage_kv, thickness_nm, precession_deg,
// axis, axis_index, beam (unit vector, report frame), pattern_x, pattern_y,
// layer_spacing, rotation_order, model, spots (as the CSV).
std::string ZoneJson(const ZonePattern& pattern, const ZoneInputs& inputs, const std::string& modelName);
// A readable summary: inputs, beam and frame, the strongest spots.
std::string ZoneReport(const ZonePattern& pattern, const ZoneInputs& inputs, const std::string& modelName,
                       std::size_t rows = 40);

// camera_constant, rotation_deg, centre_x, centre_y with their _su, rms_px,
// reliable, verdict, criteria, indexed (the spots with indices), unindexed,
// candidates, spots_found, spots_considered, indexed_fraction,
// chance_fraction, rotation_order, image size.
std::string ZoneFitJson(const ZoneFit& fit, const ZonePattern& pattern, const std::vector<FoundSpot>& found,
                        const ZoneFitOptions& options, int width, int height);
std::string ZoneFitReport(const ZoneFit& fit, const ZonePattern& pattern, std::size_t found);

}  // namespace lumora
