// The identity table and the identifier type the component builds share.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "library/identity.h"
#include "library/registration.h"

namespace borvane {
namespace {

TEST(Guid, ParsesWithOrWithoutBracesAndWritesUpperCase) {
  const auto guid = Guid::Parse("{39475702-fffc-4d08-ae12-e42fee8fa153}");
  ASSERT_TRUE(guid.has_value());
  EXPECT_EQ(*guid, identity::kClientIid);
  EXPECT_EQ(guid->ToString(), "{39475702-FFFC-4D08-AE12-E42FEE8FA153}");
  EXPECT_EQ(Guid::Parse("39475702-FFFC-4D08-AE12-E42FEE8FA153"), identity::kClientIid);
}

TEST(Guid, RejectsMalformedText) {
  EXPECT_FALSE(Guid::Parse(""));
  EXPECT_FALSE(Guid::Parse("39475702-FFFC-4D08-AE12-E42FEE8FA15"));
  EXPECT_FALSE(Guid::Parse("39475702-FFFC-4D08-AE12_E42FEE8FA153"));
  EXPECT_FALSE(Guid::Parse("3947570G-FFFC-4D08-AE12-E42FEE8FA153"));
  EXPECT_FALSE(Guid::Parse("{39475702-FFFC-4D08-AE12-E42FEE8FA153"));
}

TEST(Guid, LaysOutBytesAsThePlatformDoes) {
  const auto bytes = identity::kClientIid.ToBytes();
  const std::array<std::uint8_t, 16> expected{0x02, 0x57, 0x47, 0x39, 0xFC, 0xFF, 0x08, 0x4D,
                                              0xAE, 0x12, 0xE4, 0x2F, 0xEE, 0x8F, 0xA1, 0x53};
  EXPECT_EQ(bytes, expected);
}

TEST(IdentityTable, ClassesAreInObjectIndexOrderWithDistinctIdentifiers) {
  std::set<std::string> seen;
  for (std::size_t i = 0; i < identity::kClasses.size(); ++i) {
    const auto& entry = identity::kClasses[i];
    EXPECT_EQ(entry.ObjectIndex, static_cast<int>(i));
    for (const Guid& guid : {entry.Clsid, entry.DefaultInterface, entry.EventInterface}) {
      EXPECT_TRUE(seen.insert(guid.ToString()).second) << guid.ToString();
    }
  }
  EXPECT_TRUE(seen.insert(identity::kTypeLibId.ToString()).second);
  EXPECT_TRUE(seen.insert(identity::kSystemTimeId.ToString()).second);
  EXPECT_EQ(identity::kClasses[0].Name, "client");
  EXPECT_TRUE(identity::kClasses[0].Public);
  EXPECT_FALSE(identity::kClasses[1].Public);
  EXPECT_FALSE(identity::kClasses[2].Public);
}

TEST(IdentityTable, VersionTextMatchesTheNumbers) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%02u.%04u", identity::kVersionMajor,
                identity::kVersionMinor, identity::kVersionRevision);
  EXPECT_EQ(identity::kVersionText, text);
  EXPECT_EQ(TypeLibVersionKey(), "20.0");
}

// The table is the one place the library's identifiers are written: the type
// library source and the resource script get them from it at build time, and
// no source file spells one out again.
TEST(IdentityTable, NoSourceFileRepeatsAnIdentifier) {
  std::vector<std::string> identifiers{identity::kTypeLibId.ToString(),
                                       identity::kSystemTimeId.ToString()};
  for (const auto& entry : identity::kClasses) {
    for (const Guid& guid : {entry.Clsid, entry.DefaultInterface, entry.EventInterface}) {
      identifiers.push_back(guid.ToString());
    }
  }
  const std::filesystem::path root(BORVANE_SOURCE_DIR);
  const std::filesystem::path table = root / "library" / "identity.h";
  int files = 0;
  for (const char* folder : {"library", "platform", "client", "container", "app", "service",
                             "xpcmdbutton", "xpgroupbox", "cmake", "tools", "resources"}) {
    if (!std::filesystem::exists(root / folder)) continue;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root / folder)) {
      if (!item.is_regular_file() || item.path() == table) continue;
      std::ifstream in(item.path(), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      std::string upper = text.str();
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      ++files;
      for (const auto& braced : identifiers) {
        // Without braces: the IDL and plain text write them bare.
        EXPECT_EQ(upper.find(braced.substr(1, 36)), std::string::npos)
            << item.path() << " repeats " << braced;
      }
    }
  }
  EXPECT_GT(files, 20);
}

}  // namespace
}  // namespace borvane
