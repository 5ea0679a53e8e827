// A calculation run with a structure model, for the intensity tests.
#pragma once

#include <gtest/gtest.h>

#include <variant>

#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "reflections/calculation.hpp"

namespace lumora::testing {

struct ModelRun {
  CalculationResult run;
  ResolvedModel model;
  IntensityResult intensities;
};

inline CalculationInputs ModelInputs(CrystalSystem system, const char* group, double a, bool yamamoto, int loops,
                                     double wavelength, double thetaHigh, double qiLimit) {
  CalculationInputs in;
  in.system = system;
  in.groupIndex = FindGroup(group)->listIndex;
  in.yamamoto = yamamoto;
  in.a = a;
  in.c = 5.0;
  in.wavelength = wavelength;
  in.thetaLow = 0.5;
  in.thetaHigh = thetaHigh;
  in.qiLimit = qiLimit;
  in.loopLimits.fill(loops);
  return in;
}

inline ModelRun RunModel(const StructureModel& model, const CalculationInputs& inputs) {
  ModelRun r;
  r.run = RunCalculation(inputs);
  EXPECT_EQ(r.run.status, RunStatus::Completed) << r.run.error;
  auto resolved = ResolveModel(model, r.run.lattice);
  if (const std::string* error = std::get_if<std::string>(&resolved)) {
    ADD_FAILURE() << *error;
    return r;
  }
  r.model = std::get<ResolvedModel>(resolved);
  EXPECT_EQ(ComputeIntensities(r.model, r.run.lattice, r.run.records, inputs.wavelength, r.intensities),
            IntensityStatus::Completed);
  return r;
}

}  // namespace lumora::testing
