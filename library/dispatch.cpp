#include "library/dispatch.h"

#include <array>
#include <exception>

#include "container/error.h"
#include "library/identity.h"

namespace borvane {

namespace {

struct Member {
  std::string_view Name;
  std::int32_t DispId;
  std::size_t ArgCount;
};

constexpr std::array<Member, 2> kMembers{{
    {"DisplayTime", identity::kDispIdDisplayTime, 0},
    {"DeCrypt", identity::kDispIdDeCrypt, 2},
}};

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

HResult GetIdOfName(std::string_view name, std::int32_t& dispid) {
  for (const auto& member : kMembers) {
    if (SameNameIgnoringCase(member.Name, name)) {
      dispid = member.DispId;
      return kOk;
    }
  }
  dispid = -1;  // DISPID_UNKNOWN
  return kDispUnknownName;
}

HResult Invoke(Automatable& target, std::int32_t dispid, std::span<Variant* const> args,
               Variant& result, DispatchException& exception) {
  const Member* member = nullptr;
  for (const auto& candidate : kMembers) {
    if (candidate.DispId == dispid) member = &candidate;
  }
  if (member == nullptr) return kDispMemberNotFound;
  if (args.size() != member->ArgCount) return kDispBadParamCount;
  for (Variant* arg : args) {
    if (arg == nullptr) return kDispTypeMismatch;
  }
  try {
    if (dispid == identity::kDispIdDisplayTime) {
      result = Variant(target.DisplayTime());
    } else {
      result = Variant(target.DeCrypt(*args[0], *args[1]));
    }
    return kOk;
  } catch (const Error& error) {
    exception.Code = static_cast<std::int32_t>(error.Code());
    exception.Description = error.what();
  } catch (const std::exception& error) {
    // Not one of the library's own errors: report it as an internal failure
    // (run-time error 51) rather than let it cross the component boundary.
    exception.Code = 51;
    exception.Description = error.what();
  }
  return kDispException;
}

}  // namespace borvane
