#include "metrics.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace glimor::server {
namespace {

const std::vector<double> secondsBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                            0.1,    0.25,  0.5,    1,     2.5,  5,     10};

// Label values and help texts escaped as the format asks: backslash, newline,
// and in label values the double quote.
std::string escaped(std::string_view text, bool quote) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '"' && quote)
      out += "\\\"";
    else
      out += c;
  }
  return out;
}

std::string labelText(const MetricLabels& labels) {
  std::string text;
  for (const auto& [name, value] : labels)
    text += (text.empty() ? "" : ",") + std::string(name) + "=\"" + escaped(value, true) + "\"";
  return text;
}

std::string number(double value) {
  // Counts and byte totals as integers, other values in their shortest form ("0.0005").
  if (value == std::floor(value) && std::fabs(value) < 1e15)
    return std::to_string(static_cast<long long>(value));
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
  return error == std::errc() ? std::string(buffer, end) : "NaN";
}

std::string sample(const std::string& name, const std::string& labels, const std::string& value) {
  return name + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
}

} // namespace

Metrics::Metrics()
    : responses(*this, family("glimor_responses_total", Kind::counter, "Answers sent, by route and status.")),
      refusals(*this, family("glimor_refusals_total", Kind::counter,
                             "Requests refused (status 400 and up), by status and reason.")),
      requestDuration(*this, family("glimor_request_duration_seconds", Kind::histogram,
                                    "Time from a request's first byte to the end of its answer, by route.",
                                    secondsBuckets)),
      sentBytes(*this, family("glimor_sent_bytes_total", Kind::counter, "Body bytes of answers sent.")),
      uploads(*this, family("glimor_uploads_total", Kind::counter, "Images stored.")),
      uploadBytes(*this, family("glimor_upload_bytes_total", Kind::counter, "Bytes of the images stored.")),
      connectionsAccepted(
          *this, family("glimor_connections_accepted_total", Kind::counter, "Client connections accepted.")),
      connectionsRefused(*this, family("glimor_connections_refused_total", Kind::counter,
                                       "Client connections closed unread: the cap, or their address's share, "
                                       "was reached.")),
      openConnections(*this,
                      family("glimor_open_connections", Kind::gauge, "Client connections open, by state.")),
      storeDuration(*this, family("glimor_store_duration_seconds", Kind::histogram,
                                  "Time the image store took, by operation.", secondsBuckets)),
      cacheLookups(*this, family("glimor_cache_lookups_total", Kind::counter,
                                 "Image lookups in the memory and disk caches, by cache and result.")),
      diskCacheBytes(*this, family("glimor_disk_cache_bytes", Kind::gauge,
                                   "Bytes of the image copies in --cache-dir.")) {}

Metrics::Family& Metrics::family(const char* name, Kind kind, const char* help, std::vector<double> bounds) {
  return families_.emplace(name, Family{kind, help, std::move(bounds), {}}).first->second;
}

Metrics::Series& Metrics::seriesOf(Family& family, const MetricLabels& labels) {
  std::string key = labelText(labels);
  auto series = family.series.find(key);
  if (series == family.series.end()) {
    if (family.series.size() >= maxSeries) {
      MetricLabels other;
      for (const auto& label : labels) other.emplace_back(label.first, "other");
      key = labelText(other);
    }
    series = family.series.try_emplace(key).first;
    if (family.kind == Kind::histogram) series->second.buckets.resize(family.bounds.size() + 1);
  }
  return series->second;
}

void Metrics::Counter::add(const MetricLabels& labels, double amount) const {
  std::lock_guard lock(owner_->mutex_);
  owner_->seriesOf(*family_, labels).value += amount;
}

void Metrics::Gauge::set(const MetricLabels& labels, double value) const {
  std::lock_guard lock(owner_->mutex_);
  owner_->seriesOf(*family_, labels).value = value;
}

void Metrics::Histogram::observe(const MetricLabels& labels, double value) const {
  std::lock_guard lock(owner_->mutex_);
  Series& series = owner_->seriesOf(*family_, labels);
  const auto& bounds = family_->bounds;
  std::size_t bucket = 0;
  while (bucket < bounds.size() && value > bounds[bucket]) ++bucket;
  ++series.buckets[bucket];
  ++series.count;
  series.value += value;
}

std::string Metrics::render() {
  std::lock_guard lock(mutex_);
  std::string text;
  for (const auto& [name, family] : families_) {
    static constexpr const char* kinds[] = {"counter", "gauge", "histogram"};
    text += "# HELP " + name + " " + escaped(family.help, false) + "\n";
    text += "# TYPE " + name + " " + kinds[static_cast<int>(family.kind)] + "\n";
    for (const auto& [labels, series] : family.series) {
      if (family.kind != Kind::histogram) {
        text += sample(name, labels, number(series.value));
        continue;
      }
      std::string prefix = labels.empty() ? "" : labels + ",";
      std::uint64_t below = 0;
      for (std::size_t i = 0; i <= family.bounds.size(); ++i) {
        below += series.buckets[i];
        std::string bound = i < family.bounds.size() ? number(family.bounds[i]) : "+Inf";
        text += sample(name + "_bucket", prefix + "le=\"" + bound + "\"", std::to_string(below));
      }
      text += sample(name + "_sum", labels, number(series.value));
      text += sample(name + "_count", labels, std::to_string(series.count));
    }
  }
  return text;
}

Metrics& metrics() {
  static Metrics process;
  return process;
}

std::string withoutNumbers(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      out += text[i];
      continue;
    }
    while (i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) ++i;
    out += 'N';
  }
  return out;
}

} // namespace glimor::server
