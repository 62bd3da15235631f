// The statement log: a process-wide list of the batches connections sent, kept under one mutex.
// The list holds the most recent kMaxEntries so that a long-running host that leaves the log on
// does not grow without bound.
#include "corva/sql_trace.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

namespace corva {
namespace {

constexpr size_t kMaxEntries = 100000;

struct TraceState {
  std::mutex mutex;
  std::deque<TraceEntry> entries;
  std::shared_ptr<std::function<void(const TraceEntry&)>> sink;
};

TraceState& State() {
  static TraceState* state = new TraceState;  // never destroyed: used from static destructors too
  return *state;
}

std::atomic<bool> process_enabled{false};

}  // namespace

void SqlTrace::EnableProcess(bool on) { process_enabled.store(on); }

bool SqlTrace::ProcessEnabled() { return process_enabled.load(); }

std::vector<TraceEntry> SqlTrace::Entries() {
  TraceState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return {state.entries.begin(), state.entries.end()};
}

void SqlTrace::Clear() {
  TraceState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.entries.clear();
}

void SqlTrace::SetSink(std::function<void(const TraceEntry&)> sink) {
  TraceState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.sink =
      sink ? std::make_shared<std::function<void(const TraceEntry&)>>(std::move(sink)) : nullptr;
}

void SqlTrace::Record(TraceEntry entry) {
  TraceState& state = State();
  std::shared_ptr<std::function<void(const TraceEntry&)>> sink;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    sink = state.sink;
    if (state.entries.size() == kMaxEntries) state.entries.pop_front();
    if (sink) {
      state.entries.push_back(entry);
    } else {
      state.entries.push_back(std::move(entry));
    }
  }
  // Outside the lock, so that a sink may read the log; two threads' sinks may run at once.
  if (sink) (*sink)(entry);
}

}  // namespace corva
