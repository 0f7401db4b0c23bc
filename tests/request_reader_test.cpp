#include "service/request_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace borvane {
namespace {

std::string Get(const std::string& target, const std::string& extra = {}) {
  return "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + extra + "\r\n";
}

// A request whose request line, without its CRLF, is `length` bytes.
std::string GetWithLineOf(std::size_t length) {
  return Get("/" + std::string(length - std::string_view("GET / HTTP/1.1").size(), 'a'));
}

const std::string kQuery = "/times/nolvera.aspx?borvane=12345";

// The status codes of the answers in `out`, in order.
std::vector<int> Statuses(const std::string& out) {
  std::vector<int> statuses;
  const std::regex status_line("HTTP/1\\.1 (\\d{3}) ");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), status_line); it != std::sregex_iterator();
       ++it) {
    statuses.push_back(std::stoi((*it)[1]));
  }
  return statuses;
}

struct Exchange {
  std::string Input;
  std::vector<int> Statuses;  // answers, in order
  bool Close;                 // the connection ends after them
};

TEST(RequestReader, AnswersInOrderAndEndsTheConnectionAfterAnyBadRequest) {
  const std::vector<Exchange> rows = {
      {Get(kQuery) + Get("/elsewhere") + Get("/times/nolvera.aspx?borvane=1"), {200, 404, 400}, false},
      {Get(kQuery, "Connection: close\r\n") + Get(kQuery), {200}, true},
      {"GET " + kQuery + " HTTP/1.0\r\n\r\n" + Get(kQuery), {200}, true},
      // A body on a GET or HEAD is never read as a request of its own.
      {Get(kQuery, "Content-Length: 30\r\n") + Get("/times/nolvera.aspx?borvane=99999"), {400}, true},
      {"HEAD " + kQuery + " HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", {400}, true},
      {Get(kQuery, "Transfer-Encoding: gzip\r\n"), {400}, true},
      {Get(kQuery, "Content-Length: 0\r\nContent-Length: 5\r\n") + "hello", {400}, true},
      {Get(kQuery, "Content-Length: 0\r\n") + Get(kQuery), {200, 200}, false},
      // A broken line ends the connection: what follows is not answered line by line.
      {"GARBAGE\r\nX-A: 1\r\nX-B: 2\r\nX-C: 3\r\n\r\n" + Get(kQuery), {400}, true},
      {"GET /times/nolvera.aspx?borvane=12345 HTTP/9.9\r\n\r\n", {400}, true},
      {"POST " + kQuery + " HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", {405}, true},
      {"PUT " + kQuery + " HTTP/1.1\r\nContent-Length: 99999\r\n\r\n", {413}, true},
      {"GET /" + std::string(5000, 'a') + " HTTP/1.1\r\n\r\n", {414}, true},
      {GetWithLineOf(4096), {404}, false},
      {GetWithLineOf(4097), {414}, true},
      // HTTP/1.1 needs exactly one Host; the absolute form is answered like the origin form.
      {"GET " + kQuery + " HTTP/1.1\r\n\r\n" + Get(kQuery), {400}, true},
      {Get(kQuery, "Host: y\r\n"), {400}, true},
      {"GET http://x" + kQuery + " HTTP/1.1\r\nHost: x\r\n\r\n", {200}, false},
      {"GET /" + std::string(5000, 'a'), {414}, true},  // too long before it even ends
      {Get(kQuery, "X-Filler: " + std::string(9000, 'b') + "\r\n"), {431}, true},
      {Get(kQuery, "X-Filler: " + std::string(9000, 'b')), {431}, true},
  };
  for (const Exchange& row : rows) {
    SCOPED_TRACE(row.Input.substr(0, 80));
    std::string out;
    const RequestsRead read = ReadRequests(row.Input, RequestLimits{}, AnswerSettings{}, out);
    EXPECT_EQ(Statuses(out), row.Statuses);
    EXPECT_EQ(read.Close, row.Close);
    EXPECT_EQ(read.Close, out.find("Connection: close\r\n") != std::string::npos);
  }
}

TEST(RequestReader, LeavesAnIncompleteRequestForTheNextRead) {
  const std::string whole = Get(kQuery) + Get("/times/nolvera.aspx?borvane=54321");
  const std::size_t cut = whole.size() - 7;
  std::string out;
  RequestsRead read = ReadRequests(std::string_view(whole).substr(0, cut), RequestLimits{},
                                   AnswerSettings{}, out);
  EXPECT_EQ(read.Consumed, Get(kQuery).size());
  EXPECT_EQ(read.Answered, 1u);
  EXPECT_FALSE(read.Close);

  out.clear();
  read = ReadRequests(std::string_view(whole).substr(read.Consumed), RequestLimits{}, AnswerSettings{}, out);
  EXPECT_EQ(read.Consumed, whole.size() - Get(kQuery).size());
  ASSERT_EQ(Statuses(out), std::vector<int>{200});
  EXPECT_EQ(out.substr(out.size() - 28, 5), "54321");
}

TEST(RequestReader, GathersAtMostTheBatchOfPipelinedAnswers) {
  std::string input;
  for (int i = 0; i < 40; ++i) input += Get(kQuery);
  RequestLimits limits;
  limits.AnswersPerRead = 32;
  std::string out;
  const RequestsRead read = ReadRequests(input, limits, AnswerSettings{}, out);
  EXPECT_EQ(read.Answered, 32u);
  EXPECT_EQ(read.TimeQueries, 32u);
  EXPECT_EQ(read.Consumed, 32 * Get(kQuery).size());
}

TEST(RequestReader, WaitingBytesAreHeldToTheHeaderLimitWhateverTheParserSays) {
  // Folded header lines on which the parser asks for more past its limit;
  // the first byte is the fuzzer's split point, not part of the request.
  std::ifstream file(BORVANE_SOURCE_DIR "/fuzz/corpus/service_request/folded_header_past_limit",
                     std::ios::binary);
  const std::string input((std::istreambuf_iterator<char>(file)), {});
  ASSERT_GT(input.size(), 513u);
  RequestLimits limits;
  limits.RequestLineBytes = 256;
  limits.HeaderBytes = 512;
  std::string out;
  const RequestsRead read = ReadRequests(std::string_view(input).substr(1), limits, AnswerSettings{}, out);
  EXPECT_EQ(Statuses(out), std::vector<int>{431});
  EXPECT_TRUE(read.Close);
}

TEST(RequestReader, RangesAreIgnoredAndTheAnswerIsWhole) {
  std::string ranges = "bytes=0-0";
  for (int i = 1; i < 1001; ++i) ranges += "," + std::to_string(i) + "-" + std::to_string(i);
  std::string out;
  ReadRequests(Get(kQuery, "Range: " + ranges + "\r\n"), RequestLimits{}, AnswerSettings{}, out);
  EXPECT_EQ(Statuses(out), std::vector<int>{200});
  EXPECT_NE(out.find("Content-Length: 28\r\n"), std::string::npos);
  EXPECT_EQ(out.find("multipart"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 28, 5), "12345");
}

}  // namespace
}  // namespace borvane
