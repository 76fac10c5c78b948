#include "config.h"

#include "platform/error.h"
#include "public_link.h"

#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <charconv>

namespace glimor::server {
namespace {

template <typename Number>
Number parseNumber(std::string_view flag, std::string_view text, Number low, Number high) {
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw Error(std::string(flag) + ": \"" + std::string(text) + "\" is not a number from " +
                std::to_string(low) + " to " + std::to_string(high));
  return value;
}

Config::Endpoint parseEndpoint(std::string_view flag, std::string_view text) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0)
    throw Error(std::string(flag) + ": \"" + std::string(text) + "\" is not ADDRESS:PORT");
  std::string_view address = text.substr(0, colon);
  if (address.starts_with('[') && address.ends_with(']')) address = address.substr(1, address.size() - 2);
  return {std::string(address), parseNumber<std::uint16_t>(flag, text.substr(colon + 1), 0, 65535)};
}

void parseListen(Config& config, std::string_view text) {
  auto endpoint = parseEndpoint("--listen", text);
  config.listenAddress = endpoint.address;
  config.listenPort = endpoint.port;
}

// "30", "30/min" (--upload-rate) or "1073741824/day" (--upload-quota).
template <typename Number>
Number parsePerPeriod(std::string_view flag, std::string_view text, std::string_view period, Number high) {
  if (std::size_t slash = text.find('/'); slash != std::string_view::npos) {
    std::string_view unit = text.substr(slash + 1);
    bool matches = unit.size() == period.size();
    for (std::size_t i = 0; matches && i < unit.size(); ++i) matches = (unit[i] | 0x20) == period[i];
    if (!matches)
      throw Error(std::string(flag) + ": \"" + std::string(text) + "\" must be a number per " +
                  std::string(period));
    text = text.substr(0, slash);
  }
  return parseNumber<Number>(flag, text, 0, high);
}

std::string parseAddress(std::string_view flag, std::string_view text) {
  boost::system::error_code error;
  auto address = boost::asio::ip::make_address(std::string(text), error);
  if (error) throw Error(std::string(flag) + ": \"" + std::string(text) + "\" is not an IP address");
  return address.to_string();
}

} // namespace

bool isLoopbackAddress(std::string_view address) {
  if (address == "localhost") return true;
  boost::system::error_code error;
  auto parsed = boost::asio::ip::make_address(std::string(address), error);
  if (error) return false;
  if (parsed.is_v6() && parsed.to_v6().is_v4_mapped())
    return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, parsed.to_v6()).is_loopback();
  return parsed.is_loopback();
}

std::optional<std::string> reachableFromOutside(const Config& config) {
  if (!isLoopbackAddress(config.listenAddress)) return "--listen is not a loopback address";
  // A proxy in front takes connections from anywhere and passes them on.
  if (config.proxyProtocol) return "--proxy-protocol: clients come through a proxy";
  if (config.publicUrl) {
    std::string_view host = *config.publicUrl;
    host.remove_prefix(host.find("://") + 3);
    if (host.starts_with('['))
      host = host.substr(1, host.find(']') - 1);
    else
      host = host.substr(0, host.find(':'));
    if (!isLoopbackAddress(host)) return "--public-url names another host: a proxy publishes it";
  }
  return std::nullopt;
}

std::string normalisePublicUrl(std::string_view url) {
  std::size_t schemeLength = url.starts_with("http://") ? 7 : url.starts_with("https://") ? 8 : 0;
  if (schemeLength == 0)
    throw Error("--public-url: \"" + std::string(url) +
                "\" must start with http:// or https:// (Glimor opens only such links)");
  std::string_view rest = url.substr(schemeLength);
  if (rest.ends_with('/')) rest.remove_suffix(1);
  if (!isValidHost(rest))
    throw Error("--public-url: \"" + std::string(url) + "\" must be http[s]://HOST[:PORT] with no path");
  return std::string(url.substr(0, schemeLength + rest.size()));
}

