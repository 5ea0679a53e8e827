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
#include "powder/bruker_raw4.hpp"
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

// "name: 2theta 10 to 60, step 0.02, 2501 points".
std::string RangeText(const std::string& name, double first, double last, double step, std::size_t points) {
  std::string text = name.empty() ? std::string() : EchoText(name, 40) + ": ";
  if (points == 0) return text + "no points";
  text += "2theta " + Angle(first) + " to " + Angle(last);
  if (step != 0.0) text += ", step " + Angle(step);
  return text + ", " + std::to_string(points) + (points == 1 ? " point" : " points");
}

std::string RangeText(const xylib::Block& block, int points) {
  const Columns c = ChooseColumns(block);
  if (points <= 0 || !c.y) return RangeText(block.get_name(), 0.0, 0.0, 0.0, 0);
  const xylib::Column& x = block.get_column(c.x);
  return RangeText(block.get_name(), x.get_value(0), x.get_value(points - 1), x.get_step(),
                   static_cast<std::size_t>(points));
}

// Checks the points as the own reader checks lines (2 theta above 0 and below
// 180 running one way, finite intensities, positive weights) and keeps them
// in p, ascending. weight(i) is only asked for when hasWeights.
template <typename X, typename Y, typename W>
std::string TakePoints(std::size_t points, X x, Y y, bool hasWeights, W weight, MeasuredPattern& p) {
  int direction = 0;
  for (std::size_t i = 0; i < points; ++i) {
    const double xi = x(i);
    const double yi = y(i);
    const std::string at = "point " + std::to_string(i + 1) + ": ";
    if (!(xi > 0.0 && xi < 180.0)) return at + "2theta " + Angle(xi) + " is not above 0 and below 180 degrees";
    if (!std::isfinite(yi)) return at + "the intensity is not a finite number";
    if (!p.twoTheta.empty()) {
      const double last = p.twoTheta.back();
      const int step = xi > last ? 1 : xi < last ? -1 : 0;
      if (step == 0 || (direction != 0 && step != direction))
        return at + "2theta " + Angle(xi) + " does not " + (direction < 0 ? "fall" : "rise") + " from " + Angle(last) +
               " (2theta must run one way)";
      direction = step;
    }
    p.twoTheta.push_back(xi);
    p.intensity.push_back(yi);
    if (hasWeights) {
      const double w = weight(i);
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

std::string ReadRange(const xylib::Block& block, MeasuredPattern& p) {
  const Columns c = ChooseColumns(block);
  const int points = block.get_point_count();
  if (!c.y || points <= 0) return "no points (2theta and intensity)";
  auto value = [&](int column) { return [&block, column](std::size_t i) { return block.get_column(column).get_value(static_cast<int>(i)); }; };
  return TakePoints(static_cast<std::size_t>(points), value(c.x), value(c.y), c.weight != 0, value(c.weight), p);
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

MeasuredFile NoSuchRange(const std::string& name, std::size_t range, const std::vector<std::string>& ranges) {
  MeasuredFile failed = Failed(name, "range " + std::to_string(range + 1) + " asked for, but the file has " +
                                         std::to_string(ranges.size()) + (ranges.size() == 1 ? " range" : " ranges"));
  failed.ranges = ranges;
  return failed;
}

// A Bruker RAW4.00 file through the own reader (bruker_raw4.hpp): the points
// checked as xylib's are, the hardware's K-alpha wavelengths when stated,
// else the range's wavelength used.
MeasuredFile ParseBrukerRaw4(const std::string& bytes, const std::string& name, std::size_t range) {
  const BrukerRaw4File raw = ReadBrukerRaw4(bytes);
  if (!raw.error.empty()) return Failed(name, "Bruker RAW4.00 " + raw.error);
  MeasuredFile file;
  file.format = "Bruker RAW4.00";
  for (const BrukerRaw4Range& r : raw.ranges) {
    const std::size_t n = r.counts.size();
    const double last = r.start + static_cast<double>(n == 0 ? 0 : n - 1) * r.step;
    file.ranges.push_back(IsTwoThetaScan(r) ? RangeText(r.scanType, r.start, last, r.step, n)
                                            : EchoText(r.scanType.empty() ? "untyped scan" : r.scanType, 40) +
                                                  ": not a 2theta scan, " + std::to_string(n) + " points");
  }
  if (range >= raw.ranges.size()) return NoSuchRange(name, range, file.ranges);
  file.range = range;
  const BrukerRaw4Range& r = raw.ranges[range];
  const std::string at = raw.ranges.size() > 1 ? "range " + std::to_string(range + 1) + ", " : std::string();
  std::string problem;
  if (!IsTwoThetaScan(r))
    problem = "a " + (r.scanType.empty() ? std::string("scan of no stated type") : "\"" + EchoText(r.scanType, 40) + "\" scan") +
              ", not a 2theta scan";
  else if (r.counts.empty())
    problem = "no points (2theta and intensity)";
  else
    problem = TakePoints(
        r.counts.size(), [&r](std::size_t i) { return r.start + static_cast<double>(i) * r.step; },
        [&r](std::size_t i) { return static_cast<double>(r.counts[i]); }, false, [](std::size_t) { return 0.0; },
        file.pattern);
  if (!problem.empty()) {
    MeasuredFile failed = Failed(name, at + problem);
    failed.ranges = file.ranges;
    return failed;
  }
  if (raw.alpha1) {
    file.wavelength = raw.alpha1;
    file.wavelengthItem = "ALPHA1";
    file.wavelength2 = raw.alpha2;
    file.ratio = raw.alpha2 ? raw.ratio : std::nullopt;
  } else if (r.usedWavelength) {
    file.wavelength = r.usedWavelength;
    file.wavelengthItem = "USED_LAMBDA";
  }
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

  // The DIFFRAC.SUITE binary, which xylib 1.6 does not read; without this it
  // would be taken for text.
  if (IsBrukerRaw4(bytes)) return ParseBrukerRaw4(bytes, name, range);

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
  if (range >= static_cast<std::size_t>(blocks)) return NoSuchRange(name, range, file.ranges);
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
