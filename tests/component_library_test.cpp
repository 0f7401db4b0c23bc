// libborvane.so as a host loads it: dlopen, the four entry points,
// registration into a temporary registry file, creation by ProgID and by
// class identifier, and calls by dispatch identifier against the reference
// time service on loopback.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "library/component.h"
#include "library/identity.h"
#include "library/registration.h"
#include "library/registry_file.h"
#include "platform/linux/locked_registry_store.h"
#include "service/time_service.h"

namespace borvane {
namespace {

using RegisterFn = HResult (*)();
using GetClassObjectFn = HResult (*)(const Guid*, const Guid*, void**);

class ComponentLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Dir = std::filesystem::temp_directory_path() /
            ("borvane_component_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_Dir);
    m_Registry = (m_Dir / "registry").string();
    ::setenv("BORVANE_REGISTRY", m_Registry.c_str(), 1);
    m_Service = std::make_unique<TimeService>(TimeServiceOptions{});
    m_Service->Start();
    ::setenv("BORVANE_SERVICE_URL", m_Service->BaseUrl().c_str(), 1);

    m_Library = ::dlopen(BORVANE_COMPONENT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_Library, nullptr) << ::dlerror();
    m_Register = reinterpret_cast<RegisterFn>(::dlsym(m_Library, "DllRegisterServer"));
    m_Unregister = reinterpret_cast<RegisterFn>(::dlsym(m_Library, "DllUnregisterServer"));
    m_CanUnload = reinterpret_cast<RegisterFn>(::dlsym(m_Library, "DllCanUnloadNow"));
    m_GetClassObject = reinterpret_cast<GetClassObjectFn>(::dlsym(m_Library, "DllGetClassObject"));
    ASSERT_TRUE(m_Register && m_Unregister && m_CanUnload && m_GetClassObject);
  }
  void TearDown() override {
    if (m_Library != nullptr) ::dlclose(m_Library);
    m_Service->Stop();
    ::unsetenv("BORVANE_REGISTRY");
    ::unsetenv("BORVANE_SERVICE_URL");
    std::filesystem::remove_all(m_Dir);
  }

  // What a host does with a class identifier: factory, object, its
  // dispatch interface.
  com::IAutomation* Create(const Guid& clsid) {
    void* raw = nullptr;
    if (m_GetClassObject(&clsid, &com::kIidClassFactory, &raw) != kOk) return nullptr;
    auto* factory = static_cast<com::IClassFactory*>(raw);
    void* object = nullptr;
    const HResult result = factory->CreateInstance(nullptr, com::kIidDispatch, &object);
    factory->Release();
    return result == kOk ? static_cast<com::IAutomation*>(object) : nullptr;
  }

