#pragma once
// client: the time-check panel. It asks the time service for Beijing time,
// measures the round trip, shows the service and local times with a
// verdict on the local clock, and sets the clock on request and hourly.
//
// The query, the decoder and the clock setting reach the outside world
// only through the container interfaces passed in, so every handler runs
// in a test with a fake clock, a scripted transfer and a manual event loop.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/query_run.h"
#include "container/check_box.h"
#include "container/child_site.h"
#include "container/clock.h"
#include "container/label.h"
#include "container/line.h"
#include "container/property_store.h"
#include "container/timer.h"
#include "container/transfer.h"
#include "container/user_control.h"
#include "container/variant.h"
#include "xpcmdbutton/xpcmdbutton.h"
#include "xpgroupbox/xpgroupbox.h"

namespace borvane {

// The panel's design data (resources/client.panel) with the service host
// put into the banner. Raises InvalidFileFormat when it does not read.
PropertyStore PanelDesign(const std::string& service_host);

// How long one query may take, across all its attempts.
inline constexpr std::chrono::milliseconds kQueryDeadline{10000};

struct ClientServices {
  Clock& clock;
  Transfer& transfer;
  // Base address of the time service, "http://host[:port]" with no path.
  std::string service_url;
  // Measured from the query's start; each fetch gets what is left of it.
  std::chrono::milliseconds query_deadline = kQueryDeadline;
};

// The panel: 353 × 167 pixels (5295 × 2505 twips). Its parts are created
// from the design data in resources/client.panel, each loaded through its
// own stored-settings path, and keep their places whatever size the host
// gives the panel. Timers run on the site's event loop.
//
// Creating a client builds the panel but asks nothing; the host then sends
// the creation notification (Initialize), which runs the first query.
//
// A query starts its fetch through Transfer::Start and goes on when the
// fetch completes. With a transfer that completes inside Start (the
// default), each handler has run its queries to the end when it returns;
// with one that runs in the background, the handler returns at once and the
// query goes on in the completion, on the same thread, later. One query is
// in flight at a time; asks that come meanwhile wait behind it.
class client final : public UserControl {
  // The sites of the contained controls come first: members are built in
  // declaration order and each control takes its site when it is built.
  ChildSite m_GroupBoxSite;
  ChildSite m_Command1Site;
  ChildSite m_Command2Site;

 public:
  client(Site& site, ClientServices services);
  // Cancels a fetch in flight: its completion never reaches the panel.
  ~client() override;

  // Public methods.
  //
  // One time check: asks the service, shows both times and the verdict,
  // stores the service time and restarts the seconds count. A round trip
  // too long to trust is retried up to kMaxQueryAttempts times, all within
  // one deadline (ClientServices::query_deadline), after which the query
  // gives up quietly with the delay message in Label1. Always
  // returns the empty text; a failed fetch (TransferFailed) or an answer
  // that does not read (TypeMismatch) is raised with what was already shown
  // left in place: to the caller while the query runs inside this call, to
  // the site (ReportError) once it goes on in a background completion. The
  // mouse pointer is busy while the query is in flight and back to default
  // however it ends. Asked while a query is in flight, it runs once that
  // one has ended.
  std::string DisplayTime();
  // The answer decoder; replaces `salasana` by the shift it derived.
  std::string DeCrypt(Variant& texti, Variant& salasana);

  // The creation notification: runs UserControl_Initialize, and an error
  // leaving it goes to the site.
  void Initialize();

  // Stops querying, for a host that closes the control: cancels the fetch
  // in flight (its completion never reaches the panel), drops the asks
  // waiting behind it and what was to follow it (a clock setting among
  // them), and puts the pointer back. The panel stays usable: a later ask
  // starts a fresh query.
  void CancelQuery();
  bool QueryInFlight() const { return m_Run.InFlight; }
  // Runs each time a query ends (answered, given up, or failed), after its
  // results are shown and before what follows it (a clock setting, the
  // next waiting ask) or the error it ends with is reported: a host whose
  // fetch completes in the background redraws or reads the panel here. It
  // must not throw.
  std::function<void()> QueryEnded;

