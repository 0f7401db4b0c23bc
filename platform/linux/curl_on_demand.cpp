// libcurl loaded on first use. Loading libcurl and what it pulls in (TLS,
// HTTP/2, SSH, LDAP, Kerberos libraries, several with start-up work of
// their own) costs a process about ten milliseconds, which a command that
// never fetches (`borvane decrypt`, `borvane serve`, `--help`) should not
// pay. The borvane program therefore links these definitions of the libcurl
// calls the transfer makes instead of libcurl itself; the first call opens
// the real library and each call is passed on to its namesake there.
// Where the library cannot be opened the calls fail with libcurl's own
// "failed init" code and curl_easy_strerror says why.

#define CURL_DISABLE_TYPECHECK  // the calls are defined here, not wrapped in macros
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>
#include <string>

namespace {

constexpr const char* kLibrary = "libcurl.so.4";

struct Library {
  void* Handle = nullptr;
  std::string Error;
};

const Library& Loaded() {
  static const Library library = [] {
    Library l;
    l.Handle = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (l.Handle == nullptr) l.Error = std::string("cannot load ") + kLibrary + ": " + dlerror();
    return l;
  }();
  return library;
}

template <typename Function>
Function Real(const char* name) {
  const Library& library = Loaded();
  return library.Handle == nullptr ? nullptr
                                   : reinterpret_cast<Function>(dlsym(library.Handle, name));
}

}  // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
  static const auto real = Real<decltype(&curl_global_init)>("curl_global_init");
  return real != nullptr ? real(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
  static const auto real = Real<decltype(&curl_easy_init)>("curl_easy_init");
  return real != nullptr ? real() : nullptr;
}

void curl_easy_cleanup(CURL* curl) {
  static const auto real = Real<decltype(&curl_easy_cleanup)>("curl_easy_cleanup");
  if (real != nullptr) real(curl);
}

void curl_easy_reset(CURL* curl) {
  static const auto real = Real<decltype(&curl_easy_reset)>("curl_easy_reset");
  if (real != nullptr) real(curl);
}

CURLcode curl_easy_perform(CURL* curl) {
  static const auto real = Real<decltype(&curl_easy_perform)>("curl_easy_perform");
  return real != nullptr ? real(curl) : CURLE_FAILED_INIT;
}

// The one argument after the option is a long, an object pointer, a function
// pointer or a curl_off_t, told apart by the option's number range; it is
// read and passed on as that type.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...) {
  static const auto real = Real<decltype(&curl_easy_setopt)>("curl_easy_setopt");
  if (real == nullptr) return CURLE_FAILED_INIT;
  va_list args;
  va_start(args, option);
  CURLcode result;
  if (option < CURLOPTTYPE_OBJECTPOINT) {
    result = real(curl, option, va_arg(args, long));
  } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
    result = real(curl, option, va_arg(args, void*));
  } else if (option < CURLOPTTYPE_OFF_T) {
    result = real(curl, option, va_arg(args, void (*)()));
  } else if (option < CURLOPTTYPE_BLOB) {
    result = real(curl, option, va_arg(args, curl_off_t));
  } else {
    result = real(curl, option, va_arg(args, void*));
  }
  va_end(args);
  return result;
}

// Every piece of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...) {
  static const auto real = Real<decltype(&curl_easy_getinfo)>("curl_easy_getinfo");
  if (real == nullptr) return CURLE_FAILED_INIT;
  va_list args;
  va_start(args, info);
  const CURLcode result = real(curl, info, va_arg(args, void*));
  va_end(args);
  return result;
}

const char* curl_easy_strerror(CURLcode code) {
  static const auto real = Real<decltype(&curl_easy_strerror)>("curl_easy_strerror");
  return real != nullptr ? real(code) : Loaded().Error.c_str();
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
  static const auto real = Real<decltype(&curl_slist_append)>("curl_slist_append");
  return real != nullptr ? real(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
  static const auto real = Real<decltype(&curl_slist_free_all)>("curl_slist_free_all");
  if (real != nullptr) real(list);
}

time_t curl_getdate(const char* text, const time_t* unused) {
  static const auto real = Real<decltype(&curl_getdate)>("curl_getdate");
  return real != nullptr ? real(text, unused) : -1;
}

// The multi handle each fetch runs on, so that a cancel wakes its wait.
CURLM* curl_multi_init() {
  static const auto real = Real<decltype(&curl_multi_init)>("curl_multi_init");
  return real != nullptr ? real() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
  static const auto real = Real<decltype(&curl_multi_cleanup)>("curl_multi_cleanup");
  return real != nullptr ? real(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
  static const auto real = Real<decltype(&curl_multi_add_handle)>("curl_multi_add_handle");
  return real != nullptr ? real(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) {
  static const auto real = Real<decltype(&curl_multi_remove_handle)>("curl_multi_remove_handle");
  return real != nullptr ? real(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
  static const auto real = Real<decltype(&curl_multi_perform)>("curl_multi_perform");
  return real != nullptr ? real(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned extra_count, int timeout_ms,
                          int* ready) {
  static const auto real = Real<decltype(&curl_multi_poll)>("curl_multi_poll");
  return real != nullptr ? real(multi, extra, extra_count, timeout_ms, ready) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_wakeup(CURLM* multi) {
  static const auto real = Real<decltype(&curl_multi_wakeup)>("curl_multi_wakeup");
  return real != nullptr ? real(multi) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* queued) {
  static const auto real = Real<decltype(&curl_multi_info_read)>("curl_multi_info_read");
  return real != nullptr ? real(multi, queued) : nullptr;
}

const char* curl_multi_strerror(CURLMcode code) {
  static const auto real = Real<decltype(&curl_multi_strerror)>("curl_multi_strerror");
  return real != nullptr ? real(code) : Loaded().Error.c_str();
}

}  // extern "C"
