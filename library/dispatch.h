#pragma once
// Late-bound calls into the public class: member names to dispatch
// identifiers, and invocation by identifier with by-reference variant
// arguments. The Linux component routes its dispatch interface here; the
// Windows one invokes through the type library's description of _client,
// which carries the same identifiers, counts and error codes.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "container/variant.h"
#include "library/hresult.h"

namespace borvane {

// What a host can call on `client`. The component builds wrap the real
// panel; tests can put anything behind it.
class Automatable {
 public:
  virtual ~Automatable() = default;
  virtual std::string DisplayTime() = 0;
  virtual std::string DeCrypt(Variant& texti, Variant& salasana) = 0;
};

// What a call that raised an error reports to the host: the library's error
// number (13 type mismatch, 35750 transfer failure, ...) and its message.
struct DispatchException {
  std::int32_t Code = 0;
  std::string Description;
};

// The dispatch identifier of a member, names matched without regard to
// case; kDispUnknownName for a name the class does not have.
HResult GetIdOfName(std::string_view name, std::int32_t& dispid);

// Calls member `dispid` with `args` in declaration order (the first
// parameter first), every one by reference: DeCrypt's changes to its
// arguments reach the caller's variables. Wrong counts give
// kDispBadParamCount, unknown identifiers kDispMemberNotFound, a null
// argument kDispTypeMismatch, and an error raised by the member
// kDispException with `exception` filled in. Nothing escapes as a C++
// exception.
HResult Invoke(Automatable& target, std::int32_t dispid, std::span<Variant* const> args,
               Variant& result, DispatchException& exception);

// Adapts any class with the two public methods (the panel itself) to
// Automatable.
template <typename Control>
class AutomatableControl final : public Automatable {
 public:
  template <typename... Args>
  explicit AutomatableControl(Args&&... args) : m_Control(std::forward<Args>(args)...) {}
  std::string DisplayTime() override { return m_Control.DisplayTime(); }
  std::string DeCrypt(Variant& texti, Variant& salasana) override {
    return m_Control.DeCrypt(texti, salasana);
  }
  Control& Get() { return m_Control; }

 private:
  Control m_Control;
};

}  // namespace borvane