  // Notification handlers. The panel binds them to its parts; the command
  // line and tests also call them directly, and then get their errors.
  void UserControl_Initialize();
  void Command1_Click();
  void Command2_Click();
  void CheckDisplayMs_Click();
  void sysTimer_Timer();

  // The design size in pixels.
  static constexpr Size kDesignPixels{353, 167};

  // The parts, in the order they are drawn (later ones on top). Hosts and
  // tests read them; only the handlers change them.
  xpgroupbox xpgroupbox1;
  Label Label4;
  Label Label1;
  Label LabelMsS;
  xpcmdbutton Command1;
  Label Label8;
  Label Localtime;
  Label LabelMsL;
  xpcmdbutton Command2;
  CheckBox CheckDisplayMs;
  Label Label5;
  CheckBox Checkperhour;
  Label radiotext;
  Line Line1;
  Timer sysTimer;
  Label Label2;
  Label Label3;

  // Member texts of the last accepted query.
  std::string serverTimeText;
  std::string serverYearText;
  std::string serverMonthText;
  std::string serverDayText;
  std::string serverHourText;

  // Attempts of one query when the round trip fails the range test; after
  // the last one the query gives up and leaves the delay message showing.
  static constexpr int kMaxQueryAttempts = 3;

  // 0 default, 11 busy.
  std::int16_t MousePointer() const { return m_MousePointer; }

  // Host name of the time service, as the banner and the connection
  // message show it.
  const std::string& ServiceHost() const { return m_ServiceHost; }

  // The tooltip of the part under a point of the panel (pixels), or empty.
  std::string ToolTipAt(float x, float y) const;

  // Keyboard focus, moved by Tab and Shift+Tab through the parts that take
  // it (the buttons and the check boxes, in tab-index order). Space on a
  // focused check box clicks it; keys on a focused button reach it as its
  // key notifications.
  const Constituent* FocusedPart() const;
  // Moves the focus on (or back); false when it leaves the panel's last
  // (or first) part, so a host can hand the focus on.
  bool MoveFocus(bool backwards);
  void ClearFocus();

 private:
  // One attempt's accepted measurement.
  struct Measurement {
    std::string Decoded;      // the decoded time text
    SystemTime Local;         // the second clock reading
    std::int32_t CorrectedMs;  // service milliseconds + one-way delay, 0..999
  };

  // Loads every part from the design data and places it.
  void BuildParts(const PropertyStore& design);
  void UserControl_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) override;
  void UserControl_KeyPress(std::int16_t& KeyAscii) override;
  void UserControl_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) override;
  void SetPointer(std::int16_t pointer);

  // The query's course (client/query_run.cpp).
  void Ask(AfterQuery then);
  void Begin(AfterQuery then);
  void Proceed(const std::function<bool()>& step);
  bool RunAttempts();
  std::optional<FetchOutcome> StartFetch(std::chrono::milliseconds time_left);
  void OnFetched(std::uint64_t fetch, FetchOutcome outcome);
  bool Accept(const FetchOutcome& outcome);
  void Finish();
  void Abandon();
  void RunAfter(AfterQuery then);
  void RunWaiting();
  void CountTick();
  void SetClockFromAnswer();

  // Decodes the answer against a second clock reading; empty when the
  // corrected milliseconds fall outside 0..999.
  std::optional<Measurement> Measure(const std::string& answer);
  // Shows, compares and stores an accepted measurement.
  void ShowResult(const Measurement& m);
  // The verdict on the local reading against the Beijing date and time of
  // the service (its milliseconds field the corrected milliseconds).
  void CompareClocks(const SystemTime& local, const SystemTime& beijing);
  std::string QueryAddress(const std::string& stamp) const;

  // A part that takes the focus.
  struct Focusable {
    std::int16_t TabIndex;
    Constituent* Part;
  };

  ClientServices m_Services;
  QueryRun m_Run;
  std::string m_ServiceHost;
  std::int16_t m_MousePointer = 0;
  std::vector<Focusable> m_TabOrder;
  int m_Focus = -1;  // index into m_TabOrder; -1: no part has it
  // Where the design data put the two invisible parts (twips).
  PointF m_TransferDesignPosition;
  PointF m_TimerDesignPosition;
};

}  // namespace borvane
