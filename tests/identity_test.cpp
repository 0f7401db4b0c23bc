// The identity table and the identifier type the component builds share.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

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

// Hosts, saved forms and registered machines know the component by these
// values: one changed digit makes another component. So each is written out
// here once more, against the table.
TEST(IdentityTable, EveryIdentifierKeepsItsPublishedValue) {
  const std::pair<Guid, std::string_view> identifiers[] = {
      {identity::kTypeLibId, "79299DA5-372A-4431-8DDA-E5EE79DD9C0D"},
      {identity::kStdOle2Id, "00020430-0000-0000-C000-000000000046"},
      {identity::kClientClsid, "C5D0DFF5-6D39-4F98-88CD-12E8430A6300"},
      {identity::kClientIid, "39475702-FFFC-4D08-AE12-E42FEE8FA153"},
      {identity::kClientEventsIid, "3ADDE677-27EF-4688-9194-DCB0CEB37001"},
      {identity::kGroupBoxClsid, "C8E6808A-D183-4623-AC36-95EE0BDDBE2F"},
      {identity::kGroupBoxIid, "AAEA4E91-7835-4478-BB60-EA7B68ECDDA6"},
      {identity::kGroupBoxEventsIid, "28485F77-F396-40F7-B28B-FA1579DB88E3"},
      {identity::kButtonClsid, "6B629CAB-1A0A-446B-B00E-3A0E37C1FCC9"},
      {identity::kButtonIid, "5D8D1904-12EB-4F58-8AE9-59893225DBB9"},
      {identity::kButtonEventsIid, "14688CC2-0E74-44C0-A4AA-B1039F21C90D"},
      {identity::kSystemTimeId, "E4BCF5EB-D514-4031-A7E0-0C5781AFB4F1"},
  };
  for (const auto& [guid, text] : identifiers) {
    EXPECT_EQ(guid.ToString(), "{" + std::string(text) + "}");
  }
  const std::pair<std::int64_t, std::int64_t> numbers[] = {
      {identity::kTypeLibMajor, 32},          {identity::kTypeLibMinor, 0},
      {identity::kTypeLibLocale, 0x0409},     {identity::kTypeLibFlags, 0x2},
      {identity::kClientMiscStatus, 131473},  {identity::kGroupBoxMiscStatus, 0x30191},
      {identity::kButtonMiscStatus, 0x21191}, {identity::kDispIdDisplayTime, 0x60030000},
      {identity::kDispIdDeCrypt, 0x60030001}, {identity::kTypeLibResource, 1},
      {identity::kToolboxBitmapResource, 30000}, {identity::kVersionMajor, 1},
      {identity::kVersionMinor, 3},           {identity::kVersionBuild, 0},
      {identity::kVersionRevision, 8},
  };
  for (std::size_t i = 0; i < std::size(numbers); ++i) {
    EXPECT_EQ(numbers[i].first, numbers[i].second) << "number " << i;
  }
  const std::pair<std::string_view, std::string_view> names[] = {
      {identity::kTypeLibName, "borvane"},
      {identity::kClientProgId, "borvane.client"},
      {identity::kGroupBoxProgId, "borvane.xpgroupbox"},
      {identity::kButtonProgId, "borvane.xpcmdbutton"},
      {identity::kThreadingModel, "Apartment"},
      {identity::kVersionText, "1.03.0008"},
  };
  for (const auto& [name, text] : names) EXPECT_EQ(name, text);
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
