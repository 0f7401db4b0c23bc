#pragma once
// `client` as a Windows component object: the dual interface _client that
// scripts call, and the creation of the whole control (client_control.h).

#include <windows.h>
#include <ocidl.h>

#include <memory>


namespace borvane {

// _client's own methods after IDispatch, in the type library's order; the
// type information calls them when a host invokes by dispatch identifier.
class IClientDual : public IDispatch {
 public:
  virtual HRESULT STDMETHODCALLTYPE DisplayTime(BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeCrypt(VARIANT* texti, VARIANT* salasana, BSTR* result) = 0;
};

class WindowsPanel;

// Creates the control over `panel` and returns the interface `iid` of it.
// `module` is the library file whose embedded type library describes it.
HRESULT CreateClientObject(HMODULE module, std::unique_ptr<WindowsPanel> panel, REFIID iid,
                           void** out);

}  // namespace borvane
