// The property store: names, defaults, and its text form.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "container/error.h"
#include "container/property_store.h"

namespace borvane {
namespace {

TEST(PropertyStoreNames, MatchWithoutRegardToCase) {
  PropertyStore store;
  store.Write("Caption", "查询", "Command1");
  EXPECT_EQ(store.Read("caption", "x").ToText(), "查询");
  EXPECT_EQ(store.Read("CAPTION", "x").ToText(), "查询");
  store.Write("CAPTION", "设置", "Command1");
  ASSERT_EQ(store.Entries().size(), 1u) << "one entry per name, whatever its case";
  EXPECT_EQ(store.Read("Caption", "x").ToText(), "设置");
  EXPECT_EQ(store.Read("Font", 5).ToInt32(), 5) << "missing name gives the default";
}

TEST(PropertyStoreDefaults, KeepsNoEntryEqualToItsDefault) {
  PropertyStore store;
  store.Write("State", 0, 0);
  store.Write("Enabled", true, true);
  EXPECT_TRUE(store.Entries().empty());
  store.Write("State", 1, 0);
  EXPECT_TRUE(store.Contains("state"));
  store.Write("state", std::int16_t{0}, 0);  // equal by value across widths
  EXPECT_FALSE(store.Contains("State")) << "writing the default removes the old entry";
  store.Write("Font", MakeFont("Arial", 9), MakeFont("Arial", 9));
  EXPECT_FALSE(store.Contains("Font")) << "fonts equal by attributes";
}

TEST(PropertyStoreNames, RejectsNamesTheTextFormCannotHold) {
  PropertyStore store;
  for (const char* bad : {"", "a b", "a=b", "a{", "#a", "a\"b"}) {
    try {
      store.Write(bad, 1, 0);
      FAIL() << "accepted \"" << bad << "\"";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::InvalidPropertyValue);
    }
  }
}

TEST(PropertyText, RoundTripsEveryType) {
  PropertyStore store;
  auto bold = MakeFont("Liberation Sans", 10.5, true);
  bold->Italic = bold->Underline = bold->Strikethrough = true;
  store.Write("E", Variant(), 1);
  store.Write("T", true, false);
  store.Write("F", false, true);
  store.Write("I", std::int16_t{-32768}, 0);
  store.Write("L", std::int32_t{-2147483647 - 1}, 0);
  store.Write("D", 0.1, 0);
  store.Write("Whole", 3.0, 0);
  store.Write("Big", 1e300, 0);
  store.Write("Inf", -std::numeric_limits<double>::infinity(), 0);
  // Subnormals and the extremes read back bit for bit.
  store.Write("Tiny", std::numeric_limits<double>::denorm_min(), 0);
  store.Write("Sub", 1e-310, 0);
  store.Write("Max", -std::numeric_limits<double>::max(), 0);
  store.Write("Third", 1.0 / 3.0, 0);
  store.Write("S", "say \"hi\"\\\n\t\r\x01 查询 # = { }", "");
  store.Write("Font", bold, Variant());
  store.Write("Plain", MakeFont("宋体", 9), Variant());
  store.Write("None", FontRef{}, 0);
  store.Block("Command1").Write("Caption", "查询", "");

  const std::string text = store.ToText();
  const PropertyStore back = PropertyStore::FromText(text);
  ASSERT_EQ(back.Entries().size(), store.Entries().size()) << text;
  for (std::size_t i = 0; i < store.Entries().size(); ++i) {
    const auto& want = store.Entries()[i];
    const auto& got = back.Entries()[i];
    EXPECT_EQ(got.Name, want.Name);
    EXPECT_EQ(got.Value.GetType(), want.Value.GetType()) << want.Name;
    EXPECT_TRUE(got.Value == want.Value) << want.Name << " in\n" << text;
  }
  EXPECT_EQ(back.Read("D", 0).ToDouble(), 0.1);
  EXPECT_EQ(back.Read("Whole", 0).GetType(), Variant::Type::Double);
  EXPECT_EQ(*back.Read("Font", 0).ToFont(), *bold);
  EXPECT_FALSE(back.Read("None", 1).FontOrNothing());
  ASSERT_NE(back.FindBlock("command1"), nullptr);
  EXPECT_EQ(back.FindBlock("command1")->Read("caption", "").ToText(), "查询");
  EXPECT_EQ(back.ToText(), text);

  PropertyStore nan_store;
  nan_store.Write("N", std::numeric_limits<double>::quiet_NaN(), 0);
  EXPECT_TRUE(std::isnan(PropertyStore::FromText(nan_store.ToText()).Read("N", 0).ToDouble()));
}

TEST(PropertyText, IsOneReadableLinePerEntryWithNestedBlocks) {
  PropertyStore store;
  store.Write("Caption", "查询", "");
  store.Write("Font", MakeFont("Arial", 9, true), Variant());
  store.Block("lbl").Write("Left", 15, 0);
  EXPECT_EQ(store.ToText(),
            "Caption = \"查询\"\n"
            "Font = Font(\"Arial\", 9.0, Bold)\n"
            "lbl {\n"
            "  Left = 15\n"
            "}\n");
}

TEST(PropertyText, ReadsHandWrittenDesignData) {
  const PropertyStore store = PropertyStore::FromText(
      "# the query button\n"
      "\n"
      "Command1 {\n"
      "  caption   =  \"查询\"   \n"
      "  font = Font( \"宋体\" , 9 )\n"
      "  _extentx = 1085\n"
      "  State = 1%\n"
      "}\n");
  const PropertyStore* button = store.FindBlock("Command1");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->Read("Caption", "").ToText(), "查询");
  EXPECT_EQ(button->Read("Font", 0).ToFont()->Name, "宋体");
  EXPECT_EQ(button->Read("Font", 0).ToFont()->Size, 9.0);
  EXPECT_EQ(button->Read("_ExtentX", 0).GetType(), Variant::Type::Long);
  EXPECT_EQ(button->Read("state", 0).GetType(), Variant::Type::Integer);
}

