#include "app/client_report.h"

#include "container/utf8.h"

namespace borvane::app {

nlohmann::json ClientJson(const client& c) {
  return {
      {"Label1", c.Label1.Caption()},
      {"LabelMsS", c.LabelMsS.Caption()},
      {"Localtime", c.Localtime.Caption()},
      {"LabelMsL", c.LabelMsL.Caption()},
      {"Label2", c.Label2.Caption()},
      {"Label2ForeColor", c.Label2.ForeColor().Value()},
      {"serverTimeText", c.serverTimeText},
      {"serverYearText", c.serverYearText},
      {"serverMonthText", c.serverMonthText},
      {"serverDayText", c.serverDayText},
      {"serverHourText", c.serverHourText},
      {"sysTimerTag", c.sysTimer.Tag()},
      {"sysTimerInterval", c.sysTimer.Interval()},
      {"MousePointer", c.MousePointer()},
  };
}

nlohmann::json RecordJson(const SystemTime& record) {
  return {
      {"wYear", record.wYear},     {"wMonth", record.wMonth},   {"wDayOfWeek", record.wDayOfWeek},
      {"wDay", record.wDay},       {"wHour", record.wHour},     {"wMinute", record.wMinute},
      {"wSecond", record.wSecond}, {"wMilliseconds", record.wMilliseconds},
  };
}

std::string ClientText(const client& c) {
  // Label1 and LabelMsS hold what the service sent; none of it may act on
  // the terminal or break a line.
  std::string text;
  text += "北京时间 GMT+8:00  " + EscapeControls(c.Label1.Caption() + c.LabelMsS.Caption()) + "\n";
  text += "本机时间           " + EscapeControls(c.Localtime.Caption() + c.LabelMsL.Caption()) + "\n";
  text += EscapeControls(c.Label2.Caption()) + "\n";
  return text;
}

std::string PanelText(const client& c) {
  const auto box = [](const CheckBox& b) { return b.Value() == 1 ? "[x] " : "[ ] "; };
  std::string text = c.xpgroupbox1.Caption() + "\n";
  text += ClientText(c);
  text += std::string(box(c.CheckDisplayMs)) + c.Label5.Caption() + "   " + box(c.Checkperhour) +
          c.radiotext.Caption() + "\n";
  text += c.Label3.Caption() + "\n";
  return text;
}

std::string DescribeError(const Error& error) {
  const std::string kind = ErrorKindName(error.Code());
  std::string message = error.what();
  if (message.rfind(kind, 0) != 0) message = kind + ": " + message;
  return EscapeControls(message) + " (error " + std::to_string(static_cast<int>(error.Code())) + ")";
}

std::string JsonLine(const nlohmann::json& object) {
  // Control characters come out as \u escapes; malformed UTF-8 as U+FFFD.
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace borvane::app
