// The one-second tick: the running count of the service's seconds into the
// hour, and the hourly re-check when it passes the hour.

#include "client/client.h"
#include "container/error.h"
#include "container/variant.h"

namespace borvane {

namespace {

// Seconds in an hour; the re-check runs on the first count above it.
constexpr std::int32_t kSecondsPerHour = 3600;

}  // namespace

void client::sysTimer_Timer() {
  // A service year of 0 is no usable service time: refresh, and count this
  // tick once the answer is in. A query already in flight is that refresh,
  // and the tick counts at once: the count keeps going while a fetch waits.
  // An empty year text does not read and ends the tick.
  if (ParseNumber(serverYearText) == 0 && !m_Run.InFlight) {
    Ask(AfterQuery::CountTick);
    return;
  }
  CountTick();
}

void client::CountTick() {
  // In double, so a count at the top of the 32-bit range raises overflow
  // rather than wrapping.
  sysTimer.SetTag(std::to_string(ToInt32(ParseNumber(sysTimer.Tag()) + 1.0)));

  if (ParseNumber(sysTimer.Tag()) > kSecondsPerHour) {
    // Reset first: a re-check whose query fails leaves "0", and the next
    // re-check comes a full count later. The clock setting, if the hourly
    // box is ticked, follows the re-check's query once it has ended.
    sysTimer.SetTag("0");
    Ask(AfterQuery::HourlyRecheck);
  }
}

}  // namespace borvane
