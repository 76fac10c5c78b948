// Throughput of one upload-sized POST over loopback: Glimor's client against curl's HTTP/1.0
// upload of the same bytes to the same sink, in the same run, and Glimor's client over https
// (a throwaway test CA). Bytes/s is the figure to compare; the run ends with the rate of https
// over plain http for each body size.
#include "http/http_client.h"
#include "loopback_sink.h"
#include "net/service_clients.h"
#include "platform/tls.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include <unistd.h>

namespace {

LoopbackSink& sink() {
  static LoopbackSink instance;
  return instance;
}

// A TLS sink with a certificate from the test CA, made once per run.
struct TlsSink {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "glimor-bench-ca";
  SSL_CTX* context = nullptr;
  std::unique_ptr<LoopbackSink> sink;

  TlsSink() {
    std::string make =
        "bash '" GLIMOR_SOURCE_DIR "/tests/support/make_test_ca.sh' '" + folder.string() + "' >/dev/null";
    if (std::system(make.c_str()) != 0) std::abort();
    context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    if (SSL_CTX_use_certificate_chain_file(context, (folder / "server.pem").c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, (folder / "server.key").c_str(), SSL_FILETYPE_PEM) != 1)
      std::abort();
    sink = std::make_unique<LoopbackSink>(context);
  }
};

TlsSink& tlsSink() {
  static TlsSink instance;
  return instance;
}

glimor::http::Bytes bodyOf(std::size_t size) {
  glimor::http::Bytes body(size);
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
  return body;
}

void BM_GlimorPost(benchmark::State& state) {
  const glimor::http::Bytes body = bodyOf(static_cast<std::size_t>(state.range(0)));
  glimor::http::HttpClient client(glimor::net::uploadClientConfig(), glimor::platform::systemNetwork());
  const std::string url = sink().url("/guestglimor.php");
  for (auto _ : state) {
    glimor::http::Bytes answer;
    client.Post(url, body, answer);
    benchmark::DoNotOptimize(answer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_GlimorPostHttps(benchmark::State& state) {
  const glimor::http::Bytes body = bodyOf(static_cast<std::size_t>(state.range(0)));
  TlsSink& tls = tlsSink();
  glimor::http::HttpClient client(glimor::net::uploadClientConfig(), glimor::platform::systemNetwork(), {},
                                  {&glimor::platform::systemTls(), (tls.folder / "ca.pem").string()});
  const std::string url = tls.sink->url("/guestglimor.php");
  for (auto _ : state) {
    glimor::http::Bytes answer;
    client.Post(url, body, answer);
    benchmark::DoNotOptimize(answer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_CurlHttp10Upload(benchmark::State& state) {
  const auto file =
      std::filesystem::temp_directory_path() / ("glimor-bench-" + std::to_string(state.range(0)));
  {
    const glimor::http::Bytes body = bodyOf(static_cast<std::size_t>(state.range(0)));
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
  }
  const std::string command =
      "curl -s -o /dev/null --http1.0 -T '" + file.string() + "' '" + sink().url("/guestglimor.php") + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("curl failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  std::filesystem::remove(file);
}

constexpr std::int64_t MB = 1000 * 1000;
BENCHMARK(BM_GlimorPost)->Arg(5 * MB)->Arg(50 * MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GlimorPostHttps)->Arg(5 * MB)->Arg(50 * MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlHttp10Upload)->Arg(5 * MB)->Arg(50 * MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console report, and then how https compares with plain http at each body size.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_None) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median"))
        continue;
      const std::string name = run.run_name.function_name;
      if (name != "BM_GlimorPost" && name != "BM_GlimorPostHttps") continue;
      auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) rates_[run.run_name.args][name] = rate->second;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (auto& [size, rates] : rates_)
      if (rates.count("BM_GlimorPost") && rates.count("BM_GlimorPostHttps"))
        std::printf("https / http at %s bytes: %.2f\n", size.c_str(),
                    rates["BM_GlimorPostHttps"] / rates["BM_GlimorPost"]);
  }

private:
  std::map<std::string, std::map<std::string, double>> rates_;
};

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
