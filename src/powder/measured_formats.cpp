#include "powder/measured_formats.hpp"

#include <gemmi/cif.hpp>
#include <locale.h>
#include <xylib/xylib.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>

#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "powder/powder_files.hpp"

namespace lumora {
namespace {

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// xylib reads numbers with the C library, which follows the locale: a window
// whose locale writes decimal commas would misread "1.5". This thread reads in
// the "C" locale while it lives.
class CNumericLocale {
 public:
  CNumericLocale() : c_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {
    if (c_) old_ = uselocale(c_);
  }
  ~CNumericLocale() {
    if (!c_) return;
    uselocale(old_);
    freelocale(c_);
  }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  locale_t c_ = nullptr;
  locale_t old_ = nullptr;
};

std::optional<double> PositiveNumber(std::string_view text) {
  const std::optional<double> v = ParseNumber(std::string(Trim(text)));
  if (!v || !std::isfinite(*v) || *v <= 0.0) return std::nullopt;
  return v;
}

// The first of keys (in any case) that meta holds as a positive number, with its key.
std::optional<std::pair<double, std::string>> Stated(const xylib::MetaData& meta,
                                                     std::initializer_list<const char*> keys) {
  for (const char* key : keys)
    for (std::size_t i = 0; i < meta.size(); ++i) {
      const std::string& name = meta.get_key(i);
      if (Lower(name) != Lower(key)) continue;
      if (const std::optional<double> v = PositiveNumber(meta.get(name))) return std::pair{*v, name};
    }
  return std::nullopt;
}

std::optional<std::pair<double, std::string>> Stated(const xylib::Block& block, const xylib::DataSet& data,
                                                     std::initializer_list<const char*> keys) {
  if (auto v = Stated(block.meta, keys)) return v;
  return Stated(data.meta, keys);
}

// The columns of a range: 2 theta (named so, else the first), the intensity
// (the measured one when named, else the first other) and a pdCIF weight.
struct Columns {
  int x = 0, y = 0, weight = 0;
};
Columns ChooseColumns(const xylib::Block& block) {
  Columns c;
  const int n = block.get_column_count();
  for (int i = 1; i <= n; ++i) {
    const std::string name = Lower(block.get_column(i).get_name());
    if (name.find("2theta") != std::string::npos && !c.x) c.x = i;
    if (name.find("ls_weight") != std::string::npos) c.weight = i;
    if (name.find("meas_intensity") != std::string::npos && !c.y) c.y = i;
  }
  if (!c.x) c.x = 1;
  for (int i = 1; i <= n && !c.y; ++i) {
    const std::string name = Lower(block.get_column(i).get_name());
    if (i != c.x && i != c.weight && name.find("2theta") == std::string::npos) c.y = i;
  }
  return c;
}

// An angle of a step column (start + i step) as a reader wants it: ten digits.
std::string Angle(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string RangeText(const xylib::Block& block, int points) {
  const Columns c = ChooseColumns(block);
  std::string text = block.get_name().empty() ? std::string() : EchoText(block.get_name(), 40) + ": ";
  if (points <= 0 || !c.y) return text + "no points";
  const xylib::Column& x = block.get_column(c.x);
  text += "2theta " + Angle(x.get_value(0)) + " to " + Angle(x.get_value(points - 1));
  if (x.get_step() != 0.0) text += ", step " + Angle(x.get_step());
  return text + ", " + std::to_string(points) + (points == 1 ? " point" : " points");
}

// The range's points, checked as the own reader checks lines: 2 theta above 0
// and below 180 running one way, finite intensities, positive weights.
std::string ReadRange(const xylib::Block& block, MeasuredPattern& p) {
  const Columns c = ChooseColumns(block);
  const int points = block.get_point_count();
  if (!c.y || points <= 0) return "no points (2theta and intensity)";
  int direction = 0;
  for (int i = 0; i < points; ++i) {
    const double x = block.get_column(c.x).get_value(i);
    const double y = block.get_column(c.y).get_value(i);
    const std::string at = "point " + std::to_string(i + 1) + ": ";
    if (!(x > 0.0 && x < 180.0)) return at + "2theta " + Angle(x) + " is not above 0 and below 180 degrees";
    if (!std::isfinite(y)) return at + "the intensity is not a finite number";
    if (!p.twoTheta.empty()) {
      const double last = p.twoTheta.back();
      const int step = x > last ? 1 : x < last ? -1 : 0;
      if (step == 0 || (direction != 0 && step != direction))
        return at + "2theta " + Angle(x) + " does not " + (direction < 0 ? "fall" : "rise") + " from " + Angle(last) +
               " (2theta must run one way)";
      direction = step;
    }
    p.twoTheta.push_back(x);
    p.intensity.push_back(y);
    if (c.weight) {
      const double w = block.get_column(c.weight).get_value(i);
      if (!(w > 0.0) || !std::isfinite(w)) return at + "the weight " + ShortestText(w) + " is not above 0";
      p.sigma.push_back(1.0 / std::sqrt(w));
    }
  }
  if (direction < 0) {
    std::reverse(p.twoTheta.begin(), p.twoTheta.end());
    std::reverse(p.intensity.begin(), p.intensity.end());
    std::reverse(p.sigma.begin(), p.sigma.end());
  }
  return {};
}

// xylib files a malformed file's ranges under one block more than once; the
// data set would then free that block twice. Such a data set is left unfreed
// (a malformed file costs its few bytes), and a leak checker is told so.
bool RepeatsBlocks(const xylib::DataSet& data) {
  std::set<const xylib::Block*> seen;
  for (int b = 0; b < data.get_block_count(); ++b)
    if (!seen.insert(data.get_block(b)).second) return true;
  return false;
}

void KeepUnfreed(std::unique_ptr<xylib::DataSet> data) {
  xylib::DataSet* kept = data.release();
#if defined(__SANITIZE_ADDRESS__)
  __lsan_ignore_object(kept);
#else
  (void)kept;
#endif
}

// A pdCIF's wavelength at full precision (xylib keeps six digits), from the
// CIF block of the range's name or else the first that states it.
std::optional<double> CifWavelength(const std::string& bytes, const std::string& blockName) {
  try {
    const gemmi::cif::Document doc = gemmi::cif::read_string(bytes);
    std::optional<double> first;
    for (const gemmi::cif::Block& block : doc.blocks) {
      const std::string* value = block.find_value("_diffrn_radiation_wavelength");
      if (!value) value = block.find_value("_pd_proc_wavelength");
      const std::optional<double> v = value ? PositiveNumber(*value) : std::nullopt;
      if (v && block.name == blockName) return v;
      if (v && !first) first = v;
    }
    return first;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<double> ElementNumber(std::string_view text, std::string_view tag) {
  const std::size_t open = text.find("<" + std::string(tag));
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t start = text.find('>', open);
  const std::size_t end = start == std::string_view::npos ? start : text.find('<', start);
  if (end == std::string_view::npos) return std::nullopt;
  return PositiveNumber(text.substr(start + 1, end - start - 1));
}

MeasuredFile Failed(const std::string& name, const std::string& problem) {
  MeasuredFile file;
  file.error = EchoText(name, 256) + ", " + problem;
  return file;
}

}  // namespace

StatedWavelengths XrdmlWavelengths(std::string_view text) {
  StatedWavelengths stated;
  const std::size_t open = text.find("<usedWavelength");
  if (open == std::string_view::npos) return stated;
  const std::size_t close = text.find("</usedWavelength>", open);
  const std::string_view part = text.substr(open, close == std::string_view::npos ? close : close - open);
  stated.alpha1 = ElementNumber(part, "kAlpha1");
  stated.alpha2 = ElementNumber(part, "kAlpha2");
  stated.ratio = ElementNumber(part, "ratioKAlpha2KAlpha1");
  return stated;
}

MeasuredFile ParseMeasuredFile(const std::string& bytes, const std::string& name, std::size_t range) {
  auto own = [&]() {
    MeasuredFile file;
    file.format = "text";
    file.ranges = {"one range"};
    if (range > 0) return Failed(name, "range " + std::to_string(range + 1) + " asked for, but the file has one");
    MeasuredRead read = ParseMeasuredPattern(bytes);
    if (!read.error.empty()) return Failed(name, read.error);
    file.pattern = std::move(read.pattern);
    file.ranges = {std::to_string(file.pattern.twoTheta.size()) + " points"};
    return file;
  };
  if (HasExtension(name, ".xy") || HasExtension(name, ".xye") || HasExtension(name, ".csv")) return own();

  // The DIFFRAC.SUITE binary, which xylib 1.6 does not read (it reads RAW,
  // RAW2 and RAW1.01); without this it would be taken for text.
  if (bytes.compare(0, 7, "RAW4.00") == 0)
    return Failed(name, "not read: a Bruker RAW4.00 file, which the xylib of this build does not read "
                        "(save it as RAW1.01, UXD or XY in DIFFRAC)");

  const CNumericLocale cLocale;
  std::unique_ptr<xylib::DataSet> data;
  try {
    std::istringstream stream(bytes);
    const xylib::FormatInfo* format = xylib::guess_filetype(name, stream, nullptr);
    // Columns of plain text: the own reader names the faulty line.
    if (!format || std::string(format->name) == "text" || std::string(format->name) == "csv") return own();
    data.reset(xylib::load_string(bytes, format->name));
  } catch (const std::exception& error) {
    return Failed(name, std::string("not read: ") + EchoText(error.what(), 200));
  }
  if (!data) return Failed(name, "not read");
  if (RepeatsBlocks(*data)) {
    KeepUnfreed(std::move(data));
    return Failed(name, "not read: its ranges could not be told apart");
  }

  MeasuredFile file;
  file.format = data->fi && data->fi->desc ? data->fi->desc : "xylib";
  const int blocks = data->get_block_count();
  for (int b = 0; b < blocks; ++b) file.ranges.push_back(RangeText(*data->get_block(b), data->get_block(b)->get_point_count()));
  if (blocks == 0) return Failed(name, "holds no pattern");
  if (range >= static_cast<std::size_t>(blocks))
    return Failed(name, "range " + std::to_string(range + 1) + " asked for, but the file has " +
                            std::to_string(blocks) + (blocks == 1 ? " range" : " ranges"));
  file.range = range;
  const xylib::Block& block = *data->get_block(static_cast<int>(range));
  const std::string problem = ReadRange(block, file.pattern);
  if (!problem.empty()) {
    MeasuredFile failed = Failed(name, (blocks > 1 ? "range " + std::to_string(range + 1) + ", " : std::string()) + problem);
    failed.ranges = file.ranges;
    return failed;
  }

  // The wavelength the file states.
  const std::string formatName = data->fi ? data->fi->name : "";
  if (formatName == "xrdml") {
    const StatedWavelengths stated = XrdmlWavelengths(bytes);
    if (stated.alpha1) file.wavelengthItem = "kAlpha1";
    file.wavelength = stated.alpha1;
    file.wavelength2 = stated.alpha2;
    file.ratio = stated.ratio;
  } else if (const auto one = Stated(block, *data,
                                     {"USED_LAMBDA", "K_ALPHA1", "ALPHA1", "LAMDA1", "WL1", "diffrn_radiation_wavelength",
                                      "pd_proc_wavelength", "wavelength"})) {
    file.wavelength = one->first;
    file.wavelengthItem = one->second;
    if (const auto two = Stated(block, *data, {"K_ALPHA2", "ALPHA2", "LAMDA2", "WL2"})) file.wavelength2 = two->first;
    if (const auto ratio = Stated(block, *data, {"ALPHA_RATIO", "WLRATIO", "INTENSITY_RATIO"})) file.ratio = ratio->first;
    if (formatName == "pdcif")
      if (const std::optional<double> full = CifWavelength(bytes, block.get_name())) file.wavelength = full;
  }
  return file;
}

MeasuredFile ReadMeasuredFile(const std::string& path, std::size_t range) {
  const ReadOutcome file = ReadSmallRegularFile(path, kMaxMeasuredFileBytes);
  if (file.status != ReadStatus::Ok) {
    MeasuredFile failed;
    failed.error = EchoText(path, 256) + (file.status == ReadStatus::Missing ? ": no such file" : " " + file.problem);
    return failed;
  }
  return ParseMeasuredFile(file.text, path, range);
}

std::string MeasuredFileFilter() {
  std::set<std::string> patterns = {"*.xy", "*.xye", "*.csv", "*.txt", "*.dat"};
  for (int i = 0; const xylibFormat* format = xylib_get_format(i); ++i) {
    std::istringstream extensions(format->exts ? format->exts : "");
    for (std::string ext; extensions >> ext;)
      if (ext.size() > 1 || !std::isdigit(static_cast<unsigned char>(ext[0]))) patterns.insert("*." + ext);
  }
  std::string list;
  for (const std::string& pattern : patterns) list += (list.empty() ? "" : " ") + pattern;
  return "Powder patterns (" + list + ");;All files (*)";
}

}  // namespace lumora
