// The four entry points of libborvane.so. Each new `client` gets the real
// clock and HTTP transfer, and the time service named by
// $BORVANE_SERVICE_URL, else by the build setting, else the reference
// service started in this process on a free loopback port.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "client/client.h"
#include "container/error.h"
#include "library/component.h"
#include "library/hosted_client.h"
#include "library/registry_file.h"
#include "platform/posix/curl_transfer.h"
#include "platform/linux/locked_registry_store.h"
#include "platform/posix/posix_clock.h"
#include "service/time_service.h"

#ifndef BORVANE_SERVICE_URL
#define BORVANE_SERVICE_URL ""
#endif

namespace borvane {

namespace {

// The library file as an absolute path without links, so that the same
// file always registers, and is recognised when unregistering, under one
// name whatever path the host loaded it by.
std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryPath), &info) == 0 || info.dli_fname == nullptr) {
    return "libborvane.so";
  }
  std::error_code error;
  const auto path = std::filesystem::weakly_canonical(info.dli_fname, error);
  return error ? std::string(info.dli_fname) : path.string();
}

// The entry points can only return a code, so the cause of a failure (the
// file, the damaged line, the system's message) goes to standard error.
void ReportFailure(const std::string& what) {
  std::fprintf(stderr, "libborvane: %s\n", what.c_str());
}

// The reference service lives as long as the process once a panel needed it.
std::string ServiceUrl() {
  if (const char* url = std::getenv("BORVANE_SERVICE_URL"); url != nullptr && *url != '\0') {
    return url;
  }
  if (*BORVANE_SERVICE_URL != '\0') return BORVANE_SERVICE_URL;
  static std::mutex mutex;
  static std::unique_ptr<TimeService> embedded;
  const std::lock_guard<std::mutex> lock(mutex);
  if (!embedded) {
    embedded = std::make_unique<TimeService>(TimeServiceOptions{});
    embedded->Start();
  }
  return embedded->BaseUrl();
}

using PlatformClient = HostedClient<PosixClock, CurlTransfer>;

}  // namespace

}  // namespace borvane

extern "C" {

__attribute__((visibility("default"))) borvane::HResult DllRegisterServer() {
  borvane::LockedRegistryStore registry(borvane::RegistryFile::DefaultPath());
  return borvane::com::RegisterServer(registry, borvane::LibraryPath(), borvane::ReportFailure);
}

__attribute__((visibility("default"))) borvane::HResult DllUnregisterServer() {
  borvane::LockedRegistryStore registry(borvane::RegistryFile::DefaultPath());
  return borvane::com::UnregisterServer(registry, borvane::LibraryPath(), borvane::ReportFailure);
}

__attribute__((visibility("default"))) borvane::HResult DllGetClassObject(
    const borvane::Guid* clsid, const borvane::Guid* iid, void** out) {
  if (clsid == nullptr || iid == nullptr) return borvane::kPointer;
  return borvane::com::GetClassObject(*clsid, *iid, out, [] {
    return std::make_unique<borvane::PlatformClient>(borvane::ServiceUrl());
  });
}

__attribute__((visibility("default"))) borvane::HResult DllCanUnloadNow() {
  return borvane::com::CanUnloadNow();
}

}  // extern "C"
