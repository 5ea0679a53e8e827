#include "cli/command_inputs.hpp"

#include <algorithm>

#include "common/text.hpp"
#include "inputs/model_option.hpp"
#include "inputs/parameter_options.hpp"
#include "inputs/parameters.hpp"
#include "inputs/radiation_option.hpp"
#include "intensity/model_file.hpp"
#include "powder/powder_options.hpp"
#include "reflections/space_groups.hpp"
#include "refine/structure_options.hpp"
#include "tiling/tiling_options.hpp"
#include "zone/zone_options.hpp"

namespace lumora::cli {
namespace {

NamedInputs Join(std::initializer_list<const NamedInputs*> lists, std::initializer_list<const NamedInput*> more) {
  NamedInputs all;
  for (const NamedInputs* list : lists) all.insert(all.end(), list->begin(), list->end());
  all.insert(all.end(), more);
  return all;
}

}  // namespace

const NamedInputs& CommandInputs(std::string_view command) {
  using namespace input;
  static const NamedInputs reflections =
      Join({&ParameterOptions::Inputs(), &ModelOptions::Inputs(), &RadiationOptions::Inputs()},
           {&kColumns, &kReportFormat, &kOutput, &kMaxRecords, &kMaxVisited, &kMaxSeconds, &kAlgorithm, &kProgress,
            &kHelpOption});
  static const NamedInputs matrices = {&kSystem, &kSetting, &kLatticeA, &kLatticeC, &kSettings, &kOutput, &kHelpOption};
  static const NamedInputs tiling =
      Join({&TilingOptions::Inputs()}, {&kXyFile, &kTilingPng, &kVerticesPng, &kFtPng, &kGain, &kTilesCsv,
                                        &kVerticesCsv, &kSvgFile, &kDiffractionPng, &kDiffractionCsv, &kStatsFile,
                                        &kHelpOption});
  static const NamedInputs plot =
      Join({&ParameterOptions::Inputs(), &ModelOptions::Inputs()},
           {&kView, &kPlotFormat, &kSize, &kRotate, &kGrey, &kBackground, &kSpots, &kLayer, &kPlotOutput, &kAlgorithm,
            &kRings, &kMainSpots, &kDirections, &kUniform, &kLabels, &kAreaByIntensity, &kScaleBar, &kTicks,
            &kOrientation, &kCaption, &kHelpOption});
  static const NamedInputs powder =
      Join({&ParameterOptions::Inputs(), &PowderOptions::Inputs(), &RadiationOptions::Inputs()},
           {&kModel, &kLinesFile, &kPatternFile, &kMeasuredFile, &kMeasuredRange, &kRefineJson, &kPowderPlot, &kOutput,
            &kHelpOption, &kRietveld, &kModelOut, &kBackgroundTerms, &kSearch, &kMaxIterations});
  static const NamedInputs zone =
      Join({&ZoneOptions::Inputs()}, {&kModel, &kZoneCsv, &kZoneJson, &kPngFile, &kSvgFile, &kPdfFile, &kLogIntensity,
                                      &kLabels, &kMeasuredFile, &kFitJson, &kOutput, &kHelpOption});
  static const NamedInputs refine =
      Join({&ParameterOptions::Inputs(), &StructureOptions::Inputs(), &RadiationOptions::Inputs()},
           {&kOutput, &kModelOut, &kRefineJson, &kCifOut, &kPowderPlot, &kMapPicture, &kProgress, &kHelpOption});
  if (command == "reflections") return reflections;
  if (command == "matrices") return matrices;
  if (command == "tiling") return tiling;
  if (command == "plot") return plot;
  if (command == "powder") return powder;
  if (command == "zone") return zone;
  if (command == "refine") return refine;
  throw UsageError("unknown command \"" + EchoText(command) +
                   "\" (reflections, matrices, tiling, plot, powder, zone or refine)");
}

std::vector<std::string> CompletionWords(const std::vector<std::string>& args) {
  std::vector<std::string> words;
  if (args.empty()) {
    words.assign(std::begin(kCommands), std::end(kCommands));
    words.insert(words.end(), {"--help", "--version"});
    return words;
  }
  const NamedInputs& inputs = CommandInputs(args[0]);
  if (args.size() == 1) {
    for (const NamedInput* in : inputs)
      if (std::find(words.begin(), words.end(), in->option) == words.end()) words.emplace_back(in->option);
    return words;
  }
  const auto found = std::find_if(inputs.begin(), inputs.end(), [&](const NamedInput* in) { return in->option == args[1]; });
  if (found == inputs.end()) throw UsageError("unknown option " + EchoText(args[1]));
  const NamedInput& in = **found;
  if (in.type == InputType::Flag) return words;
  words.emplace_back("@value");
  // A picture file's choices are its formats, not words to type.
  if (in.type != InputType::FileName) {
    for (const std::string& word : SplitWords(in.choices)) words.push_back(word);
  }
  if (in.option == input::kAnode.option)
    for (int i = 0; i < kAnodeCount; ++i) words.emplace_back(AnodeSymbol(i));
  if (in.option == input::kSpaceGroup.option)
    for (CrystalSystem system : {CrystalSystem::Octagonal, CrystalSystem::Decagonal, CrystalSystem::Dodecagonal,
                                 CrystalSystem::Icosahedral})
      for (const SpaceGroup& group : GroupsOf(system)) words.emplace_back(group.symbol);
  if (in.option == input::kModel.option) {
    for (const std::string& name : BuiltinModelNames()) words.push_back(name);
    words.emplace_back("@file");
  }
  if (in.type == InputType::FileName) words.emplace_back("@file");
  return words;
}

}  // namespace lumora::cli
