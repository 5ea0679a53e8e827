// What happens to one index vector of a run: compute, filter, classify, test
// the space group, keep, and update the statistics. Every walk of the index
// space (the box walk and the bounded walk) feeds its vectors through this, so
// they agree on every kept record.
#pragma once

#include <vector>

#include "reflections/calculation.hpp"

namespace lumora {

class ReflectionCollector {
 public:
  // With countOnly the kept reflections are counted, not stored.
  ReflectionCollector(const Lattice& lattice, const SpaceGroup& group, const ReflectionFilter& filter,
                      std::size_t maxRecords, bool countOnly = false);

  // Handles one non-zero index vector. Returns false when keeping it would pass
  // the record budget (the vector is then not kept).
  bool Visit(const IndexVector& h);

  std::vector<ReflectionRecord>& records() { return records_; }
  std::size_t kept() const { return kept_; }
  const RunStatistics& stats() const { return stats_; }

 private:
  const Lattice& lattice_;
  const SpaceGroup& group_;
  ReflectionFilter filter_;
  std::size_t maxRecords_;
  bool countOnly_;
  std::size_t kept_ = 0;
  std::vector<ReflectionRecord> records_;
  RunStatistics stats_;
};

}  // namespace lumora
