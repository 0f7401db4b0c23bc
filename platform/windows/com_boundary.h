#pragma once
// The edge between a host and the library: no C++ exception ever leaves a
// COM method (it would unwind into the host's frames and end its process).
// Each method that reaches into the core runs its body through Guarded,
// which turns what the body throws into the HRESULT hosts understand:
//   std::bad_alloc                          E_OUTOFMEMORY
//   std::invalid_argument, length_error,
//   out_of_range (a size or index refused)  E_INVALIDARG
//   the library's Error                     its number as a control-facility
//                                           code, message in IErrorInfo
//   any other std::exception                run-time error 51 (internal
//                                           error), message in IErrorInfo
//   anything else                           E_UNEXPECTED

#include <windows.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "container/error.h"

namespace borvane {

// Puts `message` in the thread's error information (source: the control's
// ProgID, interface: _client) and returns the control-facility code of
// `code`. Never throws: without memory for the text, only the code goes.
HRESULT ReportError(std::int32_t code, const std::string& message) noexcept;

// The internal-error number of the hosts' run-time errors.
constexpr std::int32_t kInternalError = 51;

template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::invalid_argument&) {
    return E_INVALIDARG;
  } catch (const std::length_error&) {
    return E_INVALIDARG;
  } catch (const std::out_of_range&) {
    return E_INVALIDARG;
  } catch (const Error& error) {
    return ReportError(static_cast<std::int32_t>(error.Code()), error.what());
  } catch (const std::exception& error) {
    return ReportError(kInternalError, error.what());
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace borvane
