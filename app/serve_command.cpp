// `borvane serve`: the reference time service in the foreground until
// interrupted.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

#include "app/commands.h"
#include "service/time_service.h"

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

int Serve(const std::string& listen, std::int64_t offset_ms, bool report_queries) {
  const ListenAddress address = ParseListen(listen);

  // Interrupts are taken by one thread that stops the service cleanly; the
  // service's own threads inherit the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  TimeServiceOptions options;
  options.host = address.host;
  options.port = address.port;
  options.offset_ms = offset_ms;
  TimeService service(options);
  try {
    service.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "borvane serve: %s\n", e.what());
    return 1;
  }
  std::printf("borvane: serving Beijing time on http://%s:%d/times/nolvera.aspx (clock offset %lld ms); "
              "Ctrl-C stops\n",
              address.host.c_str(), service.Port(), static_cast<long long>(offset_ms));
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
  if (report_queries) {
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
  service.Wait();
  stopping.store(true);
  if (reporter.joinable()) reporter.join();
  // Wake the stopper if the service ended on its own.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return 0;
}

}  // namespace

void AddServeCommand(CLI::App& app, int& status) {
  struct Options {
    std::string listen = "127.0.0.1:8080";
    std::int64_t offset_ms = 0;
    bool report_queries = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("serve", "Run the reference time service");
  command->add_option("--listen", options->listen, "address to listen on, HOST:PORT")
      ->capture_default_str();
  command->add_option("--offset-ms", options->offset_ms,
                      "skew the service clock by this many milliseconds (for testing)")
      ->capture_default_str();
  command->add_flag("--report-queries", options->report_queries,
                    "print a line for every time query answered (for testing)");
  command->callback([options, &status] {
    status = Serve(options->listen, options->offset_ms, options->report_queries);
  });
}

}  // namespace borvane::app