bool takeS3Flag(std::string_view flag, const std::function<std::string_view()>& value,
                std::optional<S3Settings>& s3, bool& sawAnyS3Flag) {
  static constexpr std::string_view flags[] = {
      "--s3", "--s3-bucket", "--s3-region", "--s3-credentials", "--s3-virtual-host", "--s3-redirect"};
  if (std::find(std::begin(flags), std::end(flags), flag) == std::end(flags)) return false;
  S3Settings& settings = s3 ? *s3 : s3.emplace();
  auto nonEmpty = [&](const char* what) {
    std::string text(value());
    if (text.empty()) throw Error(std::string(flag) + " needs " + what);
    return text;
  };
  if (flag == "--s3")
    settings.endpoint = nonEmpty("an endpoint, http[s]://HOST[:PORT]");
  else if (flag == "--s3-bucket")
    settings.bucket = nonEmpty("a bucket name");
  else if (flag == "--s3-region")
    settings.region = nonEmpty("a region");
  else if (flag == "--s3-credentials")
    settings.credentialsFile = nonEmpty("a file");
  else if (flag == "--s3-virtual-host")
    settings.virtualHost = true;
  else
    settings.redirect = true;
  sawAnyS3Flag = true;
  return true;
}

void checkS3Flags(const std::optional<S3Settings>& s3, bool sawAnyS3Flag) {
  if (!sawAnyS3Flag) return;
  if (s3->endpoint.empty()) throw Error("--s3-... flags need --s3 http[s]://HOST[:PORT], the object store");
  if (s3->bucket.empty()) throw Error("--s3 needs --s3-bucket NAME");
  if (!s3->endpoint.starts_with("http://") && !s3->endpoint.starts_with("https://"))
    throw Error("--s3: \"" + s3->endpoint + "\" is not http://HOST[:PORT] or https://HOST[:PORT]");
}