TEST(PropertyText, BoundsBlockNestingOnReadAndWrite) {
  const auto opened = [](std::size_t depth) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += "a {\n";
    return text;
  };
  const std::size_t limit = PropertyStore::kMaxDepth;
  std::string closed = opened(limit);
  for (std::size_t i = 0; i < limit; ++i) closed += "}\n";
  const PropertyStore deepest = PropertyStore::FromText(closed);
  EXPECT_EQ(PropertyStore::FromText(deepest.ToText()).ToText(), deepest.ToText());

  // Deeper text fails on its first line too deep, before any stack or
  // memory goes to it.
  for (const std::size_t depth : {limit + 1, std::size_t{100000}}) {
    try {
      (void)PropertyStore::FromText(opened(depth));
      FAIL() << "read blocks " << depth << " deep";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::InvalidFileFormat);
      EXPECT_NE(std::string(e.what()).find("line 65:"), std::string::npos) << e.what();
    }
  }

  PropertyStore built;
  PropertyStore* inner = &built;
  for (std::size_t i = 0; i <= limit; ++i) inner = &inner->Block("a");
  try {
    (void)built.ToText();
    FAIL() << "wrote blocks deeper than it reads";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::InvalidPropertyValue);
  }
}

TEST(PropertyText, WritesNoFontSizeItWouldRefuseToRead) {
  for (const double size : {0.0, 4096.0, std::numeric_limits<double>::quiet_NaN()}) {
    PropertyStore store;
    store.Write("Font", Variant(MakeFont("Arial", size)), Variant(FontRef{}));
    try {
      (void)store.ToText();
      FAIL() << "wrote a font of " << size << " pt";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::InvalidPropertyValue) << size;
    }
  }
}

TEST(PropertyText, BadTextNamesItsLine) {
  for (const char* bad : {"A = \"open", "A = 12abc", "A = 99999%", "A = 3000000000",
                          "A {\nB = 1", "}", "just words", "A = Font(\"x\")",
                          "A = Font(\"x\", 9, Heavy)", "A =", "A = \"x\" y", "A = \"\\q\""}) {
    try {
      (void)PropertyStore::FromText(bad);
      FAIL() << "read: " << bad;
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::InvalidFileFormat) << bad;
    }
  }
  try {
    (void)PropertyStore::FromText("A = 1\nB = nope\n");
    FAIL() << "read a bad second line";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace borvane
