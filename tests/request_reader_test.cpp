#include "service/request_reader.h"
#include "service/web_files.h"

#include <gtest/gtest.h>

#include <filesystem>
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

// The web panel's files as the web build leaves them, in a folder of their own.
const std::string kWasm("\0asm-plain", 10);

class WebPanelFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Folder = std::filesystem::temp_directory_path() /
               ("borvane-web-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_Folder);
    const std::pair<const char*, std::string> files[] = {{"borvane-client.js", "export {};"},
                                                         {"borvane-client.wasm", kWasm},
                                                         {"borvane-client.wasm.gz", "gz-bytes"}};
    for (const auto& [name, bytes] : files) std::ofstream(m_Folder / name, std::ios::binary) << bytes;
    m_Files = WebFiles::Load(m_Folder.string());
    ASSERT_TRUE(m_Files.has_value());
    m_Settings.Web = &*m_Files;
  }
  void TearDown() override { std::filesystem::remove_all(m_Folder); }

  std::string Answer(const std::string& request) {
    std::string out;
    ReadRequests(request, RequestLimits{}, m_Settings, out);
    return out;
  }
  static std::string Header(const std::string& answer, const std::string& name) {
    const std::size_t at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "(none)";
    const std::size_t start = at + name.size() + 4;
    return answer.substr(start, answer.find("\r\n", start) - start);
  }
  static std::string Body(const std::string& answer) { return answer.substr(answer.find("\r\n\r\n") + 4); }

  std::filesystem::path m_Folder;
  std::optional<WebFiles> m_Files;
  AnswerSettings m_Settings;
};

TEST_F(WebPanelFiles, ServesEachFileWithItsTypeAndGzipOnlyWhenAccepted) {
  struct Row {
    std::string Request;
    std::string Type;
    std::string Encoding;
    std::string Body;
  };
  const std::vector<Row> rows = {
      {Get("/"), "text/html; charset=utf-8", "(none)", ""},
      {Get("/?from=elsewhere"), "text/html; charset=utf-8", "(none)", ""},
      {Get("/borvane-client.js", "Accept-Encoding: gzip\r\n"), "text/javascript; charset=utf-8",
       "(none)", "export {};"},  // no compressed copy: sent as it is
      {Get("/borvane-client.wasm"), "application/wasm", "(none)", kWasm},
      {Get("/borvane-client.wasm", "Accept-Encoding: deflate, GZIP\r\n"), "application/wasm", "gzip",
       "gz-bytes"},
      {Get("/borvane-client.wasm", "Accept-Encoding: gzip;q=0, br\r\n"), "application/wasm", "(none)",
       kWasm},
      {Get("/borvane-client.wasm", "Accept-Encoding: gzip;q=0.5\r\n"), "application/wasm", "gzip",
       "gz-bytes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Request);
    const std::string answer = Answer(row.Request);
    EXPECT_EQ(Statuses(answer), std::vector<int>{200});
    EXPECT_EQ(Header(answer, "Content-Type"), row.Type);
    EXPECT_EQ(Header(answer, "Content-Encoding"), row.Encoding);
    EXPECT_EQ(Header(answer, "Access-Control-Allow-Origin"), "*");
    EXPECT_EQ(Header(answer, "Content-Length"), std::to_string(Body(answer).size()));
    if (!row.Body.empty()) {
      EXPECT_EQ(Body(answer), row.Body);
    }
  }
  EXPECT_NE(Body(Answer(Get("/"))).find("<borvane-client></borvane-client>"), std::string::npos);
}

TEST_F(WebPanelFiles, AnUnchangedFileIsNotSentAgain) {
  const std::string first = Answer(Get("/borvane-client.wasm"));
  const std::string etag = Header(first, "ETag");
  const std::string gzip_etag = Header(Answer(Get("/borvane-client.wasm", "Accept-Encoding: gzip\r\n")), "ETag");
  EXPECT_NE(etag, gzip_etag);  // other bytes, another validator
  const std::string again = Answer(Get("/borvane-client.wasm", "If-None-Match: \"x\", " + etag + "\r\n"));
  EXPECT_EQ(Statuses(again), std::vector<int>{304});
  EXPECT_EQ(Body(again), "");
  // The validator of the plain file does not stand for the compressed one.
  EXPECT_EQ(Statuses(Answer(Get("/borvane-client.wasm", "Accept-Encoding: gzip\r\nIf-None-Match: " +
                                                        etag + "\r\n"))),
            std::vector<int>{200});
  const std::string head = Answer("HEAD /borvane-client.wasm HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(Body(head), "");
  EXPECT_EQ(Header(head, "Content-Length"), "10");
}

TEST_F(WebPanelFiles, WithoutTheWebPanelOnlyTheTimeIsServedAndOnlyToItsOwnOrigin) {
  EXPECT_EQ(Header(Answer(Get(kQuery)), "Access-Control-Allow-Origin"), "*");
  EXPECT_EQ(Statuses(Answer(Get("/borvane-client.js/x") + Get("/index.htm"))), (std::vector<int>{404, 404}));
  m_Settings.Web = nullptr;
  EXPECT_EQ(Statuses(Answer(Get("/") + Get("/borvane-client.wasm"))), (std::vector<int>{404, 404}));
  EXPECT_EQ(Header(Answer(Get(kQuery)), "Access-Control-Allow-Origin"), "(none)");
  // A folder without the module script holds no web panel.
  std::filesystem::remove(m_Folder / "borvane-client.js");
  EXPECT_FALSE(WebFiles::Load(m_Folder.string()).has_value());
}

}  // namespace
}  // namespace borvane
