#pragma once
// The answers of the time service as bytes on the wire, one function per
// kind. Each appends a whole answer (status line, headers, body) to `out`, so
// a connection sends one answer, or one batch of pipelined answers, in a
// single write.
//
//   GET|HEAD /times/nolvera.aspx?borvane=DDDDD   200, "DDDDD" + encoded time
//   same path, stamp missing or not five digits  400, one-line reason
//   any other path                               404

#include <chrono>
#include <string>
#include <string_view>

namespace borvane {

class WebFiles;
struct WebFile;

struct AnswerSettings {
  std::chrono::milliseconds Offset{0};  // added to the system clock; positive: the service runs ahead
  std::chrono::seconds KeepAlive{5};    // announced idle time-out of a kept-alive connection
  // The web panel, or nullptr when the service serves none. While it is
  // served, every answer lets pages of any origin read it, so a page
  // elsewhere can embed the panel and point it here.
  const WebFiles* Web = nullptr;
};

// Answers a GET or HEAD of `target` (origin form, query included). The clock
// is read here, as late as possible before the answer leaves, and skews both
// the body and the Date header by the offset. Returns the status.
int AppendTimeAnswer(std::string_view target, bool head, bool keep_alive,
                     const AnswerSettings& settings, std::string& out);

// A refusal: `status` with its one-line reason as the body. Refusals that end
// the connection say so with "Connection: close"; `allow` adds an Allow
// header (for 405).
void AppendRefusal(int status, std::string_view reason, bool head, bool keep_alive,
                   const AnswerSettings& settings, std::string& out,
                   std::string_view allow = {});

// One file of the web panel: 200 with the file (gzip when `gzip_accepted`
// and the file has a compressed copy), or 304 without a body when
// `if_none_match` names its validator. Returns the status.
int AppendWebFile(const WebFile& file, bool head, bool keep_alive, bool gzip_accepted,
                  std::string_view if_none_match, const AnswerSettings& settings,
                  std::string& out);

// The send stamp of a time query's target, percent-escapes decoded:
// exactly one "borvane" parameter holding five ASCII digits. Empty with
// `reason` set when there is none usable.
std::string SendStampOf(std::string_view query, std::string_view& reason);

}  // namespace borvane
