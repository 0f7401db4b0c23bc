#pragma once
// Reads the requests of one connection from the bytes received so far and
// writes their answers: the service's whole HTTP behaviour without a socket,
// so it is tested and fuzzed on plain buffers. Parsing is Beast's.
//
// Targets in origin form ("/times/...") and absolute form
// ("http://host/times/...") are answered alike. An HTTP/1.1 request must
// carry exactly one Host header (HTTP/1.0 may carry none), else it is
// malformed.
//
// A connection ends after an answer when the request was malformed, too
// large, carried a body the service never reads (GET and HEAD carry none;
// other methods are refused unread), had conflicting lengths, or asked to
// close. Nothing after such a request is read as another request, so a body
// or a broken line can never be answered as a request of its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/time_answer.h"

namespace borvane {

struct RequestLimits {
  std::size_t RequestLineBytes = 4096;  // past it: 414
  std::size_t HeaderBytes = 8192;       // request line and headers; past it: 431
  std::size_t BodyBytes = 1024;         // a refused request announcing more: 413
  std::size_t AnswersPerRead = 32;      // pipelined answers gathered before a write
};

struct RequestsRead {
  std::size_t Consumed = 0;  // bytes of the input taken by the answered requests
  bool Close = false;        // end the connection once the answers are sent
  std::uint32_t Answered = 0;     // 200s
  std::uint32_t Refused = 0;      // 4xx
  std::uint32_t TimeQueries = 0;  // GET or HEAD of the time path, well formed or not
};

// Answers the complete requests at the start of `input`, up to
// `limits.AnswersPerRead`, appending the answers to `out`. An incomplete
// request at the end is left unconsumed: call again when more has arrived,
// with the unconsumed bytes first.
RequestsRead ReadRequests(std::string_view input, const RequestLimits& limits,
                          const AnswerSettings& settings, std::string& out);

}  // namespace borvane
