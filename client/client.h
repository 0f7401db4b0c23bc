#pragma once
// client: the time-check panel. It asks the time service for Beijing time,
// measures the round trip, shows the service and local times with a
// verdict on the local clock, and sets the clock on request and hourly.
//
// The query, the decoder and the clock setting reach the outside world
// only through the container interfaces passed in, so every handler runs
// in a test with a fake clock, a scripted transfer and a manual event loop.

#include <cstdint>
#include <optional>
#include <string>

#include "container/clock.h"
#include "container/event_loop.h"
#include "container/label.h"
#include "container/timer.h"
#include "container/transfer.h"
#include "container/variant.h"

namespace borvane {

struct ClientServices {
  Clock& clock;
  Transfer& transfer;
  EventLoop& loop;
  // Base address of the time service, "http://host[:port]" with no path.
  std::string service_url;
};

class client {
 public:
  explicit client(ClientServices services);
  client(const client&) = delete;
  client& operator=(const client&) = delete;

  // Public methods.
  //
  // One time check: asks the service, shows both times and the verdict,
  // stores the service time and restarts the seconds count. A round trip
  // too long to trust is retried up to kMaxQueryAttempts times, after which
  // the query gives up quietly with the delay message in Label1. Always
  // returns the empty text; a failed fetch (TransferFailed) or an answer
  // that does not read (TypeMismatch) is raised with what was already shown
  // left in place. The mouse pointer is back to default however it ends.
  std::string DisplayTime();
  // The answer decoder; replaces `salasana` by the shift it derived.
  std::string DeCrypt(Variant& texti, Variant& salasana);

  // Notification handlers. The panel binds them to its parts; the command
  // line and tests call them directly.
  void UserControl_Initialize();
  void Command1_Click();
  void Command2_Click();
  void CheckDisplayMs_Click();
  void sysTimer_Timer();

  // The parts the query writes and the clock setting reads.
  Label Label1;
  Label Label2;
  Label Localtime;
  Label LabelMsS;
  Label LabelMsL;
  Timer sysTimer;

  // Member texts of the last accepted query.
  std::string serverTimeText;
  std::string serverYearText;
  std::string serverMonthText;
  std::string serverDayText;
  std::string serverHourText;

  // Values of the check boxes CheckDisplayMs and Checkperhour: 0 not
  // ticked, 1 ticked, 2 greyed (treated as not ticked). The handlers read
  // them; whoever hosts the boxes writes them before raising a click.
  int CheckDisplayMsValue = 0;
  int CheckperhourValue = 1;

  // Attempts of one query when the round trip fails the range test; after
  // the last one the query gives up and leaves the delay message showing.
  static constexpr int kMaxQueryAttempts = 3;

  // 0 default, 11 busy.
  std::int16_t MousePointer() const { return m_MousePointer; }

  // Host name of the time service, as the banner and the connection
  // message show it.
  const std::string& ServiceHost() const { return m_ServiceHost; }

 private:
  // One attempt's accepted measurement.
  struct Measurement {
    std::string Decoded;      // the decoded time text
    SystemTime Local;         // the second clock reading
    std::int32_t CorrectedMs;  // service milliseconds + one-way delay, 0..999
  };

  // Reads the clock, asks the service and decodes; empty when the
  // corrected milliseconds fall outside 0..999.
  std::optional<Measurement> Measure();
  // Shows, compares and stores an accepted measurement.
  void ShowResult(const Measurement& m);
  void CompareClocks(const SystemTime& local, const SystemTime& service);
  std::string QueryAddress(const std::string& stamp) const;

  ClientServices m_Services;
  std::string m_ServiceHost;
  std::int16_t m_MousePointer = 0;
};

}  // namespace borvane
