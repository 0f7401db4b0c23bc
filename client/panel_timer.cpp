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
  // A service year of 0 is no usable service time: refresh before
  // counting. An empty year text does not read and ends the tick.
  if (ParseNumber(serverYearText) == 0) DisplayTime();

  // In double, so a count at the top of the 32-bit range raises overflow
  // rather than wrapping.
  sysTimer.SetTag(std::to_string(ToInt32(ParseNumber(sysTimer.Tag()) + 1.0)));

  if (ParseNumber(sysTimer.Tag()) > kSecondsPerHour) {
    // Reset first: a re-check whose query fails leaves "0", and the next
    // re-check comes a full count later.
    sysTimer.SetTag("0");
    DisplayTime();
    if (Checkperhour.Value() == 1) Command2_Click();
  }
}

}  // namespace borvane
