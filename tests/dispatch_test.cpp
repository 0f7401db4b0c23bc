// Late-bound calls by dispatch identifier, as both component builds make
// them: identifiers, argument counts, by-reference arguments and errors.

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "container/error.h"
#include "library/dispatch.h"
#include "library/identity.h"

namespace borvane {
namespace {

// Records calls and behaves as told; DeCrypt upper-cases nothing, it
// replaces the key with 6 and echoes the text, like the real one's side
// effect on its second argument.
class FakeTarget final : public Automatable {
 public:
  std::string DisplayTime() override {
    ++DisplayTimeCalls;
    if (Fail) throw Error(ErrorCode::TransferFailed, "no answer");
    if (Odd) throw std::logic_error("odd");
    return "";
  }
  std::string DeCrypt(Variant& texti, Variant& salasana) override {
    salasana = Variant(6.0);
    return "decoded " + texti.ToText();
  }
  int DisplayTimeCalls = 0;
  bool Fail = false;
  bool Odd = false;
};

TEST(DispatchNames, MapToTheTypeLibraryIdentifiersIgnoringCase) {
  std::int32_t dispid = 0;
  EXPECT_EQ(GetIdOfName("DisplayTime", dispid), kOk);
  EXPECT_EQ(dispid, 0x60030000);
  EXPECT_EQ(GetIdOfName("decrypt", dispid), kOk);
  EXPECT_EQ(dispid, 0x60030001);
  EXPECT_EQ(GetIdOfName("Command2_Click", dispid), kDispUnknownName);
  EXPECT_EQ(dispid, -1);
}

TEST(DispatchInvoke, DeCryptReplacesTheCallersKey) {
  FakeTarget target;
  Variant text("abc");
  Variant key(std::int32_t{53190427});
  std::array<Variant*, 2> args{&text, &key};
  Variant result;
  DispatchException exception;
  ASSERT_EQ(Invoke(target, identity::kDispIdDeCrypt, args, result, exception), kOk);
  EXPECT_EQ(result.ToText(), "decoded abc");
  EXPECT_EQ(key.ToDouble(), 6.0);
  EXPECT_EQ(text.ToText(), "abc");
}

TEST(DispatchInvoke, DisplayTimeReturnsTheEmptyText) {
  FakeTarget target;
  Variant result("stale");
  DispatchException exception;
  ASSERT_EQ(Invoke(target, identity::kDispIdDisplayTime, {}, result, exception), kOk);
  EXPECT_EQ(result.GetType(), Variant::Type::String);
  EXPECT_EQ(result.ToText(), "");
  EXPECT_EQ(target.DisplayTimeCalls, 1);
}

TEST(DispatchInvoke, RefusesUnknownMembersAndWrongCountsWithoutCalling) {
  FakeTarget target;
  Variant a("x");
  Variant b;
  Variant result;
  DispatchException exception;
  std::array<Variant*, 1> one{&a};
  std::array<Variant*, 2> two{&a, nullptr};
  EXPECT_EQ(Invoke(target, 0x60030002, {}, result, exception), kDispMemberNotFound);
  EXPECT_EQ(Invoke(target, 0, {}, result, exception), kDispMemberNotFound);
  EXPECT_EQ(Invoke(target, identity::kDispIdDisplayTime, one, result, exception),
            kDispBadParamCount);
  EXPECT_EQ(Invoke(target, identity::kDispIdDeCrypt, one, result, exception), kDispBadParamCount);
  EXPECT_EQ(Invoke(target, identity::kDispIdDeCrypt, two, result, exception), kDispTypeMismatch);
  EXPECT_EQ(target.DisplayTimeCalls, 0);
  EXPECT_TRUE(result.IsEmpty());
}

TEST(DispatchInvoke, ReportsErrorsAsExceptionsWithTheirNumbers) {
  FakeTarget target;
  Variant result;
  DispatchException exception;
  target.Fail = true;
  EXPECT_EQ(Invoke(target, identity::kDispIdDisplayTime, {}, result, exception), kDispException);
  EXPECT_EQ(exception.Code, 35750);
  EXPECT_NE(exception.Description.find("no answer"), std::string::npos);

  target.Fail = false;
  target.Odd = true;
  DispatchException other;
  EXPECT_EQ(Invoke(target, identity::kDispIdDisplayTime, {}, result, other), kDispException);
  EXPECT_EQ(other.Code, 51);
}

}  // namespace
}  // namespace borvane
