#pragma once
// The time panel with no window: the real HTTP transfer, a manual event
// loop that nothing advances, and a fixed cursor. The command line's checks,
// the headless snapshot and the benchmarks all use it; the clock is the
// caller's, so a dry run can swap in its own.
//
// The text engine is a parameter: a snapshot draws its texts with pango
// (HeadlessPanel), while a check that only prints captions needs no font at
// all (HeadlessCheck), so the command line never loads pango or cairo.

#include <string>

#include "client/client.h"
#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "container/null_text_engine.h"
#include "platform/posix/curl_transfer.h"
#include "platform/gtk/pango_text_engine.h"

namespace borvane {

template <typename TextEngineT>
class BasicHeadlessPanel {
 public:
  // Builds the panel; its first query runs only when the caller says so
  // (UserControl_Initialize or Initialize), so errors reach the caller.
  BasicHeadlessPanel(Clock& clock, const std::string& service_url)
      // The site needs its name before the panel is built: the panel's
      // parts read it as their default caption while they load.
      : Panel((Site.DisplayName = "client1", Site),
              ClientServices{clock, Transfer, service_url}) {}
  // The same with the panel asking `transfer` (for example one that
  // combines several time sources) instead of the plain HTTP transfer.
  BasicHeadlessPanel(Clock& clock, const std::string& service_url, borvane::Transfer& transfer)
      : Panel((Site.DisplayName = "client1", Site),
              ClientServices{clock, transfer, service_url}) {}

  CurlTransfer Transfer;
  TextEngineT Text;
  ManualEventLoop Loop;
  FixedCursor Cursor;
  BasicSite Site{Text, Loop, Cursor};
  client Panel;
};

using HeadlessPanel = BasicHeadlessPanel<PangoTextEngine>;
using HeadlessCheck = BasicHeadlessPanel<NullTextEngine>;

}  // namespace borvane
