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

TEST_F(RegistryFileTest, KeepsValuesAcrossWritingAndReadingWithKeysMatchedIgnoringCase) {
  {
    RegistryFile registry(m_Path);
    EXPECT_TRUE(registry.Keys().empty());
    registry.SetValue("CLSID\\{A}\\InprocServer32", "", "C:\\lib\\borvane.ocx\nsecond line");
    registry.SetValue("CLSID\\{A}\\InprocServer32", "ThreadingModel", "Apartment");
    registry.CreateKey("CLSID\\{A}\\Control");
    std::filesystem::create_directories(m_Dir / "sub");
    std::ofstream(m_Path) << registry.ToText();
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

TEST_F(RegistryFileTest, ReadsCrLfLinesAndNamesTheLineOfADamagedFile) {
  std::filesystem::create_directories(m_Dir / "sub");
  std::ofstream(m_Path, std::ios::binary) << "[CLSID\\{A}]\r\n=a\\rb\r\nName=x\r\n\r\n[B]\r\n";
  const RegistryFile registry(m_Path);
  EXPECT_EQ(registry.GetValue("CLSID\\{A}"), "a\rb");
  EXPECT_EQ(registry.GetValue("CLSID\\{A}", "Name"), "x");
  EXPECT_TRUE(registry.HasKey("B"));
  EXPECT_EQ(RegistryFile::FromText(registry.ToText(), "again").ToText(), registry.ToText());

  struct Damaged {
    const char* Text;
    const char* Where;
  };
  for (const Damaged& row : {Damaged{"no key before this line\n", "registry:1:"},
                             Damaged{"[a]\nx=1\n[b]\nfragm", "registry:4:"},
                             Damaged{"[a]\r\n\r\n[b\r\n", "registry:3:"},
                             Damaged{"[a]\nna\rme=1\n", "registry:2:"}}) {
    try {
      (void)RegistryFile::FromText(row.Text, "registry");
      ADD_FAILURE() << "read " << row.Text;
    } catch (const std::runtime_error& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(row.Where)) << e.what();
    }
  }
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


// Two copies of the library (or two versions of its type library) share
// one registry: unregistering one copy leaves what the other wrote since.
TEST_F(RegistryFileTest, UnregisterRemovesOnlyWhatThisCopyAndVersionWrote) {
  const std::string clsid = "CLSID\\" + identity::kClientClsid.ToString();
  const std::string libid = "TypeLib\\" + identity::kTypeLibId.ToString();
  const std::string events = "Interface\\" + identity::kClientEventsIid.ToString();
  RegistryFile registry(m_Path);
  // An older version of the type library, registered by some other file.
  registry.SetValue(libid + "\\1f.0\\409\\win64", "", "/old/libborvane.so");

  for (const char* copy : {"/a/libborvane.so", "/b/libborvane.so"}) {
    registry.Apply(ClientRegistration(copy));
    registry.Apply(TypeLibRegistration(copy));
  }
  registry.Remove(ClientRegistration("/a/libborvane.so"));
  registry.Remove(TypeLibRegistration("/a/libborvane.so"));
  EXPECT_EQ(registry.GetValue(clsid + "\\InprocServer32"), "/b/libborvane.so");
  EXPECT_EQ(registry.GetValue("borvane.client\\CLSID"), identity::kClientClsid.ToString());
  EXPECT_EQ(registry.GetValue(libid + "\\20.0\\409\\win64"), "/b/libborvane.so");
  EXPECT_TRUE(registry.HasKey(events));

  registry.SetValue(events + "\\TypeLib", "Version", "21.0");
  registry.Remove(ClientRegistration("/b/libborvane.so"));
  registry.Remove(TypeLibRegistration("/b/libborvane.so"));
  EXPECT_FALSE(registry.HasKey(clsid));
  EXPECT_FALSE(registry.HasKey("borvane.client"));
  EXPECT_FALSE(registry.HasKey(libid + "\\20.0"));
  EXPECT_FALSE(registry.HasKey("Interface\\" + identity::kClientIid.ToString()));
  EXPECT_TRUE(registry.HasKey(events)) << "routed to another version since";
  EXPECT_EQ(registry.GetValue(libid + "\\1f.0\\409\\win64"), "/old/libborvane.so");
}

}  // namespace
}  // namespace borvane
