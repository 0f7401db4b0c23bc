#pragma once
// Owners for the platform's handles and interface pointers, so that no
// path through the window, drawing or text code frees one by hand.

#include <windows.h>
#include <unknwn.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace borvane {

// A GDI object (bitmap, font, brush) deleted with DeleteObject.
template <class Handle>
struct GdiDeleter {
  using pointer = Handle;
  void operator()(Handle handle) const { ::DeleteObject(handle); }
};
template <class Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiDeleter<Handle>>;

// A memory DC made with CreateCompatibleDC.
struct DcDeleter {
  using pointer = HDC;
  void operator()(HDC dc) const { ::DeleteDC(dc); }
};
using MemoryDc = std::unique_ptr<HDC__, DcDeleter>;

// A window's DC from GetDC, given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : m_Window(window), m_Dc(::GetDC(window)) {}
  ~WindowDc() {
    if (m_Dc != nullptr) ::ReleaseDC(m_Window, m_Dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return m_Dc; }

 private:
  HWND m_Window;
  HDC m_Dc;
};

// Selects an object into a DC for one scope and puts the old one back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : m_Dc(dc), m_Old(::SelectObject(dc, object)) {}
  ~Selection() {
    if (m_Old != nullptr && m_Old != HGDI_ERROR) ::SelectObject(m_Dc, m_Old);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC m_Dc;
  HGDIOBJ m_Old;
};

// A window destroyed with its owner.
struct WindowDeleter {
  using pointer = HWND;
  void operator()(HWND window) const { ::DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<HWND__, WindowDeleter>;

// One reference to a COM interface, released when the owner goes.
template <class Interface>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller already holds.
  explicit ComRef(Interface* held) : m_Pointer(held) {}
  ~ComRef() { Reset(); }
  ComRef(const ComRef& other) : m_Pointer(other.m_Pointer) {
    if (m_Pointer != nullptr) m_Pointer->AddRef();
  }
  ComRef& operator=(ComRef other) {
    std::swap(m_Pointer, other.m_Pointer);
    return *this;
  }
  // Adds a reference of its own.
  static ComRef Share(Interface* pointer) {
    if (pointer != nullptr) pointer->AddRef();
    return ComRef(pointer);
  }
  // The interface `iid` of `from`, or empty.
  static ComRef Query(IUnknown* from, REFIID iid) {
    Interface* found = nullptr;
    if (from == nullptr || FAILED(from->QueryInterface(iid, reinterpret_cast<void**>(&found)))) {
      return {};
    }
    return ComRef(found);
  }

  void Reset() {
    if (m_Pointer != nullptr) std::exchange(m_Pointer, nullptr)->Release();
  }
  Interface* Get() const { return m_Pointer; }
  Interface* operator->() const { return m_Pointer; }
  explicit operator bool() const { return m_Pointer != nullptr; }
  // For out-parameters: releases what it held first.
  Interface** Put() {
    Reset();
    return &m_Pointer;
  }

 private:
  Interface* m_Pointer = nullptr;
};

}  // namespace borvane
