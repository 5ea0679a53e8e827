// The named inputs of every front end: for each input its lumora-cli option,
// Python keyword, window field and label, its type, range, default and the
// text that refuses a bad value. lumora-cli, the Python package and the
// windows read their inputs through this table (input_reading.hpp), so that
// one input is spelt, bounded and refused the same way everywhere.
#pragma once

#include <limits>
#include <string_view>

namespace lumora {

enum class InputType {
  Flag,         // present or absent: --doublet
  Text,         // free text: a space-group symbol, a model name
  FileName,     // a path, never empty
  Choice,       // one of the words in choices
  Number,       // a decimal number within range
  WholeNumber,  // a whole number within range
  List,         // values separated by commas: --theta 1,30
};

// The values a number may take: low..high, either end open or closed. NaN is
// never inside.
struct NumberRange {
  double low = -std::numeric_limits<double>::infinity();
  double high = std::numeric_limits<double>::infinity();
  bool lowOpen = false;
  bool highOpen = false;

  constexpr bool Contains(double v) const {
    return (lowOpen ? v > low : v >= low) && (highOpen ? v < high : v <= high);
  }
};

struct NamedInput {
  std::string_view option{};       // lumora-cli: "--qi-max", "-a"
  std::string_view keyword{};      // the Python keyword, "qi_max"; empty: not offered there
  std::string_view field{};        // objectName of the window field that holds it; empty: none
  std::string_view label{};        // the field's name in a window's messages, "qi-Max"
  InputType type = InputType::Text;
  std::string_view defaultText{};  // the value when it is not given, as typed; empty: none
  NumberRange range{};             // Number, WholeNumber and each number of a List
  std::string_view choices{};      // Choice and a List of choices: the words, blank-separated
  bool anyCase = false;            // a choice matches in upper or lower case
  // What follows the quoted value when it is refused ("is not a number from 0
  // to 1"); empty for a whole number: "is not a whole number from L to H".
  std::string_view problem{};
  int settingsLine = 0;  // its line in the settings file; 0: not kept there
};

namespace input {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();
inline constexpr NumberRange kAboveZero{.low = 0.0, .lowOpen = true};
inline constexpr std::string_view kNotAFileName = "is not a file name";

// ---- The calculation: every front end ------------------------------------
inline constexpr NamedInput kSettings{.option = "--settings", .keyword = "settings", .type = InputType::FileName};
inline constexpr NamedInput kSystem{
    .option = "--system", .keyword = "system", .field = "cmbSystem", .label = "system", .type = InputType::Choice,
    .defaultText = "decagonal", .choices = "octagonal decagonal dodecagonal icosahedral", .anyCase = true,
    .problem = "is not one of octagonal, decagonal, dodecagonal, icosahedral", .settingsLine = 1};
// The window has one group list per system (cmbSG8, cmbSG10, cmbSG12, cmbSG20).
inline constexpr NamedInput kSpaceGroup{.option = "--space-group", .keyword = "space_group", .label = "space group",
                                        .defaultText = "P10.5/mmc", .problem = "is not a known space group",
                                        .settingsLine = 2};
inline constexpr NamedInput kSetting{.option = "--setting", .keyword = "setting", .label = "setting",
                                     .type = InputType::Choice, .defaultText = "yamamoto",
                                     .choices = "yamamoto steurer", .anyCase = true,
                                     .problem = "is not yamamoto or steurer", .settingsLine = 3};
inline constexpr NamedInput kLatticeA{.option = "-a", .keyword = "a", .field = "tfA", .label = "a",
                                      .type = InputType::Number, .defaultText = "2.82", .range = kAboveZero,
                                      .problem = "must be greater than 0", .settingsLine = 4};
inline constexpr NamedInput kLatticeC{.option = "-c", .keyword = "c", .field = "tfC", .label = "c",
                                      .type = InputType::Number, .defaultText = "12.06", .range = kAboveZero,
                                      .problem = "must be greater than 0", .settingsLine = 5};
// One limit for every index or one per index; the window's fields are tfH0 ..
// tfH5, named h1 .. h6, on settings lines 6 .. 11.
// "auto": complete loops, the smallest box that holds every reflection of the
// filters (the window's check box chkComplete).
inline constexpr NamedInput kLoops{.option = "--loops", .keyword = "loops", .field = "tfH", .label = "Loop Limits h",
                                   .type = InputType::List, .defaultText = "2", .range = {.low = 0, .high = 32767},
                                   .problem = "must be a whole number from 0 to 32767", .settingsLine = 6};
inline constexpr NamedInput kCompleteLoops{.option = "--loops", .field = "chkComplete", .label = "Complete",
                                           .type = InputType::Flag};
// The anode list of the window; the problem names every symbol of the anode table.
inline constexpr NamedInput kAnode{.option = "--anode", .keyword = "anode", .field = "cmbAnode", .label = "anode",
                                   .type = InputType::Choice, .defaultText = "Mo", .anyCase = true,
                                   .problem = "is not one of Mo, Cu, Ni, Co, Fe, Cr, Ag, US", .settingsLine = 12};
// The default is the default anode's; the settings file keeps the anode.
inline constexpr NamedInput kWavelength{.option = "--wavelength", .keyword = "wavelength", .field = "tfWL",
                                        .label = "Wavelength", .type = InputType::Number,
                                        .defaultText = "0.7106867", .range = kAboveZero,
                                        .problem = "must be greater than 0", .settingsLine = 12};
inline constexpr NamedInput kTheta{.option = "--theta", .keyword = "theta", .type = InputType::List,
                                   .defaultText = "1.0,30.0", .problem = "must be MIN,MAX"};
// Any minimum up to the maximum is taken, as the classic window took it (a
// negative one reads as 0); a negative maximum would keep nothing without a
// word, as a negative qi-max did.
inline constexpr NamedInput kThetaMin{.option = "--theta", .field = "tfTH1", .label = "Theta Range (minimum)",
                                      .type = InputType::Number, .defaultText = "1.0", .settingsLine = 13};
inline constexpr NamedInput kThetaMax{.option = "--theta", .field = "tfTH2", .label = "Theta Range (maximum)",
                                      .type = InputType::Number, .defaultText = "30.0", .range = {.low = 0.0},
                                      .problem = "must not be negative", .settingsLine = 14};
inline constexpr NamedInput kQiMax{.option = "--qi-max", .keyword = "qi_max", .field = "tfQI", .label = "qi-Max",
                                   .type = InputType::Number, .defaultText = "1.0", .range = {.low = 0.0},
                                   .problem = "must not be negative", .settingsLine = 15};

// ---- The run and its outputs ---------------------------------------------
inline constexpr NamedInput kModel{.option = "--model", .keyword = "model", .type = InputType::Text,
                                   .problem = "is not a model name or file"};
inline constexpr NamedInput kMinIntensity{.option = "--min-intensity", .keyword = "min_intensity", .field = "sbMinI",
                                          .label = "I \u2265", .type = InputType::Number, .defaultText = "0",
                                          .range = {.low = 0, .high = 100},
                                          .problem = "is not a percentage from 0 to 100"};
inline constexpr NamedInput kAlgorithm{.option = "--algorithm", .keyword = "algorithm", .type = InputType::Choice,
                                       .defaultText = "fast", .choices = "fast box", .problem = "is not fast or box"};
inline constexpr NamedInput kColumns{.option = "--columns", .type = InputType::List,
                                     .defaultText = "indices,theta,d,qe-qi,xyz",
                                     .choices = "indices theta d qe-qi xyz intensity",
                                     .problem = "is not one of indices, theta, d, qe-qi, xyz, intensity"};
inline constexpr NamedInput kReportFormat{.option = "--format", .type = InputType::Choice, .defaultText = "hkl",
                                          .choices = "hkl csv json cif", .problem = "is not hkl, csv, json or cif"};
inline constexpr NamedInput kOutput{.option = "-o", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kProgress{.option = "--progress", .type = InputType::Flag};
inline constexpr NamedInput kMaxRecords{.option = "--max-records", .type = InputType::WholeNumber,
                                        .defaultText = "20000000", .range = {.low = 1, .high = 1e15}};
inline constexpr NamedInput kMaxVisited{.option = "--max-visited", .type = InputType::WholeNumber,
                                        .defaultText = "10000000000", .range = {.low = 1, .high = 1e15}};
inline constexpr NamedInput kMaxSeconds{.option = "--max-seconds", .type = InputType::Number, .range = kAboveZero,
                                        .problem = "is not a number of seconds above 0"};
inline constexpr NamedInput kHelpOption{.option = "--help", .type = InputType::Flag};

// ---- Plots (the main window's plot strip) ------------------------------------
inline constexpr NamedInput kView{.option = "--view", .type = InputType::Choice, .defaultText = "2d",
                                  .choices = "2d 3d", .problem = "is not 2d or 3d"};
inline constexpr NamedInput kPlotFormat{.option = "--format", .type = InputType::Choice, .defaultText = "png",
                                        .choices = "png bmp svg pdf wmf", .problem = "is not png, bmp, svg, pdf or wmf"};
// A picture file: its name ends in the extension of one of the formats in
// choices (ReadPictureFileName), so that no file holds a format its name
// does not say.
inline constexpr NamedInput kPlotOutput{.option = "-o", .type = InputType::FileName, .choices = kPlotFormat.choices,
                                        .problem = kNotAFileName};
inline constexpr NamedInput kSize{.option = "--size", .type = InputType::Text, .defaultText = "700x500",
                                  .range = {.low = 16, .high = 10000},
                                  .problem = "is not WIDTHxHEIGHT in whole pixels from 16 to 10000"};
inline constexpr NamedInput kRotate{.option = "--rotate", .type = InputType::Text,
                                    .range = {.low = -36000, .high = 36000},
                                    .problem = "is not AXIS:DEGREES with axis 1, 2 or 3 and at most 36000 degrees"};
inline constexpr NamedInput kRings{.option = "--rings", .type = InputType::Flag};
inline constexpr NamedInput kMainSpots{.option = "--main", .type = InputType::Flag};
inline constexpr NamedInput kDirections{.option = "--directions", .type = InputType::Flag};
inline constexpr NamedInput kUniform{.option = "--uniform", .type = InputType::Flag};
inline constexpr NamedInput kLabels{.option = "--labels", .type = InputType::Flag};
inline constexpr NamedInput kAreaByIntensity{.option = "--area-by-intensity", .type = InputType::Flag};
inline constexpr NamedInput kGrey{.option = "--grey", .type = InputType::Choice, .choices = "theta qi intensity",
                                  .problem = "is not theta, qi or intensity"};
inline constexpr NamedInput kBackground{.option = "--background", .type = InputType::Choice, .defaultText = "black",
                                        .choices = "black white blue", .problem = "is not black, white or blue"};
// The "Spots" slider holds ten times the factor.
inline constexpr NamedInput kSpots{.option = "--spots", .field = "slRFAC", .label = "Spots:",
                                   .type = InputType::Number, .defaultText = "1", .range = {.low = 0, .high = 4},
                                   .problem = "is not a number from 0 to 4"};
inline constexpr NamedInput kLayer{.option = "--layer", .field = "slZERO", .label = "dZ(3D):",
                                   .type = InputType::WholeNumber, .defaultText = "100",
                                   .range = {.low = 1, .high = 100}};
// Marks for reading distances and directions off a picture (none by default).
inline constexpr NamedInput kScaleBar{.option = "--scale-bar", .type = InputType::Flag};
inline constexpr NamedInput kTicks{.option = "--ticks", .type = InputType::Flag};
inline constexpr NamedInput kOrientation{.option = "--orientation", .type = InputType::Flag};
inline constexpr NamedInput kCaption{.option = "--caption", .type = InputType::Flag};

// ---- Tilings -----------------------------------------------------------------
inline constexpr NamedInput kSymmetry{.option = "--symmetry", .keyword = "symmetry", .field = "scrF",
                                      .type = InputType::WholeNumber, .defaultText = "5",
                                      .range = {.low = 5, .high = 20}};
inline constexpr NamedInput kLoopOrder{.option = "--loop-order", .keyword = "loop_order", .field = "scrN",
                                       .type = InputType::WholeNumber, .defaultText = "6",
                                       .range = {.low = 1, .high = 40}};
inline constexpr NamedInput kScale{.option = "--scale", .keyword = "scale", .field = "scrZoom",
                                   .type = InputType::WholeNumber, .defaultText = "8", .range = {.low = 1, .high = 10}};
inline constexpr NamedInput kBrightness{.option = "--brightness", .field = "scrB", .type = InputType::WholeNumber,
                                        .defaultText = "120", .range = {.low = 100, .high = 220}};
inline constexpr NamedInput kShiftMode{.option = "--shift-mode", .keyword = "shift_mode",
                                       .type = InputType::WholeNumber, .defaultText = "0",
                                       .range = {.low = 0, .high = 2}};
// Refused as: "..." has "x", which is not a number from -1 to 1
inline constexpr NamedInput kShifts{.option = "--shifts", .keyword = "shifts", .field = "edShifts", .label = "Shifts",
                                    .type = InputType::List, .range = {.low = -1, .high = 1},
                                    .problem = "is not a number from -1 to 1"};
inline constexpr NamedInput kPreset{.option = "--preset", .keyword = "preset", .type = InputType::Choice,
                                    .choices = "penrose generalised-penrose generalized-penrose ammann-beenker",
                                    .problem = "is not penrose, generalised-penrose or ammann-beenker"};
inline constexpr NamedInput kShiftSum{.option = "--shift-sum", .keyword = "shift_sum", .field = "spnShiftSum", .label = "Shift sum",
                                      .type = InputType::Number,
                                      .defaultText = "0.5",
                                      .range = {.low = -5, .high = 5}, .problem = "is not a number from -5.0 to 5.0"};
inline constexpr NamedInput kKMax{.option = "--k-max", .keyword = "k_max", .type = InputType::Number, .defaultText = "2",
                                  .range = {.low = 0.1, .high = 10}, .problem = "is not a number from 0.1 to 10.0"};
inline constexpr NamedInput kInternalMax{.option = "--internal-max", .keyword = "internal_max", .type = InputType::Number, .defaultText = "1",
                                         .range = {.low = 0.1, .high = 10},
                                         .problem = "is not a number from 0.1 to 10.0"};
inline constexpr NamedInput kGain{.option = "--gain", .type = InputType::Number, .defaultText = "1",
                                  .range = {.low = 0, .high = std::numeric_limits<float>::max(), .lowOpen = true},
                                  .problem = "is not a number greater than 0"};
inline constexpr NamedInput kXyFile{.option = "--xy", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kTilingPng{.option = "--tiling-png", .type = InputType::FileName, .choices = "png",
                                       .problem = kNotAFileName};
inline constexpr NamedInput kVerticesPng{.option = "--vertices-png", .type = InputType::FileName, .choices = "png",
                                         .problem = kNotAFileName};
inline constexpr NamedInput kFtPng{.option = "--ft-png", .type = InputType::FileName, .choices = "png", .problem = kNotAFileName};
inline constexpr NamedInput kTilesCsv{.option = "--tiles-csv", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kVerticesCsv{.option = "--vertices-csv", .type = InputType::FileName,
                                         .problem = kNotAFileName};
inline constexpr NamedInput kSvgFile{.option = "--svg", .type = InputType::FileName, .choices = "svg", .problem = kNotAFileName};
inline constexpr NamedInput kDiffractionPng{.option = "--diffraction-png", .type = InputType::FileName, .choices = "png",
                                            .problem = kNotAFileName};
inline constexpr NamedInput kDiffractionCsv{.option = "--diffraction-csv", .type = InputType::FileName,
                                            .problem = kNotAFileName};
inline constexpr NamedInput kStatsFile{.option = "--stats", .type = InputType::FileName, .problem = kNotAFileName};

// ---- Powder patterns (lumora-cli powder, Python, the powder window) ----------
inline constexpr NamedInput kTolerance{.option = "--tolerance", .keyword = "tolerance", .field = "tfTolerance",
                                       .label = "d tolerance", .type = InputType::Number, .defaultText = "1e-6",
                                       .range = {.low = 0, .high = 0.1, .highOpen = true},
                                       .problem = "is not a relative tolerance from 0 to below 0.1"};
inline constexpr NamedInput kMonochromator{.option = "--monochromator", .keyword = "monochromator",
                                           .field = "tfMono", .label = "Monochromator 2\u03b8",
                                           .type = InputType::Number, .defaultText = "0",
                                           .range = {.low = 0, .high = 180, .highOpen = true},
                                           .problem = "is not an angle from 0 to below 180 degrees"};
// Default: twice the run's theta range, step 0.01.
inline constexpr NamedInput kTwoTheta{.option = "--two-theta", .keyword = "two_theta", .type = InputType::List,
                                      .problem = "must be MIN,MAX,STEP"};
inline constexpr NamedInput kTwoThetaMin{.option = "--two-theta", .field = "tf2ThMin", .label = "2\u03b8 from",
                                         .type = InputType::Number, .defaultText = "2"};
inline constexpr NamedInput kTwoThetaMax{.option = "--two-theta", .field = "tf2ThMax", .label = "2\u03b8 to",
                                         .type = InputType::Number, .defaultText = "60"};
inline constexpr NamedInput kTwoThetaStep{.option = "--two-theta", .field = "tf2ThStep", .label = "Step",
                                          .type = InputType::Number, .defaultText = "0.01"};
inline constexpr NamedInput kCaglioti{.option = "--caglioti", .keyword = "caglioti", .type = InputType::List,
                                      .defaultText = "0,0,0.01", .problem = "must be U,V,W"};
// Each within 100 degrees^2 of 0 (a FWHM of 10 degrees at 2theta = 90): wider
// peaks are no powder pattern.
inline constexpr NamedInput kCagliotiU{.option = "--caglioti", .field = "tfU", .label = "U",
                                       .type = InputType::Number, .defaultText = "0", .range = {.low = -100, .high = 100},
                                       .problem = "is not within 100 degrees^2 of 0"};
inline constexpr NamedInput kCagliotiV{.option = "--caglioti", .field = "tfV", .label = "V",
                                       .type = InputType::Number, .defaultText = "0", .range = {.low = -100, .high = 100},
                                       .problem = "is not within 100 degrees^2 of 0"};
inline constexpr NamedInput kCagliotiW{.option = "--caglioti", .field = "tfW", .label = "W",
                                       .type = InputType::Number, .defaultText = "0.01",
                                       .range = {.low = -100, .high = 100}, .problem = "is not within 100 degrees^2 of 0"};
inline constexpr NamedInput kEta{.option = "--eta", .keyword = "eta", .field = "tfEta", .label = "\u03b7",
                                 .type = InputType::Number, .defaultText = "0.5", .range = {.low = 0, .high = 1},
                                 .problem = "is not a number from 0 to 1"};
inline constexpr NamedInput kCut{.option = "--cut", .keyword = "cut", .field = "tfCut", .label = "Cut",
                                 .type = InputType::Number, .defaultText = "20", .range = {.low = 1, .high = 1000},
                                 .problem = "is not a number of widths from 1 to 1000"};
inline constexpr NamedInput kZero{.option = "--zero", .keyword = "zero", .field = "tfZero", .label = "Zero shift",
                                  .type = InputType::Number, .defaultText = "0",
                                  .range = {.low = -10, .high = 10, .lowOpen = true, .highOpen = true},
                                  .problem = "is not an angle between -10 and 10 degrees"};
inline constexpr NamedInput kDoublet{.option = "--doublet", .keyword = "doublet", .field = "chkDoublet",
                                     .type = InputType::Flag};
inline constexpr NamedInput kRefine{.option = "--refine", .keyword = "refine", .type = InputType::List,
                                    .defaultText = "a,c,zero", .choices = "a c zero",
                                    .problem = "is not a list of a, c and zero, each at most once"};
// Index without a start: a (and c) searched over --a-range (and --c-range).
inline constexpr NamedInput kIndex{.option = "--index", .type = InputType::Flag};
inline constexpr NamedInput kARange{.option = "--a-range", .keyword = "a_range", .type = InputType::List,
                                    .defaultText = "1.5,12", .range = {.low = 0, .high = 1000, .lowOpen = true},
                                    .problem = "must be MIN,MAX in angstrom, 0 < MIN < MAX <= 1000"};
inline constexpr NamedInput kCRange{.option = "--c-range", .keyword = "c_range", .type = InputType::List,
                                    .defaultText = "2,40", .range = {.low = 0, .high = 1000, .lowOpen = true},
                                    .problem = "must be MIN,MAX in angstrom, 0 < MIN < MAX <= 1000"};
// How an anode's peak positions are modelled (a typed wavelength has one).
inline constexpr NamedInput kWavelengthModel{.option = "--wavelength-model", .keyword = "wavelength_model",
                                             .field = "cmbWavelengthModel", .label = "Wavelength model",
                                             .type = InputType::Choice, .defaultText = "doublet",
                                             .choices = "doublet ka1", .anyCase = true,
                                             .problem = "is not doublet or ka1"};
inline constexpr NamedInput kIndexTolerance{.option = "--index-tolerance", .keyword = "index_tolerance",
                                            .field = "tfIndexTol", .label = "Tolerance",
                                            .type = InputType::Number, .defaultText = "0.1",
                                            .range = {.low = 0, .high = 10, .lowOpen = true},
                                            .problem = "is not an angle above 0 and at most 10 degrees"};
inline constexpr NamedInput kPeakThreshold{.option = "--peak-threshold", .keyword = "peak_threshold", .field = "spThreshold", .label = "Threshold",
                                           .type = InputType::Number, .defaultText = "3",
                                           .range = {.low = 0, .high = 1e6, .lowOpen = true},
                                           .problem = "is not a number above 0 (multiples of the noise)"};
// Odd numbers only.
inline constexpr NamedInput kPeakSmoothing{.option = "--peak-smoothing", .keyword = "peak_smoothing", .field = "spSmoothing",
                                           .label = "Smoothing", .type = InputType::WholeNumber, .defaultText = "5",
                                           .range = {.low = 3, .high = 101},
                                           .problem = "is not an odd number of points from 3 to 101"};
inline constexpr NamedInput kLinesFile{.option = "--lines", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kPatternFile{.option = "--pattern", .type = InputType::FileName,
                                         .problem = kNotAFileName};
inline constexpr NamedInput kMeasuredFile{.option = "--measured", .keyword = "measured", .type = InputType::FileName,
                                          .problem = kNotAFileName};
// The range of a measured file that holds several, counted from 1.
inline constexpr NamedInput kMeasuredRange{.option = "--range", .keyword = "range", .field = "cmbRange",
                                           .label = "Range", .type = InputType::WholeNumber, .defaultText = "1",
                                           .range = {.low = 1, .high = 100000},
                                           .problem = "is not a range number from 1 to 100000"};
inline constexpr NamedInput kRefineJson{.option = "--refine-json", .type = InputType::FileName,
                                        .problem = kNotAFileName};
inline constexpr NamedInput kPowderPlot{.option = "--plot", .type = InputType::FileName, .choices = "png svg pdf",
                                        .problem = kNotAFileName};

// ---- Zone-axis patterns (lumora-cli zone, Python, the zone window) ----------
// An axis name of the system (5, 3, 2; 10, 8, 12, 2, 2') or an index vector.
inline constexpr NamedInput kAxis{.option = "--axis", .keyword = "axis", .type = InputType::Text,
                                  .problem = "is not an axis name or index vector"};
inline constexpr NamedInput kTilt{.option = "--tilt", .keyword = "tilt", .type = InputType::List,
                                  .defaultText = "0,0", .range = {.low = -90, .high = 90},
                                  .problem = "must be TX,TY in degrees from -90 to 90"};
inline constexpr NamedInput kTiltX{.option = "--tilt", .field = "zoneTiltX", .label = "Tilt x",
                                   .type = InputType::Number, .defaultText = "0", .range = {.low = -90, .high = 90}};
inline constexpr NamedInput kTiltY{.option = "--tilt", .field = "zoneTiltY", .label = "Tilt y",
                                   .type = InputType::Number, .defaultText = "0", .range = {.low = -90, .high = 90}};
// The window's list shows the words as "Electron", "X-ray", "Neutron".
inline constexpr NamedInput kRadiation{.option = "--radiation", .keyword = "radiation", .field = "zoneRadiation",
                                       .label = "Radiation", .type = InputType::Choice, .defaultText = "electron",
                                       .choices = "electron xray neutron x-ray", .anyCase = true,
                                       .problem = "is not electron, xray or neutron"};
inline constexpr NamedInput kVoltage{.option = "--voltage", .keyword = "voltage", .field = "zoneVoltage",
                                     .label = "Voltage", .type = InputType::Number, .defaultText = "200",
                                     .range = {.low = 0, .high = 10000, .lowOpen = true},
                                     .problem = "is not an accelerating voltage above 0 and at most 10000 kV"};
inline constexpr NamedInput kThickness{.option = "--thickness", .keyword = "thickness", .field = "zoneThickness",
                                       .label = "Thickness", .type = InputType::Number, .defaultText = "50",
                                       .range = {.low = 0, .high = 100000, .lowOpen = true},
                                       .problem = "is not a thickness above 0 and at most 100000 nm"};
inline constexpr NamedInput kPrecession{.option = "--precession", .keyword = "precession", .field = "zonePrecession",
                                        .label = "Precession", .type = InputType::Number, .defaultText = "0",
                                        .range = {.low = 0, .high = 10},
                                        .problem = "is not a precession angle from 0 to 10 degrees"};
inline constexpr NamedInput kGMax{.option = "--g-max", .keyword = "g_max", .field = "zoneGMax", .label = "g max",
                                  .type = InputType::Number, .defaultText = "1.5",
                                  .range = {.low = 0, .high = 20, .lowOpen = true},
                                  .problem = "is not a pattern radius above 0 and at most 20 1/A"};
inline constexpr NamedInput kSMax{.option = "--s-max", .keyword = "s_max", .field = "zoneSMax", .label = "|s| max",
                                  .type = InputType::Number, .defaultText = "0.05",
                                  .range = {.low = 0, .high = 10, .lowOpen = true},
                                  .problem = "is not an excitation error above 0 and at most 10 1/A"};
inline constexpr NamedInput kCameraLength{.option = "--camera-length", .keyword = "camera_length",
                                          .type = InputType::Number, .range = {.low = 0, .high = 1e6, .lowOpen = true},
                                          .problem = "is not a camera length above 0 and at most 1000000 mm"};
inline constexpr NamedInput kSpotSigma{.option = "--spot-sigma", .keyword = "spot_sigma", .type = InputType::Number,
                                       .defaultText = "1.5", .range = {.low = 0.5, .high = 20},
                                       .problem = "is not a spot width from 0.5 to 20 pixels"};
inline constexpr NamedInput kSpotThreshold{.option = "--spot-threshold", .keyword = "spot_threshold",
                                           .type = InputType::Number, .defaultText = "6",
                                           .range = {.low = 0, .high = 1e6, .lowOpen = true},
                                           .problem = "is not a number above 0 (multiples of the noise)"};
inline constexpr NamedInput kFitTolerance{.option = "--fit-tolerance", .keyword = "fit_tolerance",
                                          .type = InputType::Number, .defaultText = "3",
                                          .range = {.low = 0.3, .high = 50},
                                          .problem = "is not a tolerance from 0.3 to 50 pixels"};
inline constexpr NamedInput kCentre{.option = "--centre", .keyword = "centre", .type = InputType::List,
                                    .problem = "must be X,Y in pixels"};
inline constexpr NamedInput kKRange{.option = "--k-range", .keyword = "k_range", .type = InputType::List,
                                    .range = {.low = 0, .lowOpen = true},
                                    .problem = "must be KMIN,KMAX in pixels x A with 0 < KMIN < KMAX"};
inline constexpr NamedInput kMinIndexed{.option = "--min-indexed", .keyword = "min_indexed",
                                        .type = InputType::WholeNumber, .defaultText = "8",
                                        .range = {.low = 3, .high = 100000}};
inline constexpr NamedInput kFitTilt{.option = "--fit-tilt", .keyword = "fit_tilt", .type = InputType::Number,
                                     .range = {.low = 0, .high = 10, .lowOpen = true},
                                     .problem = "is not a largest tilt above 0 and at most 10 degrees"};
inline constexpr NamedInput kZoneCsv{.option = "--csv", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kZoneJson{.option = "--json", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kPngFile{.option = "--png", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kPdfFile{.option = "--pdf", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kLogIntensity{.option = "--log", .type = InputType::Flag};
inline constexpr NamedInput kFitJson{.option = "--fit-json", .type = InputType::FileName, .problem = kNotAFileName};
// ---- Structure refinement (lumora-cli refine, powder --rietveld, Python) -----
// --refine and --scale of the refinements: their Python keywords (refine,
// scale) belong to the powder and tiling inputs, so Python hands them over itself.
inline constexpr NamedInput kReflections{.option = "--reflections", .keyword = "reflections",
                                         .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kStructureRefine{.option = "--refine", .type = InputType::List, .defaultText = "scale",
                                             .problem = "is not a list of parameters"};
inline constexpr NamedInput kStartScale{.option = "--scale", .type = InputType::Number,
                                        .range = {.low = 0, .high = 1e300, .lowOpen = true},
                                        .problem = "is not a scale above 0"};
inline constexpr NamedInput kExtinction{.option = "--extinction", .keyword = "extinction", .type = InputType::Number,
                                        .defaultText = "0", .range = {.low = 0, .high = 1e300},
                                        .problem = "is not an extinction parameter of 0 or above"};
inline constexpr NamedInput kWeight{.option = "--weight", .keyword = "weight", .field = "tfWeight",
                                    .label = "Weight a,b", .type = InputType::List,
                                    .defaultText = "0,0", .range = {.low = 0},
                                    .problem = "must be A,B: two numbers of 0 or above"};
inline constexpr NamedInput kNoMerge{.option = "--no-merge", .keyword = "no_merge", .type = InputType::Flag};
inline constexpr NamedInput kMaxIterations{.option = "--max-iterations", .keyword = "max_iterations",
                                           .field = "spIterations", .label = "Iterations", .type = InputType::WholeNumber, .defaultText = "100",
                                           .range = {.low = 1, .high = 10000}};
inline constexpr NamedInput kSearch{.option = "--search", .keyword = "search", .field = "spSearch",
                                    .label = "Search starts", .type = InputType::WholeNumber,
                                    .defaultText = "6", .range = {.low = 0, .high = 1000}};
inline constexpr NamedInput kMapAt{.option = "--map-at", .keyword = "map_at", .type = InputType::Text,
                                   .problem = "is not a site label"};
inline constexpr NamedInput kMapSource{.option = "--map-source", .keyword = "map_source", .type = InputType::Choice,
                                       .defaultText = "observed", .choices = "observed calculated difference",
                                       .problem = "is not observed, calculated or difference"};
inline constexpr NamedInput kMapSize{.option = "--map-size", .keyword = "map_size", .type = InputType::WholeNumber,
                                     .defaultText = "121", .range = {.low = 16, .high = 1024}};
inline constexpr NamedInput kMapWidth{.option = "--map-width", .keyword = "map_width", .type = InputType::Number,
                                      .range = {.low = 0.001, .high = 1000},
                                      .problem = "is not a half width from 0.001 to 1000 A"};
inline constexpr NamedInput kModelOut{.option = "--model-out", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kCifOut{.option = "--cif", .type = InputType::FileName, .problem = kNotAFileName};
inline constexpr NamedInput kMapPicture{.option = "--map-png", .type = InputType::FileName, .choices = "png svg pdf",
                                        .problem = kNotAFileName};
inline constexpr NamedInput kRietveld{.option = "--rietveld", .type = InputType::Flag};
inline constexpr NamedInput kPatternRefine{.option = "--refine", .type = InputType::List,
                                           .defaultText = "scale,zero,a,c,u,v,w,eta,background",
                                           .problem = "is not a list of parameters"};
inline constexpr NamedInput kBackgroundTerms{.option = "--background", .keyword = "background",
                                             .field = "spBackground", .label = "Background terms",
                                             .type = InputType::WholeNumber, .defaultText = "3",
                                             .range = {.low = 0, .high = 20}};

// Every named input above (a new one belongs here too), for the rules that
// hold for all of them.
inline constexpr const NamedInput* kAll[] = {
    &kSettings,     &kSystem,        &kSpaceGroup,   &kSetting,      &kLatticeA,       &kLatticeC,
    &kLoops,        &kAnode,         &kWavelength,   &kTheta,        &kThetaMin,       &kThetaMax,
    &kQiMax,        &kModel,         &kMinIntensity, &kAlgorithm,    &kColumns,        &kReportFormat,
    &kOutput,       &kPlotOutput,    &kProgress,     &kMaxRecords,   &kMaxVisited,     &kMaxSeconds,
    &kHelpOption,
    &kView,         &kPlotFormat,    &kSize,         &kRotate,       &kRings,          &kMainSpots,
    &kDirections,   &kUniform,       &kLabels,       &kAreaByIntensity, &kGrey,        &kBackground,
    &kSpots,        &kLayer,         &kScaleBar,     &kTicks,        &kOrientation,    &kCaption,
    &kSymmetry,     &kLoopOrder,     &kScale,        &kBrightness,
    &kShiftMode,    &kShifts,        &kPreset,       &kShiftSum,     &kKMax,           &kInternalMax,
    &kGain,         &kXyFile,        &kTilingPng,    &kVerticesPng,  &kFtPng,          &kTilesCsv,
    &kVerticesCsv,  &kSvgFile,       &kDiffractionPng, &kDiffractionCsv, &kStatsFile,  &kTolerance,      &kMonochromator,
    &kTwoTheta,     &kTwoThetaMin,   &kTwoThetaMax,  &kTwoThetaStep, &kCaglioti,       &kCagliotiU,
    &kCagliotiV,    &kCagliotiW,     &kEta,          &kCut,          &kZero,           &kDoublet,
    &kRefine,       &kIndexTolerance, &kPeakThreshold, &kPeakSmoothing, &kLinesFile,   &kPatternFile,
    &kMeasuredFile, &kMeasuredRange, &kRefineJson,    &kPowderPlot,   &kAxis,         &kTilt,           &kTiltX,
    &kTiltY,        &kRadiation,     &kVoltage,      &kThickness,    &kPrecession,     &kGMax,
    &kSMax,         &kCameraLength,  &kSpotSigma,    &kSpotThreshold, &kFitTolerance,  &kCentre,
    &kKRange,       &kMinIndexed,    &kFitTilt,      &kZoneCsv,      &kZoneJson,       &kPngFile,
    &kPdfFile,      &kLogIntensity,  &kFitJson,
    &kReflections,  &kStructureRefine, &kStartScale,   &kExtinction,   &kWeight,         &kNoMerge,
    &kMaxIterations, &kSearch,        &kMapAt,        &kMapSource,    &kMapSize,        &kMapWidth,
    &kModelOut,     &kCifOut,        &kMapPicture,   &kRietveld,     &kPatternRefine,  &kBackgroundTerms,
    &kCompleteLoops, &kIndex,        &kARange,       &kCRange,       &kWavelengthModel};

}  // namespace input
}  // namespace lumora
