// Small helpers of the benchmark: percentiles of a sample and the PASS/FAIL word.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace bench {

// The P-th percentile (0..100) of SAMPLES by nearest rank; 0 for an empty sample.
// Sorts SAMPLES.
inline double Percentile(std::vector<double>& samples, double p) {
  if (samples.empty()) return 0.0;
  std::sort(samples.begin(), samples.end());
  double rank = p / 100.0 * (double)samples.size();
  size_t index = rank <= 1.0 ? 0 : (size_t)(rank + 0.999999) - 1;
  if (index >= samples.size()) index = samples.size() - 1;
  return samples[index];
}

inline double Mean(const std::vector<double>& samples) {
  if (samples.empty()) return 0.0;
  double sum = 0.0;
  for (double v : samples) sum += v;
  return sum / (double)samples.size();
}

inline const char* Verdict(bool met) { return met ? "PASS" : "FAIL"; }

}  // namespace bench
