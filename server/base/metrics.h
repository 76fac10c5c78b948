#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimor::server {

using MetricLabels = std::vector<std::pair<std::string_view, std::string_view>>;

// Counters, gauges and histograms of the whole process, rendered in the
// Prometheus text format for the metrics listener. The families are fixed
// (metrics.cpp names them); a name that is not among them is a programming
// error and is ignored. Each family keeps at most `maxSeries` label sets, so a
// label taken from a request cannot grow it without bound: beyond that the
// values are counted under the label set of `other`. Thread-safe.
class Metrics {
public:
  static constexpr std::size_t maxSeries = 256;

  Metrics();

  void add(std::string_view counter, const MetricLabels& labels = {}, double amount = 1);
  void set(std::string_view gauge, const MetricLabels& labels, double value);
  void observe(std::string_view histogram, const MetricLabels& labels, double value);

  std::string render();

private:
  enum class Kind { counter, gauge, histogram };
  struct Series {
    double value = 0; // counter, gauge; a histogram's sum
    std::uint64_t count = 0;
    std::vector<std::uint64_t> buckets; // not cumulative; the last is +Inf
  };
  struct Family {
    Kind kind;
    std::string help;
    std::vector<double> bounds;           // a histogram's upper bounds, rising
    std::map<std::string, Series> series; // by rendered labels
  };

  Series* seriesOf(std::string_view name, Kind kind, const MetricLabels& labels);

  std::mutex mutex_;
  std::map<std::string, Family, std::less<>> families_;
};

// The process's metrics, which every part of the service records into.
Metrics& metrics();

// A label value that stays one series whatever varies in it: runs of digits
// become "N" ("try again in 12 s" is "try again in N s").
std::string withoutNumbers(std::string_view text);

} // namespace glimor::server
