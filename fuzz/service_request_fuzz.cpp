// Feeds arbitrary bytes to the time service's request reader the way a
// connection does: in two reads split where the first input byte says,
// keeping what a read leaves unconsumed for the next. Checks that the
// reader never takes more than it was given, that every answer is a whole
// HTTP/1.1 answer, and that nothing is answered once it asked to close.
//
//   clang++ -std=c++20 -fsanitize=fuzzer,address,undefined -I. \
//     fuzz/service_request_fuzz.cpp service/request_reader.cpp \
//     service/time_answer.cpp service/time_encoding.cpp container/utf8.cpp \
//     -o service_request_fuzz
//   ./service_request_fuzz fuzz/corpus/service_request

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "service/request_reader.h"

namespace {

// Aborts, naming the broken rule, so the fuzzer keeps the input.
#define Require(holds) \
  ((holds) ? void() : (std::fprintf(stderr, "broken: %s (line %d)\n", #holds, __LINE__), std::abort()))

// Every answer in `out` starts with a status line and carries as many body
// bytes as its Content-Length says (HEAD answers carry none).
void CheckAnswers(std::string_view out, bool head_only) {
  while (!out.empty()) {
    Require(out.substr(0, 9) == "HTTP/1.1 ");
    const std::size_t end = out.find("\r\n\r\n");
    Require(end != std::string_view::npos);
    const std::string_view headers = out.substr(0, end);
    const std::size_t at = headers.find("Content-Length: ");
    Require(at != std::string_view::npos);
    const std::size_t length = std::strtoul(std::string(headers.substr(at + 16)).c_str(), nullptr, 10);
    std::size_t next = end + 4;
    // A HEAD answer has the length of the body it leaves out; the reader
    // only gives HEAD answers without body, so try both and require one.
    if (!head_only && next + length <= out.size() &&
        (next + length == out.size() || out.substr(next + length, 9) == "HTTP/1.1 ")) {
      next += length;
    }
    out.remove_prefix(next);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t split = data[0] % size;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  borvane::RequestLimits limits;
  limits.RequestLineBytes = 256;  // small limits reach the refusals with small inputs
  limits.HeaderBytes = 512;
  limits.AnswersPerRead = 4;
  const borvane::AnswerSettings settings;

  std::string pending;
  bool closed = false;
  for (const std::string_view read : {input.substr(0, split), input.substr(split)}) {
    pending.append(read);
    // Like a connection: answer what is complete, in batches, until the
    // reader wants more or ends the connection.
    while (!closed && !pending.empty()) {
      std::string out;
      const borvane::RequestsRead result = borvane::ReadRequests(pending, limits, settings, out);
      Require(result.Consumed <= pending.size());
      Require(result.Answered + result.Refused <= limits.AnswersPerRead);
      Require(out.empty() == (result.Answered + result.Refused == 0));
      CheckAnswers(out, false);
      pending.erase(0, result.Consumed);
      closed = result.Close;
      if (result.Answered + result.Refused == 0) break;  // incomplete: wait for the next read
    }
    if (closed) break;
  }
  // Bounded memory: an incomplete request never grows past the header limit.
  Require(closed || pending.size() <= limits.HeaderBytes);
  return 0;
}
