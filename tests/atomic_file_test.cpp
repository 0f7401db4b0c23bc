// The order of the calls that make a replaced file survive a crash: the
// data on disk before the new name, the name on disk after it. No file
// system shows that order afterwards, so this test stands in for the C
// library's fsync and rename (a definition here wins over the library's for
// the whole program) and records the file each call was about.

#include "platform/posix/atomic_file.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

bool g_Recording = false;
std::vector<std::pair<std::string, ino_t>> g_Calls;  // call, inode of its file

template <class Function>
Function* Real(const char* name) {
  return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int descriptor) {
  static auto* real = Real<int(int)>("fsync");
  struct stat status {};
  if (g_Recording && ::fstat(descriptor, &status) == 0) g_Calls.emplace_back("fsync", status.st_ino);
  return real(descriptor);
}

extern "C" int rename(const char* from, const char* to) noexcept {
  static auto* real = Real<int(const char*, const char*)>("rename");
  struct stat status {};
  if (g_Recording && ::stat(from, &status) == 0) g_Calls.emplace_back("rename", status.st_ino);
  return real(from, to);
}

namespace borvane {
namespace {

namespace fs = std::filesystem;

TEST(AtomicFile, TheDataReachesTheDiskBeforeTheNameAndTheNameAfter) {
  const fs::path folder = fs::temp_directory_path() / ("borvane-atomic-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "store";
  std::ofstream(file) << "old";
  g_Recording = true;
  WriteFileAtomically(file, "new");
  g_Recording = false;

  struct stat file_status {}, folder_status {};
  ASSERT_EQ(::stat(file.c_str(), &file_status), 0);
  ASSERT_EQ(::stat(folder.c_str(), &folder_status), 0);
  std::vector<std::string> calls;
  for (const auto& [call, inode] : g_Calls) {
    calls.push_back(call + (inode == file_status.st_ino     ? " file"
                            : inode == folder_status.st_ino ? " folder"
                                                            : " other"));
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"fsync file", "rename file", "fsync folder"}));
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace borvane
