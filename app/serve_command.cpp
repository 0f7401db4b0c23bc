// `borvane serve`: the reference time service in the foreground until
// SIGINT or SIGTERM; then it finishes the answers in flight, prints what it
// served and exits 0.

#include <sys/resource.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <pthread.h>
#include <string_view>
#include <thread>

#include "app/commands.h"
#include "platform/posix/metrics_server.h"
#include "service/time_service.h"
#include "service/web_files.h"

namespace borvane::app {
namespace {

struct ListenAddress {
  std::string host;
  int port = 0;
};

ListenAddress ParseListen(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
    throw CLI::ValidationError("--listen", "expected HOST:PORT, got \"" + text + "\"");
  }
  ListenAddress address;
  address.host = text.substr(0, colon);
  if (address.host.size() > 2 && address.host.front() == '[' && address.host.back() == ']') {
    address.host = address.host.substr(1, address.host.size() - 2);
  }
  const std::string port = text.substr(colon + 1);
  if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5 ||
      std::stoi(port) > 65535) {
    throw CLI::ValidationError("--listen", "the port must be a number from 0 to 65535, got \"" + port + "\"");
  }
  address.port = std::stoi(port);
  return address;
}

struct ServeOptions {
  std::string listen = "127.0.0.1:8080";
  std::int64_t offset_ms = 0;
  int threads = 0;
  int max_connections = 20000;
  bool reuse_port = false;
  std::string tls_cert;
  std::string tls_key;
  double header_deadline_s = 5;
  double idle_timeout_s = 5;
  bool report_queries = false;
  std::string metrics;
  bool no_web = false;
};

// The service's totals in the Prometheus text format.
std::string ServiceMetrics(const TimeServiceStats& stats) {
  std::string out;
  const auto family = [&out](const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
  };
  family("borvane_service_requests_total", "counter", "Requests by how they ended.");
  out += "borvane_service_requests_total{result=\"answered\"} " + std::to_string(stats.Answered) + "\n";
  out += "borvane_service_requests_total{result=\"refused\"} " + std::to_string(stats.Refused) + "\n";
  out += "borvane_service_requests_total{result=\"dropped\"} " + std::to_string(stats.Dropped) + "\n";
  family("borvane_service_open_connections", "gauge", "Connections open now.");
  out += "borvane_service_open_connections " + std::to_string(stats.Open) + "\n";
  family("borvane_service_answer_seconds", "histogram",
         "From the read that brought a request to the end of its answer's write.");
  std::uint64_t cumulative = 0;
  char line[160];
  for (std::size_t i = 0; i < kAnswerDelayBounds.size(); ++i) {
    cumulative += stats.AnswerDelay[i];
    std::snprintf(line, sizeof line, "borvane_service_answer_seconds_bucket{le=\"%g\"} %llu\n",
                  kAnswerDelayBounds[i], static_cast<unsigned long long>(cumulative));
    out += line;
  }
  cumulative += stats.AnswerDelay.back();
  out += "borvane_service_answer_seconds_bucket{le=\"+Inf\"} " + std::to_string(cumulative) + "\n";
  std::snprintf(line, sizeof line, "borvane_service_answer_seconds_sum %.9f\n", stats.AnswerDelaySeconds);
  out += line;
  out += "borvane_service_answer_seconds_count " + std::to_string(cumulative) + "\n";
  return out;
}

// Each connection takes a descriptor: lift the soft limit to the hard one
// so the connection cap, not the descriptor table, decides.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

std::chrono::milliseconds Milliseconds(double seconds) {
  return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
}

// Reads the number that is all of `text` (a leading '+' allowed):
// invalid_argument when it is no such number, result_out_of_range when it
// does not fit.
template <class Number>
std::errc ReadWhole(std::string_view text, Number& value) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size()) return std::errc::invalid_argument;
  return error;
}

// Checked on the text as typed, before CLI11 converts it, so a refusal
// quotes what was typed (a value too large for 64 bits would otherwise be
// quoted as the largest that fits). CLI11 puts the option's name in front.
std::string CheckOffset(const std::string& text) {
  std::int64_t value = 0;
  const std::errc error = ReadWhole(text, value);
  if (error == std::errc::invalid_argument) {
    return "must be a whole number of milliseconds, got \"" + text + "\"";
  }
  if (error == std::errc() && value >= -kMaxOffsetMs && value <= kMaxOffsetMs) return {};
  return text + " ms is beyond 100 years either way (at most " + std::to_string(kMaxOffsetMs) + " ms)";
}

// Deadlines in seconds: at least a millisecond (shorter rounds to none) and
// at most a day, which also keeps the milliseconds well inside 64 bits.
std::string CheckSeconds(const std::string& text) {
  double seconds = 0;
  if (ReadWhole(text, seconds) == std::errc() && seconds >= 0.001 && seconds <= 86400) return {};
  return "must be from 0.001 to 86400 seconds, got \"" + text + "\"";
}

