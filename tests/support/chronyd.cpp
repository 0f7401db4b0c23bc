#include "support/chronyd.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/posix/ntp_source.h"
#include "support/ntp_stub.h"

namespace borvane::testing {

namespace {
constexpr const char* kChronyd = "/usr/sbin/chronyd";
constexpr const char* kSetpriv = "/usr/bin/setpriv";
}  // namespace

Chronyd::Chronyd() {
  if (access(kChronyd, X_OK) != 0) {
    m_Unavailable = "chronyd is not installed (Debian package chrony)";
    return;
  }
  if (access(kSetpriv, X_OK) != 0) {
    m_Unavailable = "setpriv is not installed: chronyd is not started with CAP_SYS_TIME";
    return;
  }
  char folder[] = "/tmp/borvane-chronyd-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    m_Unavailable = "no temporary folder";
    return;
  }
  m_Folder = folder;
  m_Port = FreeUdpPort();
  const std::string config = m_Folder + "/chrony.conf";
  {
    std::ofstream out(config);
    out << "port " << m_Port << "\n"
        << "bindaddress 127.0.0.1\n"
        << "allow 127.0.0.1\n"
        << "local stratum 3\n"
        << "cmdport 0\n"
        << "pidfile " << m_Folder << "/chronyd.pid\n";
  }
  const std::string log = m_Folder + "/chronyd.log";
  std::vector<std::string> args = {kSetpriv, "--bounding-set=-sys_time", "--inh-caps=-sys_time",
                                   kChronyd, "-x", "-d", "-u", "root", "-f", config};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  m_Pid = fork();
  if (m_Pid == 0) {
    const FILE* sink = freopen(log.c_str(), "w", stderr);
    (void)sink;
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (m_Pid < 0) {
    m_Unavailable = "fork failed";
    return;
  }
  // Ready when it answers.
  NtpSource probe("ntp://127.0.0.1:" + std::to_string(m_Port));
  probe.AnswerWait = std::chrono::milliseconds(200);
  for (int attempt = 0; attempt < 25; ++attempt) {
    try {
      probe.Measure(1, std::chrono::milliseconds(200));
      m_Unavailable.clear();
      return;
    } catch (const std::exception& e) {
      m_Unavailable = std::string("chronyd did not answer: ") + e.what();
    }
    int status = 0;
    if (waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
      m_Pid = -1;
      m_Unavailable = "chronyd exited at start; see " + log;
      return;
    }
  }
}

Chronyd::~Chronyd() {
  if (m_Pid > 0) {
    kill(m_Pid, SIGTERM);
    int status = 0;
    waitpid(m_Pid, &status, 0);
  }
  if (!m_Folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_Folder, ignored);
  }
}

}  // namespace borvane::testing
