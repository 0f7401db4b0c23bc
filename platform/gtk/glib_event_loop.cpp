#include "platform/gtk/glib_event_loop.h"

#include <glib.h>

#include <exception>

namespace borvane {

// Owned by its GLib source: freed by Release when the source goes away.
struct GlibEventLoop::Entry {
  GlibEventLoop* Loop;
  TimerId Id;
  std::function<void()> Tick;
  guint Source = 0;
  bool Running = false;
  bool Cancelled = false;
};

GlibEventLoop::~GlibEventLoop() {
  for (auto& [id, entry] : m_Timers) {
    entry->Cancelled = true;
    if (!entry->Running) g_source_remove(entry->Source);
  }
}

EventLoop::TimerId GlibEventLoop::StartRepeating(std::uint32_t interval_ms,
                                                 std::function<void()> tick) {
  auto* entry = new Entry{this, m_NextId++, std::move(tick)};
  entry->Source = g_timeout_add_full(G_PRIORITY_DEFAULT, interval_ms, &GlibEventLoop::Dispatch,
                                     entry, &GlibEventLoop::Release);
  m_Timers[entry->Id] = entry;
  return entry->Id;
}

void GlibEventLoop::Cancel(TimerId id) {
  const auto found = m_Timers.find(id);
  if (found == m_Timers.end()) return;
  Entry* entry = found->second;
  m_Timers.erase(found);
  entry->Cancelled = true;
  // A tick that cancels its own timer ends its source by returning
  // G_SOURCE_REMOVE; removing it here would free it under the tick's feet.
  if (!entry->Running) g_source_remove(entry->Source);
}

int GlibEventLoop::Dispatch(void* data) {
  auto* entry = static_cast<Entry*>(data);
  GlibEventLoop* loop = entry->Loop;
  entry->Running = true;
  // Nothing may unwind into GLib's C frames.
  try {
    entry->Tick();
  } catch (const std::exception& error) {
    if (loop->TickFailed) loop->TickFailed(error.what());
  }
  entry->Running = false;
  if (loop->AfterTick) loop->AfterTick();
  return entry->Cancelled ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

void GlibEventLoop::Release(void* data) { delete static_cast<Entry*>(data); }

}  // namespace borvane
