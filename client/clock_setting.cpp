// The set-clock handler: a fresh query, then, once it has ended, the
// service time written into the local clock.

#include "client/client.h"
#include "client/panel_texts.h"
#include "client/service_zone.h"
#include "client/time_text.h"
#include "container/error.h"
#include "container/utf8.h"

namespace borvane {

void client::Command2_Click() { Ask(AfterQuery::SetClock); }

void client::SetClockFromAnswer() {
  if (Label1.Caption() == panel::kDelayMessage) {
    Label2.SetCaption(panel::kConnectionPrefix + m_ServiceHost + panel::kConnectionSuffix);
    return;
  }

  // Both texts are read before the clock is touched, so one that does not
  // read leaves the clock and the captions as they were.
  const SystemTime beijing = ReadDateTime(Utf8Left(Label1.Caption(), 19));
  const std::int16_t milliseconds = ToInt16(ReadWholeNumber(Utf8Right(serverTimeText, 3)));

  // The service keeps Beijing time; the local clock takes the machine's zone.
  // The clock is set by the instant, which the record only shows locally.
  SystemTime service = beijing;
  service.wMilliseconds = milliseconds;
  const std::int64_t instant = ServiceToUtcMilliseconds(service);
  SystemTime record = ServiceToLocal(service, m_Services.clock);
  record.wDayOfWeek = 0;  // not computed; the clock ignores it

  const std::int32_t result = m_Services.clock.SetLocalTime(record, instant);
  if (result != 0) {
    // The local row shows the time just applied, in the machine's own zone;
    // on a GMT+8 machine that is exactly the service row's text.
    Localtime.SetCaption(FormatDateTime(record));
    Label2.SetCaption(panel::kSetSucceeded);
  } else {
    Label2.SetCaption(panel::kSetRefusedPrefix + std::to_string(result) +
                      panel::kSetRefusedSuffix);
  }
}

}  // namespace borvane
