#include "platform/web/fetch_transfer.h"

#include <emscripten.h>

#include <cstdlib>
#include <memory>

#include "container/error.h"

namespace borvane {

namespace {

// The answer as a new UTF-8 text: 'O' and the body, or 'E' and why it
// failed. The caller frees it.
EM_ASYNC_JS(char*, BorvaneFetch, (const char* url_text, double time_left_ms), {
  const url = UTF8ToString(url_text);
  const controller = new AbortController();
  Module.borvaneAbort = () => controller.abort("cancelled");
  let timedOut = false;
  const timer = setTimeout(() => { timedOut = true; controller.abort("deadline"); },
                           Math.max(0, time_left_ms));
  let text;
  try {
    const answer = await fetch(url, {signal: controller.signal, cache: "no-store",
                                     credentials: "omit"});
    const body = await answer.text();
    text = answer.ok ? "O" + body
                     : "EHTTP " + answer.status + " " + answer.statusText + " from " + url;
  } catch (error) {
    text = timedOut ? "Eno answer from " + url + " within " + Math.round(time_left_ms) + " ms"
         : controller.signal.aborted ? "Ethe transfer was cancelled"
         : "E" + url + ": " + (error && error.message ? error.message : String(error));
  } finally {
    clearTimeout(timer);
    Module.borvaneAbort = null;
  }
  const size = lengthBytesUTF8(text) + 1;
  const copy = _malloc(size);
  stringToUTF8(text, copy, size);
  return copy;
});

EM_JS(void, BorvaneAbortFetch, (), {
  if (Module.borvaneAbort) Module.borvaneAbort();
});

struct FreeText {
  void operator()(char* text) const { std::free(text); }
};

}  // namespace

std::string FetchTransfer::OpenUrl(const std::string& url, std::chrono::milliseconds time_left) {
  if (m_Busy) throw Error(ErrorCode::TransferFailed, "a transfer is still running");
  ++m_Fetches;
  if (BeforeWaiting) BeforeWaiting();
  m_Busy = true;
  const std::unique_ptr<char, FreeText> answer(
      BorvaneFetch(url.c_str(), static_cast<double>(time_left.count())));
  m_Busy = false;
  const std::string text = answer ? answer.get() : "Eno answer";
  if (text.empty() || text[0] != 'O') {
    throw Error(ErrorCode::TransferFailed, text.empty() ? "no answer" : text.substr(1));
  }
  return text.substr(1);
}

void FetchTransfer::Cancel() {
  BorvaneAbortFetch();
}

}  // namespace borvane
