#include "app/client_report.h"

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
  std::string text;
  text += "北京时间 GMT+8:00  " + c.Label1.Caption() + c.LabelMsS.Caption() + "\n";
  text += "本机时间           " + c.Localtime.Caption() + c.LabelMsL.Caption() + "\n";
  text += c.Label2.Caption() + "\n";
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
  return message + " (error " + std::to_string(static_cast<int>(error.Code())) + ")";
}

}  // namespace borvane::app
