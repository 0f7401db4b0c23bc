#include "platform/posix/date_source.h"

#include <curl/curl.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "container/error.h"
#include "platform/posix/curl_session.h"
#include "platform/posix/source_selection.h"

namespace borvane {

namespace {

constexpr long kConnectTimeoutMs = 5000;
// The estimate is as fine as it gets once it is this close to the round trip.
constexpr double kFinishMarginMs = 1.0;
// Time kept back for everything after the last answer.
constexpr double kDeadlineReserveMs = 50;

double NowMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// What one request saw of the answer's headers.
struct Headers {
  std::optional<double> DateMs;  // the Date header's instant, ms since 1970
  double ReceivedMs = 0;         // when its header block began to arrive
  bool First = true;
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* h = static_cast<Headers*>(user);
  const std::size_t bytes = size * count;
  if (h->First) {
    h->ReceivedMs = NowMs();
    h->First = false;
  }
  std::string line(data, bytes);
  if (line.size() > 5 && (line.compare(0, 5, "Date:") == 0 || line.compare(0, 5, "date:") == 0)) {
    const std::string value = line.substr(5, line.find_first_of("\r\n") - 5);
    const time_t t = curl_getdate(value.c_str(), nullptr);
    if (t != -1) h->DateMs = static_cast<double>(t) * 1000;
  }
  return bytes;
}

std::string UrlOf(const std::string& address) {
  for (const char* scheme : {"date+http://", "date+https://"}) {
    const std::string prefix = scheme;
    if (address.compare(0, prefix.size(), prefix) == 0) {
      std::string rest = address.substr(prefix.size());
      if (rest.empty() || rest.front() == '/' || rest.find_first_of(" \r\n#") != std::string::npos) {
        break;
      }
      if (rest.find('/') == std::string::npos) rest += "/";
      return prefix.substr(5) + rest;
    }
  }
  throw std::runtime_error("a Date source address is date+http[s]://HOST[:PORT][/PATH], got \"" +
                           address + "\"");
}

}  // namespace

void DateBisection::Add(double sent, double received, double date_ms) {
  // Some L in [sent, received] had date <= L - offset < date + 1 s.
  const double low = sent - date_ms - 1000;
  const double high = received - date_ms;
  if (m_Started && low <= m_High && high >= m_Low) {
    m_Low = std::max(m_Low, low);
    m_High = std::min(m_High, high);
    return;
  }
  // The first answer, or one that contradicts all before it (the server's
  // clock was stepped): start again from it.
  m_Started = true;
  m_Low = low;
  m_High = high;
}

double DateBisection::NextSendTime(double now, double round_trip) const {
  const double middle = (m_Low + m_High) / 2;
  const double arrival = now + round_trip / 2;
  const double k = std::ceil((arrival - middle) / 1000);
  return middle + k * 1000 - round_trip / 2;
}

struct DateSource::Handle {
  CurlSession Session;
};

DateSource::DateSource(const std::string& address, const std::string& ca_file)
    : m_Address(address), m_Url(UrlOf(address)), m_Handle(std::make_unique<Handle>()) {
  CURL* easy = m_Handle->Session.Easy();
  curl_easy_setopt(easy, CURLOPT_URL, m_Url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);  // HEAD: the headers are all we read
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_TCP_NODELAY, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
  if (!ca_file.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, ca_file.c_str());
}

DateSource::~DateSource() = default;

SourceEstimate DateSource::Measure(int samples, std::chrono::milliseconds time_left) {
  const double deadline = NowMs() + static_cast<double>(time_left.count());
  CURL* easy = m_Handle->Session.Easy();
  const auto fail = [this](const std::string& why) -> SourceEstimate {
    throw Error(ErrorCode::TransferFailed, m_Address + ": " + why);
  };

  DateBisection bisection;
  double round_trip = INFINITY;
  int used = 0;
  std::optional<double> send_at;
  // Request 0 opens the connection (its round trip carries the connect and
  // any TLS handshake) and is not used.
  for (int request = 0; samples == 0 || request <= samples; ++request) {
    if (send_at) {
      const double wait = *send_at - NowMs();
      if (wait > 0 && Pause(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double, std::milli>(wait)))) {
        fail("cancelled");
      }
    }
    if (Cancelled()) fail("cancelled");
    const double left = deadline - NowMs();
    if (left < kDeadlineReserveMs) break;
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     std::min(static_cast<long>(left), kConnectTimeoutMs));
    Headers headers;
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &headers);
    const double sent = NowMs();
    const CURLcode code = m_Handle->Session.Perform(m_Cancel);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, nullptr);
    if (code != CURLE_OK) {
      if (Cancelled()) fail("cancelled");
      if (used > 0) break;  // what we have still holds
      fail(std::string("request failed: ") + curl_easy_strerror(code));
    }
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (!headers.DateMs) fail("the answer (HTTP status " + std::to_string(status) + ") has no readable Date header");
    if (request == 0) {
      // Only a first rough position of the server's second.
      bisection.Add(sent, headers.ReceivedMs, *headers.DateMs);
      round_trip = headers.ReceivedMs - sent;
    } else {
      if (used == 0) bisection = DateBisection{};
      bisection.Add(sent, headers.ReceivedMs, *headers.DateMs);
      round_trip = std::min(round_trip, headers.ReceivedMs - sent);
      ++used;
    }
    // As fine as the round trip lets it be.
    if (used > 0 && bisection.High() - bisection.Low() <= round_trip + kFinishMarginMs) break;
    send_at = bisection.NextSendTime(NowMs() + 1, round_trip);
    if (*send_at + round_trip + kDeadlineReserveMs > deadline) break;
  }
  if (used == 0) fail("no answer in time");
  SourceEstimate e;
  e.OffsetMs = (bisection.Low() + bisection.High()) / 2;
  e.BoundMs = (bisection.High() - bisection.Low()) / 2;
  e.RoundTripMs = round_trip;
  e.Samples = used;
  return e;
}

}  // namespace borvane
