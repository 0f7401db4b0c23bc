// `borvane panel` headless: with --snapshot, and when no display is
// available, it builds the panel, runs its first query, prints the
// panel's texts and writes a PNG of it; a dead service is reported and
// fails the command, with the picture still written.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "service/time_service.h"
#include "support/process.h"

namespace borvane::testing {
namespace {

namespace fs = std::filesystem;

// Width and height from a PNG's header; {0, 0} when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> PngSize(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char head[24] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!in || !std::equal(signature, signature + 8, head)) return {0, 0};
  const auto be32 = [&](int at) {
    return (std::uint32_t{head[at]} << 24) | (std::uint32_t{head[at + 1]} << 16) |
           (std::uint32_t{head[at + 2]} << 8) | std::uint32_t{head[at + 3]};
  };
  return {be32(16), be32(20)};
}

class PanelCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Dir = fs::temp_directory_path() / ("borvane-panel-command-" + std::to_string(::getpid()));
    fs::remove_all(m_Dir);
    fs::create_directories(m_Dir);
    m_Service.Start();
  }
  void TearDown() override {
    m_Service.Stop();
    fs::remove_all(m_Dir);
  }

  TimeService m_Service{TimeServiceOptions{}};
  fs::path m_Dir;
};

TEST_F(PanelCommand, SnapshotPrintsThePanelsTextsAndWritesItsPicture) {
  const fs::path picture = m_Dir / "panel.png";
  const ProcessResult r = RunProcess(
      {BORVANE_BINARY, "panel", "--service", m_Service.BaseUrl(), "--snapshot", picture.string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Out.find(" = Borvane Time Service   Nolvera  [127.0.0.1] = \n"), std::string::npos)
      << r.Out;
  EXPECT_NE(r.Out.find("北京时间 GMT+8:00  20"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("[ ] 显示毫秒   [x] 每小时校准\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("V1.3.0.7\n"), std::string::npos) << r.Out;
  EXPECT_EQ(m_Service.TimeQueries(), 1u) << "one query, at creation";
  EXPECT_EQ(PngSize(picture), (std::pair<std::uint32_t, std::uint32_t>{353, 167}));
}

TEST_F(PanelCommand, WithoutADisplayRunsHeadlessAndWritesThePictureHere) {
  const ProcessResult r = RunProcess(
      {"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" panel --service \"$2\"", m_Dir.string(),
       BORVANE_BINARY, m_Service.BaseUrl()},
      {"DISPLAY=", "WAYLAND_DISPLAY="});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Err.find("no display"), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("本机时间"), std::string::npos) << r.Out;
  EXPECT_EQ(PngSize(m_Dir / "borvane-panel.png"),
            (std::pair<std::uint32_t, std::uint32_t>{353, 167}));
}

TEST_F(PanelCommand, ADeadServiceIsReportedAndFailsTheCommand) {
  const int port = m_Service.Port();
  m_Service.Stop();
  const fs::path picture = m_Dir / "panel.png";
  const ProcessResult r =
      RunProcess({BORVANE_BINARY, "panel", "--service", "http://127.0.0.1:" + std::to_string(port),
                  "--snapshot", picture.string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("transfer failed"), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("请点击查询按钮"), std::string::npos) << "the creation texts stay" << r.Out;
  EXPECT_EQ(PngSize(picture).first, 353u);
}

}  // namespace
}  // namespace borvane::testing