std::optional<Config> parseCommandLine(std::span<const std::string_view> arguments) {
  Config config;
  bool haveData = false;
  std::optional<unsigned> connections;
  std::optional<std::uint64_t> cacheSize;
  std::optional<std::string> certificateFile, keyFile;
  std::optional<UploadAccess> uploads;
  bool sawS3Flag = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view flag = arguments[i];
    if (flag == "--help" || flag == "-h") return std::nullopt;
    // Both "--flag value" and "--flag=value".
    std::optional<std::string_view> inlineValue;
    if (std::size_t equals = flag.find('='); flag.starts_with("--") && equals != std::string_view::npos) {
      inlineValue = flag.substr(equals + 1);
      flag = flag.substr(0, equals);
    }
    auto value = [&]() -> std::string_view {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= arguments.size()) throw Error(std::string(flag) + " needs a value");
      return arguments[++i];
    };
    if (takeS3Flag(flag, value, config.s3, sawS3Flag)) {
      if (inlineValue && (flag == "--s3-virtual-host" || flag == "--s3-redirect"))
        throw Error(std::string(flag) + " takes no value");
    } else if (flag == "--data") {
      config.dataDirectory = value();
      if (config.dataDirectory.empty()) throw Error("--data needs a folder");
      haveData = true;
    } else if (flag == "--database") {
      std::string uri(value());
      if (!uri.starts_with("postgresql://") && !uri.starts_with("postgres://"))
        throw Error("--database: \"" + uri + "\" is not a postgresql:// URI");
      config.database = DatabaseSettings{std::move(uri)};
    } else if (flag == "--cache-dir") {
      config.cacheDirectory = value();
      if (config.cacheDirectory->empty()) throw Error("--cache-dir needs a folder");
    } else if (flag == "--cache-size") {
      cacheSize = parseNumber<std::uint64_t>("--cache-size", value(), 1, std::uint64_t(1) << 62);
    } else if (flag == "--database-connections") {
      connections = parseNumber<unsigned>("--database-connections", value(), 1, 64);
    } else if (flag == "--listen") {
      parseListen(config, value());
    } else if (flag == "--metrics-listen") {
      config.metricsListen = parseEndpoint("--metrics-listen", value());
    } else if (flag == "--public-url") {
      config.publicUrl = normalisePublicUrl(value());
    } else if (flag == "--updates") {
      config.updatesDirectory = value();
      if (config.updatesDirectory->empty()) throw Error("--updates needs a folder");
    } else if (flag == "--max-store") {
      config.maxStoreBytes = parseNumber<std::uint64_t>("--max-store", value(), 1, std::uint64_t(1) << 62);
    } else if (flag == "--max-upload") {
      config.maxUploadBytes = parseNumber<std::uint64_t>("--max-upload", value(), 1, std::uint64_t(1) << 32);
    } else if (flag == "--max-pixels") {
      config.maxPixels = parseNumber<std::uint64_t>("--max-pixels", value(), 1, std::uint64_t(1) << 40);
    } else if (flag == "--max-total-pixels") {
      config.maxTotalPixels =
          parseNumber<std::uint64_t>("--max-total-pixels", value(), 1, std::uint64_t(1) << 44);
    } else if (flag == "--timeout") {
      config.requestTimeout = std::chrono::seconds(parseNumber<int>("--timeout", value(), 1, 3600));
    } else if (flag == "--max-connections") {
      config.maxConnections = parseNumber<unsigned>("--max-connections", value(), 1, 1000000);
    } else if (flag == "--max-connections-per-address") {
      config.maxConnectionsPerAddress =
          parseNumber<unsigned>("--max-connections-per-address", value(), 1, 1000000);
    } else if (flag == "--min-upload-rate") {
      config.minUploadRate = parseNumber<std::uint64_t>("--min-upload-rate", value(), 1, 1ull << 30);
    } else if (flag == "--min-download-rate") {
      config.minDownloadRate = parseNumber<std::uint64_t>("--min-download-rate", value(), 1, 1ull << 30);
    } else if (flag == "--expire-after") {
      config.expireAfterDays = parseNumber<unsigned>("--expire-after", value(), 1, 36500);
    } else if (flag == "--uploads") {
      std::string_view access = value();
      if (access != "open" && access != "token")
        throw Error("--uploads: \"" + std::string(access) + "\" is neither open nor token");
      uploads = access == "open" ? UploadAccess::open : UploadAccess::token;
    } else if (flag == "--upload-rate") {
      config.uploadsPerMinute = parsePerPeriod<unsigned>("--upload-rate", value(), "min", 1000000);
    } else if (flag == "--upload-quota") {
      config.uploadBytesPerDay = parsePerPeriod<std::uint64_t>("--upload-quota", value(), "day", 1ull << 50);
    } else if (flag == "--feedback-rate") {
      config.feedbackPerMinute = parsePerPeriod<unsigned>("--feedback-rate", value(), "min", 1000000);
    } else if (flag == "--keep-metadata") {
      if (inlineValue) throw Error("--keep-metadata takes no value");
      config.keepMetadata = true;
    } else if (flag == "--proxy-protocol") {
      if (inlineValue) throw Error("--proxy-protocol takes no value");
      config.proxyProtocol = true;
    } else if (flag == "--trusted-proxy") {
      config.trustedProxies.push_back(parseAddress("--trusted-proxy", value()));
    } else if (flag == "--tls-cert" || flag == "--tls-key") {
      std::string file(value());
      if (file.empty()) throw Error(std::string(flag) + " needs a file");
      (flag == "--tls-cert" ? certificateFile : keyFile) = std::move(file);
    } else {
      throw Error("unknown argument \"" + std::string(arguments[i]) + "\"");
    }
  }
  if (haveData && config.database)
    throw Error("--data and --database exclude each other: with --database everything is kept in PostgreSQL");
  if (connections && !config.database) throw Error("--database-connections needs --database");
  if (connections) config.database->connections = *connections;
  checkS3Flags(config.s3, sawS3Flag);
  if (config.cacheDirectory && !config.database && !config.s3)
    throw Error("--cache-dir needs --database or --s3: with --data alone the images are files already");
  if (cacheSize && !config.cacheDirectory) throw Error("--cache-size needs --cache-dir");
  if (cacheSize) config.cacheBytes = *cacheSize;
  if (config.metricsListen && config.metricsListen->port != 0 &&
      config.metricsListen->port == config.listenPort &&
      config.metricsListen->address == config.listenAddress)
    throw Error("--metrics-listen must differ from --listen: the metrics are never served to the public");
  if (!haveData && !config.database)
    throw Error("--data DIR is required: the folder that keeps the images and the database "
                "(or --database URI for PostgreSQL)");
  if (certificateFile.has_value() != keyFile.has_value())
    throw Error(std::string(certificateFile ? "--tls-cert needs --tls-key" : "--tls-key needs --tls-cert") +
                ": HTTPS takes both the certificate and its private key");
  if (certificateFile) config.tls = TlsFiles{*certificateFile, *keyFile};
  if (config.proxyProtocol != !config.trustedProxies.empty())
    throw Error(config.proxyProtocol
                    ? "--proxy-protocol needs --trusted-proxy ADDRESS: the proxies it comes from"
                    : "--trusted-proxy needs --proxy-protocol");
  // A service reachable from other computers is never open by accident.
  if (uploads) {
    config.uploads = *uploads;
    config.uploadsReason = "--uploads";
  } else if (auto outside = reachableFromOutside(config)) {
    config.uploads = UploadAccess::token;
    config.uploadsReason = *outside;
  } else {
    config.uploads = UploadAccess::open;
    config.openToLoopbackOnly = true;
    config.uploadsReason = "reachable from this computer only; through a proxy with a token";
  }
  return config;
}

} // namespace glimor::server
