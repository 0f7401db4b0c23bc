#include "service/time_encoding.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <stdexcept>

#include "client/decrypt.h"

namespace borvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::system_clock;

std::string Decode(const std::string& encoded) {
  Variant text(encoded);
  Variant key(kDecoderKey);
  return DeCrypt(text, key);
}

system_clock::time_point At(std::int64_t unix_ms) {
  return system_clock::time_point(milliseconds(unix_ms));
}

TEST(EncodeTime, DefaultShiftIsTheOneTheDecoderKeyYields) {
  EXPECT_EQ(DeriveShift(std::to_string(kDecoderKey)), kEncoderShift);
}

TEST(EncodeTime, DecoderRestoresRandomServiceTimes) {
  std::mt19937_64 random(20050427);
  // 1970 to 2200, any millisecond.
  std::uniform_int_distribution<std::int64_t> instant(0, 7'258'118'400'000);
  for (int i = 0; i < 20000; ++i) {
    const std::string plain = FormatBeijingTime(At(instant(random)));
    const std::string encoded = EncodeTime(plain);
    ASSERT_EQ(encoded.size(), 23u) << plain;
    ASSERT_EQ(Decode(encoded), plain);
  }
}

TEST(EncodeTime, EveryPhaseMovesByTheOppositeOfTheDecoder) {
  // With K = 6 the decoder maps phases 1..5, 0 to A-2, A, A-7, A-1, A-6,
  // A+4, so encoding adds 2, 0, 7, 1, 6 and subtracts 4.
  EXPECT_EQ(EncodeTime("000000"), std::string({'2', '0', '7', '1', '6', ','}));
  EXPECT_EQ(EncodeTime(""), "");
  // Another shift follows the same rule with the sign of each phase.
  EXPECT_EQ(EncodeTime("aaaaaaa", 0), std::string({'a' - 4, 'a' + 6, 'a' + 1, 'a' + 7, 'a',
                                                   'a' + 2, 'a' - 4}));
}

TEST(EncodeTime, NonAsciiTextSurvivesTheRoundTrip) {
  const std::string plain = "北京时间 2005-04-27";
  EXPECT_EQ(Decode(EncodeTime(plain)), plain);
}

TEST(EncodeTime, RefusesCharactersThatCannotBeEncoded) {
  // Phase 1 adds 2 with K = 6 (decode subtracts 2): U+10FFFE would pass the top.
  EXPECT_THROW(EncodeTime("\xF4\x8F\xBF\xBE"), std::invalid_argument);
  // The sixth position (phase 0) loses 4: code 3 would go below 0.
  EXPECT_THROW(EncodeTime(std::string("00000") + '\x03'), std::invalid_argument);
}

TEST(FormatBeijingTime, IsEightHoursAheadOfUtcWithMilliseconds) {
  EXPECT_EQ(FormatBeijingTime(At(0)), "1970-01-01 08:00:00.000");
  // 2005-04-27 15:59:59.999 UTC is past midnight in Beijing.
  EXPECT_EQ(FormatBeijingTime(At(1'114'617'599'999)), "2005-04-27 23:59:59.999");
  EXPECT_EQ(FormatBeijingTime(At(1'114'617'600'000)), "2005-04-28 00:00:00.000");
  // Leap day, and the last millisecond of a leap year.
  EXPECT_EQ(FormatBeijingTime(At(951'782'400'000)), "2000-02-29 08:00:00.000");
  EXPECT_EQ(FormatBeijingTime(At(1'735'660'799'999)), "2024-12-31 23:59:59.999");
}

TEST(FormatBeijingTime, TruncatesSubMillisecondsTowardsThePast) {
  const auto time = At(1'000) + std::chrono::microseconds(999);
  EXPECT_EQ(FormatBeijingTime(time), "1970-01-01 08:00:01.000");
  EXPECT_EQ(FormatBeijingTime(At(0) - std::chrono::microseconds(1)), "1970-01-01 07:59:59.999");
}

TEST(FormatHttpDate, GivesTheImfFixdateInGmt) {
  EXPECT_EQ(FormatHttpDate(At(784'111'777'000)), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(FormatHttpDate(At(0)), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(FormatHttpDate(At(951'825'599'500)), "Tue, 29 Feb 2000 11:59:59 GMT");
}

}  // namespace
}  // namespace borvane