int Serve(const ServeOptions& options) {
  const ListenAddress address = ParseListen(options.listen);
  RaiseDescriptorLimit();

  // Interrupts are taken by one thread that stops the service cleanly; the
  // service's own threads inherit the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  TimeServiceOptions service_options;
  service_options.host = address.host;
  service_options.port = address.port;
  service_options.offset_ms = options.offset_ms;
  service_options.threads = options.threads;
  service_options.max_connections = options.max_connections;
  service_options.reuse_port = options.reuse_port;
  service_options.tls_cert = options.tls_cert;
  service_options.tls_key = options.tls_key;
  service_options.header_deadline = Milliseconds(options.header_deadline_s);
  service_options.idle_timeout = Milliseconds(options.idle_timeout_s);
  // The web panel, read once; where the web build was not made the
  // service runs without it and says so.
  std::optional<WebFiles> web;
  std::string web_note;
  if (!options.no_web) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string folder = FindWebFolder(error ? std::string(".") : program.parent_path().string());
    if (!folder.empty()) web = WebFiles::Load(folder);
    if (web) {
      service_options.web = &*web;
    } else {
      web_note = "no web panel: it was not built, or BORVANE_WEB_DIR names no folder holding it";
    }
  }
  TimeService service(service_options);
  try {
    service.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "borvane serve: %s\n", e.what());
    return 1;
  }
  // Metrics on an address of their own, answered from a thread of their own.
  std::unique_ptr<MetricsServer> metrics;
  if (!options.metrics.empty()) {
    try {
      metrics = std::make_unique<MetricsServer>(options.metrics);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "borvane serve: %s\n", e.what());
      service.Stop();
      return 1;
    }
    metrics->BeforeScrape = [&service, &metrics] { metrics->Publish(ServiceMetrics(service.Stats())); };
  }
  const std::string scheme = options.tls_cert.empty() ? "http" : "https";
  // An IPv6 address is bracketed in a URL, or its colons read as the port's.
  const std::string host =
      address.host.find(':') == std::string::npos ? address.host : "[" + address.host + "]";
  std::printf("borvane: serving Beijing time on %s://%s:%d/times/nolvera.aspx (clock offset %lld ms); "
              "Ctrl-C stops\n",
              scheme.c_str(), host.c_str(), service.Port(),
              static_cast<long long>(options.offset_ms));
  if (metrics) std::printf("borvane: metrics on port %d at /metrics\n", static_cast<int>(metrics->Port()));
  if (web) {
    std::printf("borvane: the web panel is on %s://%s:%d/\n", scheme.c_str(), host.c_str(),
                service.Port());
  } else if (!web_note.empty()) {
    std::printf("borvane: %s\n", web_note.c_str());
  }
  std::fflush(stdout);

  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    service.Stop();
  });
  // One line per answered time query, for tests that count what reached
  // the service from a client they cannot see into.
  std::atomic<bool> stopping{false};
  std::thread reporter;
  if (options.report_queries) {
    reporter = std::thread([&] {
      std::uint64_t reported = 0;
      while (!stopping.load()) {
        if (!service.WaitForTimeQueries(reported + 1, std::chrono::milliseconds(100))) continue;
        const std::uint64_t now = service.TimeQueries();
        for (; reported < now; ++reported) {
          std::printf("time query %llu\n", static_cast<unsigned long long>(reported + 1));
        }
        std::fflush(stdout);
      }
    });
  }
  stopper.join();
  stopping.store(true);
  if (reporter.joinable()) reporter.join();
  const TimeServiceStats stats = service.Stats();
  std::printf("borvane: stopped; answered %llu, refused %llu, dropped %llu\n",
              static_cast<unsigned long long>(stats.Answered),
              static_cast<unsigned long long>(stats.Refused),
              static_cast<unsigned long long>(stats.Dropped));
  return 0;
}

}  // namespace

void AddServeCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<ServeOptions>();
  CLI::App* command = app.add_subcommand("serve", "Run the reference time service");
  command->add_option("--listen", options->listen, "address to listen on, HOST:PORT")
      ->capture_default_str();
  command->add_option("--offset-ms", options->offset_ms,
                      "skew the service clock (answers and Date header) by this many milliseconds, "
                      "at most 100 years either way (for testing)")
      ->check(CLI::Validator(CheckOffset, "MILLISECONDS"))
      ->capture_default_str();
  command->add_option("--threads", options->threads, "event loops (0: one per core)")
      ->capture_default_str();
  command->add_option("--max-connections", options->max_connections,
                      "open connections at most; more are closed at accept")
      ->capture_default_str();
  command->add_flag("--reuse-port", options->reuse_port,
                    "let several processes listen on the same port (SO_REUSEPORT)");
  command->add_option("--tls-cert", options->tls_cert, "PEM certificate chain: serve HTTPS")
      ->check(CLI::ExistingFile);
  command->add_option("--tls-key", options->tls_key, "PEM private key of --tls-cert")
      ->check(CLI::ExistingFile);
  command->add_option("--header-deadline", options->header_deadline_s,
                      "seconds from a request's first byte to its last header byte")
      ->check(CLI::Validator(CheckSeconds, "SECONDS"))
      ->capture_default_str();
  command->add_option("--idle-timeout", options->idle_timeout_s,
                      "seconds a kept-alive connection may wait for its next request")
      ->check(CLI::Validator(CheckSeconds, "SECONDS"))
      ->capture_default_str();
  command->add_option("--metrics", options->metrics,
                      "serve Prometheus metrics (requests answered, refused and dropped, open "
                      "connections, a histogram of answer times) at http://HOST:PORT/metrics");
  command->add_flag("--report-queries", options->report_queries,
                    "print a line for every time query answered (for testing)");
  command->add_flag("--no-web", options->no_web,
                    "serve only the time answer: no web panel at /, no cross-origin reading");
  command->callback([options, &status] { status = Serve(*options); });
}

}  // namespace borvane::app
