// A small driver for A/B comparisons that stay honest on a loaded machine:
// the two sides take turns, repetition after repetition (A B, then B A, so
// neither always runs second), and every repetition gives one ratio of the
// two times. The ratios' median and spread are printed pair by pair, so drift
// in the machine's load shows as spread instead of moving the result.
//
// Google Benchmark measures each side on its own, one after the other; that
// is right for absolute times but lets a change in load between the runs
// enter a ratio. This driver is for the ratios.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace bench {

// The ratios of one pair and what they sum up to.
struct RatioSummary {
  std::vector<double> ratios;
  double median = 0;
  double low = 0;     // smallest ratio
  double high = 0;    // largest ratio
  double q1 = 0;      // quarter of the ratios lie below
  double q3 = 0;      // quarter of the ratios lie above
  double aSeconds = 0;  // median time of one run of A
  double bSeconds = 0;  // median time of one run of B
};

inline double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(at);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  const double part = at - static_cast<double>(below);
  return values[below] * (1 - part) + values[above] * part;
}

inline RatioSummary Summarize(std::vector<double> ratios, const std::vector<double>& a,
                              const std::vector<double>& b) {
  RatioSummary summary;
  summary.median = Quantile(ratios, 0.5);
  summary.q1 = Quantile(ratios, 0.25);
  summary.q3 = Quantile(ratios, 0.75);
  summary.low = ratios.empty() ? 0 : *std::min_element(ratios.begin(), ratios.end());
  summary.high = ratios.empty() ? 0 : *std::max_element(ratios.begin(), ratios.end());
  summary.aSeconds = Quantile(a, 0.5);
  summary.bSeconds = Quantile(b, 0.5);
  summary.ratios = std::move(ratios);
  return summary;
}

struct PairOptions {
  int repetitions = 15;
  double minBatchSeconds = 0.02;  // each side's batch runs at least this long
  // Work that only computes is timed by the CPU time of this thread, which
  // the other processes on a loaded machine do not inflate; work that waits
  // (disk flushes, other processes) by the wall clock.
  bool cpuTime = false;
};

// Seconds of CPU time this thread has used.
inline double ThreadCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Times `a` and `b` taking turns; each ratio is time(numerator) divided by
// time(denominator), where `aIsNumerator` picks the direction. Each call of
// `a` or `b` returns the seconds it counts (for work that needs untimed
// preparation around it).
inline RatioSummary CompareTimedPair(const std::function<double()>& a,
                                     const std::function<double()>& b, bool aIsNumerator,
                                     const PairOptions& options = {}) {
  const auto batchTime = [](const std::function<double()>& run, int batch) {
    double seconds = 0;
    for (int i = 0; i < batch; ++i) seconds += run();
    return seconds / batch;
  };
  // One call of each first: warms the caches and sizes the batches.
  const double aOnce = batchTime(a, 1);
  const double bOnce = batchTime(b, 1);
  const auto batchFor = [&options](double once) {
    if (once <= 0) return 1000;
    return std::clamp(static_cast<int>(options.minBatchSeconds / once) + 1, 1, 100000);
  };
  const int aBatch = batchFor(aOnce);
  const int bBatch = batchFor(bOnce);
  std::vector<double> ratios, aTimes, bTimes;
  for (int rep = 0; rep < options.repetitions; ++rep) {
    double ta = 0, tb = 0;
    if (rep % 2 == 0) {
      ta = batchTime(a, aBatch);
      tb = batchTime(b, bBatch);
    } else {
      tb = batchTime(b, bBatch);
      ta = batchTime(a, aBatch);
    }
    aTimes.push_back(ta);
    bTimes.push_back(tb);
    ratios.push_back(aIsNumerator ? ta / tb : tb / ta);
  }
  return Summarize(std::move(ratios), aTimes, bTimes);
}

// The same for work that is timed whole.
inline RatioSummary ComparePair(const std::function<void()>& a, const std::function<void()>& b,
                                bool aIsNumerator, const PairOptions& options = {}) {
  const auto timed = [&options](const std::function<void()>& run) {
    return [&run, &options] {
      if (options.cpuTime) {
        const double start = ThreadCpuSeconds();
        run();
        return ThreadCpuSeconds() - start;
      }
      const auto start = std::chrono::steady_clock::now();
      run();
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
  };
  return CompareTimedPair(timed(a), timed(b), aIsNumerator, options);
}

// A target a ratio must meet: at most `limit` (or at least, with `atLeast`).
struct Target {
  double limit = 0;
  bool atLeast = false;
  bool Met(double ratio) const { return atLeast ? ratio >= limit : ratio <= limit; }
};

// Prints the header of a table of ratios.
inline void PrintRatioHeader(const char* title, const char* direction) {
  std::printf("\n%s\n  ratio = %s; median of the pairs, middle half [q1 q3], all (min max)\n", title,
              direction);
  std::printf("  %-46s %8s %17s %17s %11s %11s  %s\n", "pair", "median", "[q1 q3]", "(min max)",
              "A median", "B median", "target");
}

inline std::string FormatSeconds(double seconds) {
  char text[32];
  if (seconds >= 1) {
    std::snprintf(text, sizeof text, "%.2f s", seconds);
  } else if (seconds >= 1e-3) {
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  }
  return text;
}

// Prints one pair's line; returns whether its target, if any, is met.
inline bool PrintRatio(const std::string& label, const RatioSummary& s,
                       std::optional<Target> target = std::nullopt, bool printEach = true) {
  char spread[48], range[48], goal[48] = "";
  std::snprintf(spread, sizeof spread, "[%.2f %.2f]", s.q1, s.q3);
  std::snprintf(range, sizeof range, "(%.2f %.2f)", s.low, s.high);
  if (target) {
    std::snprintf(goal, sizeof goal, "%s %.2f: %s", target->atLeast ? ">=" : "<=", target->limit,
                  target->Met(s.median) ? "met" : "MISSED");
  }
  std::printf("  %-46s %8.2f %17s %17s %11s %11s  %s\n", label.c_str(), s.median, spread, range,
              FormatSeconds(s.aSeconds).c_str(), FormatSeconds(s.bSeconds).c_str(), goal);
  if (printEach) {
    std::printf("    each pair:");
    for (double r : s.ratios) std::printf(" %.2f", r);
    std::printf("\n");
  }
  return !target || target->Met(s.median);
}

// The command line every benchmark program takes: --pairs-only,
// --absolute-only, --repetitions N; the rest is left for Google Benchmark
// (the program's name first).
struct RunOptions {
  bool pairs = true;
  bool absolute = true;
  int repetitions = 15;
  std::vector<char*> rest;
  int RestCount() const { return static_cast<int>(rest.size()); }
};

inline RunOptions ParseRunOptions(int argc, char** argv, int repetitions) {
  RunOptions options;
  options.repetitions = repetitions;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pairs-only") {
      options.absolute = false;
    } else if (arg == "--absolute-only") {
      options.pairs = false;
    } else if (arg == "--repetitions" && i + 1 < argc) {
      options.repetitions = std::max(1, std::atoi(argv[++i]));
    } else {
      options.rest.push_back(argv[i]);
    }
  }
  return options;
}

}  // namespace bench
