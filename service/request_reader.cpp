#include "service/request_reader.h"

#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "service/web_files.h"

namespace borvane {

namespace {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

constexpr std::string_view kTimePath = "/times/nolvera.aspx";

// Whether an Accept-Encoding value takes gzip: the coding named, without
// a zero weight ("gzip;q=0" refuses it).
bool NamesGzip(string_view value) {
  std::string text(value.data(), value.size());
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    std::string item = text.substr(start, comma - start);
    std::erase(item, ' ');
    std::erase(item, '\t');
    const std::size_t semicolon = item.find(';');
    const std::string coding = item.substr(0, semicolon);
    if (coding == "gzip" || coding == "x-gzip") {
      if (semicolon == std::string::npos) return true;
      const std::string weight = item.substr(semicolon + 1);
      return !(weight.starts_with("q=0") && weight.find_first_not_of("q=0.") == std::string::npos);
    }
    start = comma + 1;
  }
  return false;
}

// The request line and the few headers the answer depends on; the other
// headers (Range among them: the answer is always whole) are read past.
class RequestParser final : public http::basic_parser<true> {
 public:
  http::verb Method = http::verb::unknown;
  std::string_view Target;
  int Version = 11;  // 10 for HTTP/1.0
  bool TransferEncoding = false;
  int HostFields = 0;
  bool AcceptsGzip = false;
  std::string IfNoneMatch;

 private:
  void on_request_impl(http::verb method, string_view, string_view target, int version,
                       error_code&) override {
    Method = method;
    Target = std::string_view(target.data(), target.size());
    Version = version;
  }
  void on_response_impl(int, string_view, int, error_code&) override {}
  void on_field_impl(http::field name, string_view, string_view value, error_code&) override {
    // The parser only acts on "chunked"; any other coding still means a body.
    if (name == http::field::transfer_encoding) TransferEncoding = true;
    if (name == http::field::host) ++HostFields;
    if (name == http::field::accept_encoding) AcceptsGzip = AcceptsGzip || NamesGzip(value);
    if (name == http::field::if_none_match) IfNoneMatch.assign(value.data(), value.size());
  }
  void on_header_impl(error_code&) override {}
  void on_body_init_impl(const boost::optional<std::uint64_t>&, error_code&) override {}
  std::size_t on_body_impl(string_view body, error_code&) override { return body.size(); }
  void on_chunk_header_impl(std::uint64_t, string_view, error_code&) override {}
  std::size_t on_chunk_body_impl(std::uint64_t, string_view body, error_code&) override {
    return body.size();
  }
  void on_finish_impl(error_code&) override {}
};

// The path and query of a target: an absolute-form target
// ("http://host/times/...", as proxies send) is answered like the origin
// form it carries; its host is not checked, since the service answers
// whatever name it is reached by.
std::string_view OriginForm(std::string_view target) {
  const std::size_t scheme = target.find("://");
  if (target.empty() || target.front() == '/' || scheme == std::string_view::npos) return target;
  for (const char c : target.substr(0, scheme)) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return target;
  }
  const std::size_t path = target.find('/', scheme + 3);
  return path == std::string_view::npos ? std::string_view("/") : target.substr(path);
}

// Length of the request line as far as it has arrived.
std::size_t RequestLineLength(std::string_view input) {
  const std::size_t end = input.find("\r\n");
  return end == std::string_view::npos ? input.size() : end;
}

}  // namespace

RequestsRead ReadRequests(std::string_view input, const RequestLimits& limits,
                          const AnswerSettings& settings, std::string& out) {
  RequestsRead read;
  const auto refuse = [&](int status, std::string_view reason, bool head = false,
                          std::string_view allow = {}) {
    AppendRefusal(status, reason, head, /*keep_alive=*/false, settings, out, allow);
    ++read.Refused;
    read.Close = true;
  };

  while (!read.Close && read.Consumed < input.size() &&
         read.Answered + read.Refused < limits.AnswersPerRead) {
    const std::string_view rest = input.substr(read.Consumed);
    if (RequestLineLength(rest) > limits.RequestLineBytes) {
      refuse(414, "request address too long\n");
      break;
    }
    // A parser holds no state worth keeping between reads: a request that is
    // still incomplete is parsed again from its start when more arrives.
    std::optional<RequestParser> parser(std::in_place);
    parser->header_limit(static_cast<std::uint32_t>(limits.HeaderBytes));
    parser->eager(false);
    error_code error;
    const std::size_t used = parser->put(boost::asio::const_buffer(rest.data(), rest.size()), error);
    if (error == http::error::need_more && rest.size() < limits.HeaderBytes) break;
    // The parser's own limit does not catch every incomplete header (folded
    // lines slip past it), so the bytes waiting are held to it here as well.
    if (error == http::error::need_more || error == http::error::header_limit) {
      refuse(431, "request header fields too large\n");
      break;
    }
    if (error) {
      refuse(400, "bad request\n");
      break;
    }

    const bool head = parser->Method == http::verb::head;
    const bool has_body = parser->chunked() || parser->TransferEncoding ||
                          parser->content_length().value_or(0) > 0;
    if (parser->Method != http::verb::get && !head) {
      if (parser->content_length().value_or(0) > limits.BodyBytes) {
        refuse(413, "request too large\n");
      } else {
        refuse(405, "method not allowed: use GET or HEAD\n", false, "GET, HEAD");
      }
      break;
    }
    if (has_body) {
      refuse(400, "a GET or HEAD request carries no body\n", head);
      break;
    }
    // HTTP/1.1 makes Host mandatory, and exactly one; HTTP/1.0 had none.
    if (parser->HostFields > 1 || (parser->HostFields == 0 && parser->Version >= 11)) {
      refuse(400, "an HTTP/1.1 request needs exactly one Host header\n", head);
      break;
    }

    read.Consumed += used;
    const bool keep_alive = parser->keep_alive();
    const std::string_view target = OriginForm(parser->Target);
    const std::string_view path = target.substr(0, target.find('?'));
    const WebFile* web_file = settings.Web != nullptr && path != kTimePath ? settings.Web->Find(path)
                                                                          : nullptr;
    const int status =
        web_file != nullptr
            ? AppendWebFile(*web_file, head, keep_alive, parser->AcceptsGzip, parser->IfNoneMatch,
                            settings, out)
            : AppendTimeAnswer(target, head, keep_alive, settings, out);
    if (status == 200 || status == 304) {
      ++read.Answered;
    } else {
      ++read.Refused;
    }
    if (target.substr(0, target.find('?')) == kTimePath) ++read.TimeQueries;
    read.Close = !keep_alive;
  }
  return read;
}

}  // namespace borvane
