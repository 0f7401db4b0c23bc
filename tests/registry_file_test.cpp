// The Linux build's registry file and the registration items written to it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "library/identity.h"
#include "library/registration.h"
#include "library/registry_file.h"

namespace borvane {
namespace {

class RegistryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Dir = std::filesystem::temp_directory_path() /
            ("borvane_registry_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_Dir);
    m_Path = (m_Dir / "sub" / "registry").string();
  }
  void TearDown() override { std::filesystem::remove_all(m_Dir); }

  std::filesystem::path m_Dir;
  std::string m_Path;
};

TEST_F(RegistryFileTest, KeepsValuesAcrossSaveAndLoadWithKeysMatchedIgnoringCase) {
  {
    RegistryFile registry(m_Path);
    EXPECT_TRUE(registry.Keys().empty());
    registry.SetValue("CLSID\\{A}\\InprocServer32", "", "C:\\lib\\borvane.ocx\nsecond line");
    registry.SetValue("CLSID\\{A}\\InprocServer32", "ThreadingModel", "Apartment");
    registry.CreateKey("CLSID\\{A}\\Control");
    registry.Save();
  }
  RegistryFile registry(m_Path);
  EXPECT_EQ(registry.GetValue("clsid\\{a}\\inprocserver32"), "C:\\lib\\borvane.ocx\nsecond line");
  EXPECT_EQ(registry.GetValue("CLSID\\{A}\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_FALSE(registry.GetValue("CLSID\\{A}\\InprocServer32", "Other"));
  EXPECT_TRUE(registry.HasKey("CLSID\\{A}\\Control"));
  EXPECT_TRUE(registry.HasKey("clsid\\{a}"));
  EXPECT_FALSE(registry.HasKey("CLSID\\{A}\\Contro"));
}

TEST_F(RegistryFileTest, DeleteTreeTakesChildrenButNotNeighboursThatSortBetween) {
  RegistryFile registry(m_Path);
  registry.SetValue("a", "", "1");
  registry.SetValue("a-b", "", "neighbour");
  registry.SetValue("a\\b", "", "child");
  registry.SetValue("ab", "", "neighbour");
  registry.DeleteTree("A");
  EXPECT_FALSE(registry.HasKey("a"));
  EXPECT_FALSE(registry.HasKey("a\\b"));
  EXPECT_EQ(registry.GetValue("a-b"), "neighbour");
  EXPECT_EQ(registry.GetValue("ab"), "neighbour");
}

TEST_F(RegistryFileTest, RejectsAFileThatIsNotARegistry) {
  std::filesystem::create_directories(m_Dir / "sub");
  std::ofstream(m_Path) << "no key before this line\n";
  EXPECT_THROW(RegistryFile registry(m_Path), std::runtime_error);
}

TEST_F(RegistryFileTest, ClientRegistrationWritesTheControlItemsAndRemovesThemAll) {
  RegistryFile registry(m_Path);
  registry.SetValue("CLSID\\{OTHER}", "", "someone else's");
  const auto client = ClientRegistration("/opt/libborvane.so");
  const auto typelib = TypeLibRegistration("/opt/libborvane.so");
  registry.Apply(client);
  registry.Apply(typelib);

  const std::string clsid = "CLSID\\{C5D0DFF5-6D39-4F98-88CD-12E8430A6300}";
  EXPECT_EQ(registry.GetValue("borvane.client\\CLSID"), identity::kClientClsid.ToString());
  EXPECT_EQ(registry.GetValue(clsid + "\\ProgID"), "borvane.client");
  EXPECT_EQ(registry.GetValue(clsid + "\\InprocServer32"), "/opt/libborvane.so");
  EXPECT_EQ(registry.GetValue(clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_TRUE(registry.HasKey(clsid + "\\Control"));
  EXPECT_EQ(registry.GetValue(clsid + "\\MiscStatus\\1"), "131473");
  EXPECT_EQ(registry.GetValue(clsid + "\\ToolboxBitmap32"), "/opt/libborvane.so, 30000");
  EXPECT_EQ(registry.GetValue(clsid + "\\TypeLib"), "{79299DA5-372A-4431-8DDA-E5EE79DD9C0D}");
  EXPECT_EQ(registry.GetValue(clsid + "\\Version"), "32.0");
  EXPECT_EQ(registry.GetValue("TypeLib\\{79299DA5-372A-4431-8DDA-E5EE79DD9C0D}\\20.0\\FLAGS"), "2");
  EXPECT_EQ(registry.GetValue("Interface\\{3ADDE677-27EF-4688-9194-DCB0CEB37001}"), "__client");

  registry.Remove(client);
  registry.Remove(typelib);
  ASSERT_EQ(registry.Keys().size(), 1u);
  EXPECT_EQ(registry.Keys()[0], "CLSID\\{OTHER}");
}

}  // namespace
}  // namespace borvane
