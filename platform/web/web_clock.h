#pragma once
// The local clock as the page sees it. A page cannot set the machine's
// clock: SetLocalTime always answers 0, and the panel shows its own
// refusal line.

#include "container/clock.h"

namespace borvane {

class WebClock final : public Clock {
 public:
  SystemTime Now() override;
  std::int32_t SetLocalTime(const SystemTime&, std::int64_t) override { return 0; }
  std::int32_t UtcOffsetSeconds(std::int64_t utc_seconds) override;
};

}  // namespace borvane
