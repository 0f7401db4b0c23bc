#pragma once
// The one error type of the library. Handlers never catch it; the container
// catches it where a notification enters a control and reports it.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace borvane {

// Numbers follow the run-time error numbers hosts of these controls know.
enum class ErrorCode : std::int32_t {
  Overflow = 6,
  TypeMismatch = 13,
  InvalidFileFormat = 321,
  InvalidPropertyValue = 380,
  InvalidPicture = 481,
  TransferFailed = 35750,
};

// What kind of failure a code stands for, in a few words for people.
constexpr const char* ErrorKindName(ErrorCode code) {
  switch (code) {
    case ErrorCode::Overflow: return "overflow";
    case ErrorCode::TypeMismatch: return "type mismatch";
    case ErrorCode::InvalidFileFormat: return "invalid file format";
    case ErrorCode::InvalidPropertyValue: return "invalid property value";
    case ErrorCode::InvalidPicture: return "invalid picture";
    case ErrorCode::TransferFailed: return "transfer failed";
  }
  return "error";
}

class Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& message)
      : std::runtime_error(message), m_Code(code) {}

  ErrorCode Code() const noexcept { return m_Code; }

 private:
  ErrorCode m_Code;
};

[[noreturn]] inline void RaiseTypeMismatch(const std::string& what) {
  throw Error(ErrorCode::TypeMismatch, "type mismatch: " + what);
}

[[noreturn]] inline void RaiseOverflow(const std::string& what) {
  throw Error(ErrorCode::Overflow, "overflow: " + what);
}

[[noreturn]] inline void RaiseInvalidPropertyValue(const std::string& what) {
  throw Error(ErrorCode::InvalidPropertyValue, "invalid property value: " + what);
}

// Narrows to a 16-bit signed integer the way the controls' 16-bit fields do:
// round half to even first, then raise Overflow outside -32768..32767.
std::int16_t ToInt16(double value);

// Same for 32-bit signed fields.
std::int32_t ToInt32(double value);

}  // namespace borvane
