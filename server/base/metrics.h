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
// Prometheus text format for the metrics listener. The families are fixed: each
// is a member below, registered once under its documented name, so a misspelt
// family does not compile. Each family keeps at most `maxSeries` label sets, so a
// label taken from a request cannot grow it without bound: beyond that the
// values are counted under the label set of `other`. Thread-safe.
class Metrics {
  struct Family;

public:
  static constexpr std::size_t maxSeries = 256;

  class Counter {
  public:
    void add(const MetricLabels& labels = {}, double amount = 1) const;

  private:
    friend Metrics;
    Counter(Metrics& owner, Family& family) : owner_(&owner), family_(&family) {}
    Metrics* owner_;
    Family* family_;
  };
  class Gauge {
  public:
    void set(const MetricLabels& labels, double value) const;

  private:
    friend Metrics;
    Gauge(Metrics& owner, Family& family) : owner_(&owner), family_(&family) {}
    Metrics* owner_;
    Family* family_;
  };
  class Histogram {
  public:
    void observe(const MetricLabels& labels, double value) const;

  private:
    friend Metrics;
    Histogram(Metrics& owner, Family& family) : owner_(&owner), family_(&family) {}
    Metrics* owner_;
    Family* family_;
  };

  Metrics();
  Metrics(const Metrics&) = delete;
  Metrics& operator=(const Metrics&) = delete;

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

  Family& family(const char* name, Kind kind, const char* help, std::vector<double> bounds = {});
  Series& seriesOf(Family& family, const MetricLabels& labels);

  std::mutex mutex_;
  std::map<std::string, Family, std::less<>> families_;

public:
  const Counter responses;
  const Counter refusals;
  const Histogram requestDuration;
  const Counter sentBytes;
  const Counter uploads;
  const Counter uploadBytes;
  const Counter connectionsAccepted;
  const Counter connectionsRefused;
  const Gauge openConnections;
  const Histogram storeDuration;
  const Counter cacheLookups;
  const Gauge diskCacheBytes;
};

// The process's metrics, which every part of the service records into.
Metrics& metrics();

// A label value that stays one series whatever varies in it: runs of digits
// become "N" ("try again in 12 s" is "try again in N s").
std::string withoutNumbers(std::string_view text);

} // namespace glimor::server
