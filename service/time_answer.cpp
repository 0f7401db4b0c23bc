#include "service/time_answer.h"

#include <cstdint>
#include <cstdio>

#include "service/time_encoding.h"
#include "service/web_files.h"

namespace borvane {

namespace {

constexpr std::string_view kTimePath = "/times/nolvera.aspx";
constexpr std::string_view kStampName = "borvane";

std::string_view StatusLine(int status) {
  switch (status) {
    case 200: return "HTTP/1.1 200 OK\r\n";
    case 304: return "HTTP/1.1 304 Not Modified\r\n";
    case 400: return "HTTP/1.1 400 Bad Request\r\n";
    case 404: return "HTTP/1.1 404 Not Found\r\n";
    case 405: return "HTTP/1.1 405 Method Not Allowed\r\n";
    case 413: return "HTTP/1.1 413 Payload Too Large\r\n";
    case 414: return "HTTP/1.1 414 URI Too Long\r\n";
    case 431: return "HTTP/1.1 431 Request Header Fields Too Large\r\n";
    default: return "HTTP/1.1 400 Bad Request\r\n";
  }
}

// The Date header changes once a second; under load most answers of a
// second share it, so each thread keeps the last one it wrote.
std::string_view HttpDate(std::chrono::system_clock::time_point time) {
  thread_local std::int64_t cached_second = INT64_MIN;
  thread_local std::string cached_text;
  const std::int64_t second =
      std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
  if (second != cached_second) {
    cached_text = FormatHttpDate(time);
    cached_second = second;
  }
  return cached_text;
}

// The last header, whether the connection stays, and the blank line.
void AppendConnectionEnd(bool keep_alive, const AnswerSettings& settings, std::string& out) {
  if (keep_alive) {
    out += "\r\nConnection: keep-alive\r\nKeep-Alive: timeout=";
    out += std::to_string(settings.KeepAlive.count());
  } else {
    out += "\r\nConnection: close";
  }
  out += "\r\n\r\n";
}

void AppendHeaders(int status, std::size_t length, bool keep_alive, const AnswerSettings& settings,
                   std::chrono::system_clock::time_point now, std::string& out,
                   std::string_view allow = {}) {
  out += StatusLine(status);
  out += "Content-Type: text/plain; charset=utf-8\r\nContent-Length: ";
  out += std::to_string(length);
  out += "\r\nDate: ";
  out += HttpDate(now + settings.Offset);
  if (!allow.empty()) {
    out += "\r\nAllow: ";
    out += allow;
  }
  if (settings.Web != nullptr) out += "\r\nAccess-Control-Allow-Origin: *";
  AppendConnectionEnd(keep_alive, settings, out);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decodes a query value; false on a broken escape.
bool DecodeQueryValue(std::string_view text, std::string& value) {
  value.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      if (i + 2 >= text.size()) return false;
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      value += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      value += text[i] == '+' ? ' ' : text[i];
    }
  }
  return true;
}

}  // namespace

std::string SendStampOf(std::string_view query, std::string_view& reason) {
  std::string stamp;
  int found = 0;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    const std::size_t equals = pair.find('=');
    if (pair.substr(0, equals) != kStampName) continue;
    if (++found > 1) {
      reason = "more than one send stamp\n";
      return {};
    }
    if (equals == std::string_view::npos || !DecodeQueryValue(pair.substr(equals + 1), stamp)) {
      stamp.clear();
    }
  }
  if (found == 0) {
    reason = "missing send stamp: add ?borvane=DDDDD\n";
    return {};
  }
  bool digits = stamp.size() == 5;
  for (const char c : stamp) digits = digits && c >= '0' && c <= '9';
  if (!digits) {
    reason = "send stamp must be exactly five digits\n";
    return {};
  }
  return stamp;
}

int AppendTimeAnswer(std::string_view target, bool head, bool keep_alive,
                     const AnswerSettings& settings, std::string& out) {
  const std::size_t question = target.find('?');
  if (target.substr(0, question) != kTimePath) {
    AppendRefusal(404, "not found\n", head, keep_alive, settings, out);
    return 404;
  }
  std::string_view reason;
  const std::string stamp = SendStampOf(
      question == std::string_view::npos ? std::string_view{} : target.substr(question + 1), reason);
  if (stamp.empty()) {
    AppendRefusal(400, reason, head, keep_alive, settings, out);
    return 400;
  }
  // Read the clock last: the client corrects for half the round trip and
  // assumes the time was taken when the answer left.
  const auto now = std::chrono::system_clock::now();
  const std::string encoded = EncodeTime(FormatBeijingTime(now + settings.Offset));
  AppendHeaders(200, stamp.size() + encoded.size(), keep_alive, settings, now, out);
  if (!head) {
    out += stamp;
    out += encoded;
  }
  return 200;
}

int AppendWebFile(const WebFile& file, bool head, bool keep_alive, bool gzip_accepted,
                  std::string_view if_none_match, const AnswerSettings& settings,
                  std::string& out) {
  const bool gzip = gzip_accepted && !file.Gzip.empty();
  const std::string& body = gzip ? file.Gzip : file.Body;
  const std::string& etag = gzip ? file.GzipETag : file.ETag;
  // A validator list ("a", "b") or "*" matches when it holds ours.
  const bool unchanged = !if_none_match.empty() &&
                         (if_none_match.find(etag) != std::string_view::npos || if_none_match == "*");
  const int status = unchanged ? 304 : 200;
  out += StatusLine(status);
  out += "Content-Type: ";
  out += file.Type;
  if (!unchanged) {
    out += "\r\nContent-Length: ";
    out += std::to_string(body.size());
    if (gzip) out += "\r\nContent-Encoding: gzip";
  }
  // Caches keep the files but ask again each time: a new build is seen at
  // once, and an unchanged file costs a 304.
  out += "\r\nETag: ";
  out += etag;
  out += "\r\nCache-Control: no-cache\r\nVary: Accept-Encoding\r\nDate: ";
  out += HttpDate(std::chrono::system_clock::now() + settings.Offset);
  // The module and its wasm load into pages of other origins too.
  out += "\r\nAccess-Control-Allow-Origin: *";
  AppendConnectionEnd(keep_alive, settings, out);
  if (!head && !unchanged) out += body;
  return status;
}

void AppendRefusal(int status, std::string_view reason, bool head, bool keep_alive,
                   const AnswerSettings& settings, std::string& out, std::string_view allow) {
  AppendHeaders(status, reason.size(), keep_alive, settings, std::chrono::system_clock::now(), out,
                allow);
  if (!head) out += reason;
}

}  // namespace borvane
