#include "container/basic_site.h"

namespace borvane {

void BasicSite::PropertyChanged(std::string_view name) {
  if (OnPropertyChanged) OnPropertyChanged(name);
}

void BasicSite::RaiseEvent(std::int32_t id, std::string_view name,
                           std::span<const EventArg> args) {
  if (OnEvent) OnEvent(id, name, args);
}

void BasicSite::ReportError(const Error& error) {
  Errors.push_back(error);
  if (OnError) OnError(error);
}

}  // namespace borvane
