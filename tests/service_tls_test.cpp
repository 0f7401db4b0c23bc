// HTTPS end to end: the service with a certificate made here for
// "localhost" by a CA made here, and the client that must refuse anything
// else rather than fall back to plain HTTP.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "container/error.h"
#include "platform/posix/curl_transfer.h"
#include "service/time_service.h"
#include "support/process.h"

namespace borvane {
namespace {

namespace fs = std::filesystem;
using testing::RunProcess;

void OpenSsl(std::vector<std::string> args) {
  args.insert(args.begin(), "/usr/bin/openssl");
  const testing::ProcessResult result = RunProcess(args);
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
}

// A CA and, signed by it, a certificate for DNS name "localhost" only.
class ServiceTls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    s_Dir = fs::temp_directory_path() / ("borvane-tls-" + std::to_string(::getpid()));
    fs::create_directories(s_Dir);
    for (const char* ca : {"ca", "other_ca"}) {
      OpenSsl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
               "-keyout", Path(std::string(ca) + ".key"), "-out", Path(std::string(ca) + ".pem"),
               "-days", "2", "-subj", std::string("/CN=borvane test ") + ca});
    }
    OpenSsl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
             Path("server.key"), "-out", Path("server.csr"), "-subj", "/CN=localhost"});
    std::ofstream(Path("server.ext")) << "subjectAltName=DNS:localhost\n";
    OpenSsl({"x509", "-req", "-in", Path("server.csr"), "-CA", Path("ca.pem"), "-CAkey", Path("ca.key"),
             "-CAcreateserial", "-out", Path("server.pem"), "-days", "2", "-extfile", Path("server.ext")});
  }
  static void TearDownTestSuite() { fs::remove_all(s_Dir); }
  static std::string Path(const std::string& name) { return (s_Dir / name).string(); }

  void SetUp() override {
    TimeServiceOptions options;
    options.threads = 1;
    options.tls_cert = Path("server.pem");
    options.tls_key = Path("server.key");
    m_Service = std::make_unique<TimeService>(options);
    m_Port = std::to_string(m_Service->Start());
  }

  // The fetch's outcome: the echoed stamp, or the failure's message.
  std::string Fetch(const std::string& base, const std::string& ca_file) {
    CurlTransfer transfer;
    transfer.SetCaFile(ca_file);
    try {
      return transfer.OpenUrl(base + "/times/nolvera.aspx?borvane=12345", std::chrono::seconds(10))
          .substr(0, 5);
    } catch (const Error& error) {
      return error.what();
    }
  }

  static inline fs::path s_Dir;
  std::unique_ptr<TimeService> m_Service;
  std::string m_Port;
};

TEST_F(ServiceTls, OnlyTheRightHostWithATrustedCertificateIsAnswered) {
  EXPECT_EQ(m_Service->BaseUrl(), "https://127.0.0.1:" + m_Port);
  EXPECT_EQ(Fetch("https://localhost:" + m_Port, Path("ca.pem")), "12345");

  struct Refused {
    std::string Base, CaFile, Says;
  };
  const std::vector<Refused> rows = {
      {"https://localhost:" + m_Port, Path("other_ca.pem"), "certificate was refused"},
      {"https://127.0.0.1:" + m_Port, Path("ca.pem"), "certificate was refused"},  // not its name
      // Plain HTTP to the TLS port: a one-line refusal, never the time.
      {"http://localhost:" + m_Port, "", "HTTP status 400: this port speaks HTTPS"},
  };
  for (const Refused& row : rows) {
    SCOPED_TRACE(row.Base + " " + row.CaFile);
    const std::string outcome = Fetch(row.Base, row.CaFile);
    EXPECT_NE(outcome, "12345");
    EXPECT_NE(outcome.find(row.Says), std::string::npos) << outcome;
  }
}

TEST_F(ServiceTls, TheCommandLineTrustsItsCaFileAndNothingElse) {
  const std::string url = "https://localhost:" + m_Port;
  const auto query = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {BORVANE_BINARY, "query", "--service", url, "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProcess(args);
  };
  const testing::ProcessResult trusted = query({"--ca-file", Path("ca.pem")});
  EXPECT_EQ(trusted.ExitCode, 0) << trusted.Err;
  EXPECT_NE(trusted.Out.find("\"serverTimeText\":\"2"), std::string::npos) << trusted.Out;

  const testing::ProcessResult untrusted = query({});  // the system's store does not know this CA
  EXPECT_NE(untrusted.ExitCode, 0);
  EXPECT_NE(untrusted.Err.find("certificate was refused"), std::string::npos) << untrusted.Err;
}

TEST(ServiceTlsSetup, UnreadableCertificatesAreReportedAtStart) {
  TimeServiceOptions options;
  options.tls_cert = "/nonexistent/server.pem";
  options.tls_key = "/nonexistent/server.key";
  TimeService service(options);
  try {
    service.Start();
    ADD_FAILURE() << "started without a certificate";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("/nonexistent/server.pem"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace borvane
