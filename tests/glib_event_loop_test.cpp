// Timers on the GLib main loop: they tick on the thread that iterates the
// default context, stop on cancel (also from inside their own tick), and
// report what leaves a tick instead of unwinding into GLib.

#include "platform/gtk/glib_event_loop.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace borvane {
namespace {

// Iterates the default context until `done` holds; every iteration
// blocks until some source is ready, so this waits for ticks without
// sleeping. Bounded, so a broken timer fails instead of hanging.
template <typename Done>
bool IterateUntil(Done done) {
  for (int i = 0; i < 10000 && !done(); ++i) g_main_context_iteration(nullptr, TRUE);
  return done();
}

TEST(GlibEventLoop, TicksUntilCancelledEvenFromInsideItsOwnTick) {
  GlibEventLoop loop;
  int ticks = 0;
  int after = 0;
  loop.AfterTick = [&] { ++after; };
  EventLoop::TimerId id = 0;
  id = loop.StartRepeating(1, [&] {
    if (++ticks == 3) loop.Cancel(id);
  });
  EXPECT_EQ(loop.ActiveTimers(), 1u);
  ASSERT_TRUE(IterateUntil([&] { return ticks == 3; }));
  EXPECT_EQ(loop.ActiveTimers(), 0u);
  EXPECT_EQ(after, 3) << "a redraw is asked after every tick";

  // A second timer keeps the context busy long enough to show the first
  // one stays silent after its cancel.
  int other = 0;
  const EventLoop::TimerId second = loop.StartRepeating(1, [&] { ++other; });
  ASSERT_TRUE(IterateUntil([&] { return other == 5; }));
  EXPECT_EQ(ticks, 3);
  loop.Cancel(second);
  loop.Cancel(second);  // twice is harmless
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  EXPECT_EQ(other, 5);
}

TEST(GlibEventLoop, ReportsAnExceptionLeavingATickAndKeepsTicking) {
  GlibEventLoop loop;
  std::string failure;
  int ticks = 0;
  loop.TickFailed = [&](const char* message) { failure = message; };
  loop.StartRepeating(1, [&] {
    if (++ticks == 1) throw std::runtime_error("tick broke");
  });
  ASSERT_TRUE(IterateUntil([&] { return ticks == 2; }));
  EXPECT_EQ(failure, "tick broke");
}

TEST(GlibEventLoop, RemovesItsTimersWhenDestroyed) {
  int ticks = 0;
  {
    GlibEventLoop loop;
    loop.StartRepeating(1, [&] { ++ticks; });
  }
  // A timer of another loop runs three intervals; the destroyed loop's
  // timer, as short, would have ticked meanwhile.
  GlibEventLoop other;
  int other_ticks = 0;
  other.StartRepeating(1, [&] { ++other_ticks; });
  ASSERT_TRUE(IterateUntil([&] { return other_ticks == 3; }));
  EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace borvane