  std::filesystem::path m_Dir;
  std::string m_Registry;
  std::unique_ptr<TimeService> m_Service;
  void* m_Library = nullptr;
  RegisterFn m_Register = nullptr;
  RegisterFn m_Unregister = nullptr;
  RegisterFn m_CanUnload = nullptr;
  GetClassObjectFn m_GetClassObject = nullptr;
};

TEST_F(ComponentLibraryTest, RegistersAndCreatesClientByProgIdAndDecodesThroughDispatch) {
  ASSERT_EQ(m_Register(), kOk);
  const RegistryFile registry(m_Registry);
  const auto clsid_text = registry.GetValue("borvane.client\\CLSID");
  ASSERT_TRUE(clsid_text.has_value());
  const auto clsid = Guid::Parse(*clsid_text);
  ASSERT_TRUE(clsid.has_value());
  EXPECT_EQ(*clsid, identity::kClientClsid);
  EXPECT_EQ(std::filesystem::canonical(*registry.GetValue("CLSID\\" + *clsid_text + "\\InprocServer32")),
            std::filesystem::canonical(BORVANE_COMPONENT));

  com::IAutomation* panel = Create(*clsid);
  ASSERT_NE(panel, nullptr);
  std::int32_t dispid = 0;
  ASSERT_EQ(panel->GetIDsOfNames("DeCrypt", &dispid), kOk);
  EXPECT_EQ(dispid, 0x60030001);

  // 2005-04-27 12:34:56.789 as the service encodes it for the key 53190427.
  Variant text("40763,6-98&-4::5@18.>9?");
  Variant key(std::int32_t{53190427});
  std::array<Variant*, 2> args{&text, &key};
  Variant result;
  ASSERT_EQ(panel->Invoke(dispid, args.data(), 2, &result, nullptr), kOk);
  EXPECT_EQ(result.ToText(), "2005-04-27 12:34:56.789");
  EXPECT_EQ(key.ToDouble(), 6.0);
  ASSERT_EQ(panel->Invoke(dispid, args.data(), 2, &result, nullptr), kOk);
  EXPECT_EQ(key.ToDouble(), 0.0);
  EXPECT_EQ(panel->Release(), 0u);
}

TEST_F(ComponentLibraryTest, DisplayTimeQueriesTheServiceAndReportsItsLoss) {
  com::IAutomation* panel = Create(identity::kClientClsid);
  ASSERT_NE(panel, nullptr);
  Variant result("stale");
  DispatchException exception;
  ASSERT_EQ(panel->Invoke(identity::kDispIdDisplayTime, nullptr, 0, &result, &exception), kOk)
      << exception.Description;
  EXPECT_EQ(result.GetType(), Variant::Type::String);
  EXPECT_EQ(result.ToText(), "");

  Variant extra;
  std::array<Variant*, 1> one{&extra};
  EXPECT_EQ(panel->Invoke(identity::kDispIdDisplayTime, one.data(), 1, &result, nullptr),
            kDispBadParamCount);
  EXPECT_EQ(panel->Invoke(0x60030005, nullptr, 0, &result, nullptr), kDispMemberNotFound);

  // With the service gone the transfer fails, and the host hears of it.
  m_Service->Stop();
  EXPECT_EQ(panel->Invoke(identity::kDispIdDisplayTime, nullptr, 0, &result, &exception),
            kDispException);
  EXPECT_EQ(exception.Code, 35750);
  panel->Release();
}

TEST_F(ComponentLibraryTest, RefusesForeignClassesAndCountsLiveObjects) {
  const Guid foreign{"12345678-1234-1234-1234-123456789ABC"};
  void* raw = reinterpret_cast<void*>(1);
  EXPECT_EQ(m_GetClassObject(&foreign, &com::kIidClassFactory, &raw), kClassNotAvailable);
  EXPECT_EQ(raw, nullptr);

  EXPECT_EQ(m_CanUnload(), kOk);
  com::IAutomation* panel = Create(identity::kClientClsid);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(m_CanUnload(), kFalse);
  panel->Release();
  EXPECT_EQ(m_CanUnload(), kOk);
}

TEST_F(ComponentLibraryTest, UnregisterRemovesEverythingAndRegisteringAgainGivesTheSameIdentities) {
  std::filesystem::create_directories(m_Dir);
  // Written on the other platform: CR LF line ends.
  std::ofstream(m_Registry, std::ios::binary)
      << "[CLSID\\{00000000-0000-0000-0000-00000000ABCD}]\r\n=another control\r\n";
  ASSERT_EQ(m_Register(), kOk);
  const RegistryFile first(m_Registry);
  const std::string clsid_key = "CLSID\\" + identity::kClientClsid.ToString();
  const auto typelib = first.GetValue(clsid_key + "\\TypeLib");
  const auto progid = first.GetValue(clsid_key + "\\ProgID");
  EXPECT_EQ(first.GetValue(clsid_key + "\\MiscStatus\\1"), "131473");

  ASSERT_EQ(m_Unregister(), kOk);
  const RegistryFile emptied(m_Registry);
  ASSERT_EQ(emptied.Keys().size(), 1u);
  EXPECT_EQ(emptied.Keys()[0], "CLSID\\{00000000-0000-0000-0000-00000000ABCD}");

  ASSERT_EQ(m_Register(), kOk);
  const RegistryFile again(m_Registry);
  EXPECT_EQ(again.GetValue("borvane.client\\CLSID"), identity::kClientClsid.ToString());
  EXPECT_EQ(again.GetValue(clsid_key + "\\TypeLib"), typelib);
  EXPECT_EQ(again.GetValue(clsid_key + "\\ProgID"), progid);
  EXPECT_EQ(again.Keys(), first.Keys());
}

TEST_F(ComponentLibraryTest, ADamagedRegistryFileFailsNamingItsLineAndStaysAsItWas) {
  std::filesystem::create_directories(m_Dir);
  const std::string damaged = "[borvane.client]\n=borvane.client\n[CLSID\\{C5D0DF";
  std::ofstream(m_Registry, std::ios::binary) << damaged;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(m_Register(), kRegistryWriteFailed);
  EXPECT_EQ(m_Unregister(), kRegistryWriteFailed);
  const std::string reported = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(reported.find(m_Registry + ":3: not a registry line"), std::string::npos) << reported;
  std::ifstream in(m_Registry, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), damaged);
}

// Hosts in several processes register and unregister two copies of the
// library at once while another writer counts in the same file: every call
// succeeds, no change is lost, and the file reads whole between any two.
TEST(SharedRegistry, ConcurrentWritersLoseNoChangeAndNeverTearTheFile) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("borvane_shared_registry_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string registry = (dir / "registry").string();
  ::setenv("BORVANE_REGISTRY", registry.c_str(), 1);
  const std::array<std::filesystem::path, 2> copies{dir / "a.so", dir / "b.so"};
  for (const auto& copy : copies) std::filesystem::copy_file(BORVANE_COMPONENT, copy);
  const auto count = [&registry] {
    LockedRegistryStore(registry).Update([](RegistryFile& file) {
      const auto value = file.GetValue("Counter");
      file.SetValue("Counter", "", std::to_string(value ? std::stoi(*value) + 1 : 1));
    });
  };

  constexpr int kProcesses = 4;
  constexpr int kRounds = 10;
  std::vector<pid_t> children;
  for (int child = 0; child < kProcesses; ++child) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // The exit status counts failed calls and unreadable files.
      int failures = 0;
      void* library = ::dlopen(copies[child % 2].c_str(), RTLD_NOW | RTLD_LOCAL);
      if (library == nullptr) ::_exit(100);
      const auto reg = reinterpret_cast<RegisterFn>(::dlsym(library, "DllRegisterServer"));
      const auto unreg = reinterpret_cast<RegisterFn>(::dlsym(library, "DllUnregisterServer"));
      for (int round = 0; round < kRounds; ++round) {
        for (const RegisterFn call : {reg, unreg}) {
          failures += call() != kOk;
          try {
            count();
            (void)RegistryFile(registry);
          } catch (const std::exception&) {
            ++failures;
          }
        }
      }
      ::_exit(failures > 99 ? 99 : failures);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed calls or torn reads in process " << pid;
  }
  const RegistryFile after(registry);
  EXPECT_EQ(after.GetValue("Counter"), std::to_string(kProcesses * kRounds * 2));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"a.so", "b.so", "registry", "registry.lock"}))
      << "no temporary file left behind";
  ::unsetenv("BORVANE_REGISTRY");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace borvane
