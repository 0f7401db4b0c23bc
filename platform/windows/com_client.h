#pragma once
// `client` as a Windows component object: the dual interface _client,
// answered through the type library's description of it, class
// information for hosts, and a connection point for the (empty) event
// interface __client that accepts advises and never calls them.

#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "library/dispatch.h"

namespace borvane {

// _client's own methods after IDispatch, in the type library's order; the
// type information calls them when a host invokes by dispatch identifier.
class IClientDual : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE DisplayTime(BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeCrypt(VARIANT* texti, VARIANT* salasana, BSTR* result) = 0;
};

// Creates the object over `target` and returns the interface `iid` of it.
// `module` is the library file whose embedded type library describes it.
HRESULT CreateClientObject(HMODULE module, std::unique_ptr<Automatable> target, REFIID iid,
                           void** out);

}  // namespace borvane
