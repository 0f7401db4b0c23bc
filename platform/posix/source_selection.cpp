#include "platform/posix/source_selection.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace borvane {

SourceEstimate EstimateFromSamples(std::vector<TimeSample> samples) {
  assert(!samples.empty());
  std::stable_sort(samples.begin(), samples.end(),
                   [](const TimeSample& a, const TimeSample& b) { return a.DelayMs < b.DelayMs; });
  SourceEstimate estimate;
  estimate.RoundTripMs = samples.front().DelayMs;
  estimate.Samples = static_cast<int>(samples.size());

  double low = -INFINITY;
  double high = INFINITY;
  for (const TimeSample& s : samples) {
    const double half = s.DelayMs / 2 + s.ResolutionMs;
    low = std::max(low, s.OffsetMs - half);
    high = std::min(high, s.OffsetMs + half);
  }
  if (low <= high) {
    estimate.OffsetMs = (low + high) / 2;
    estimate.BoundMs = (high - low) / 2;
    return estimate;
  }

  const std::size_t kept = (samples.size() + 1) / 2;
  double sum = 0;
  for (std::size_t i = 0; i < kept; ++i) sum += samples[i].OffsetMs;
  estimate.OffsetMs = sum / static_cast<double>(kept);
  const TimeSample& best = samples.front();
  estimate.BoundMs = best.DelayMs / 2 + best.ResolutionMs + std::abs(estimate.OffsetMs - best.OffsetMs);
  return estimate;
}

std::optional<Agreement> SelectAgreeing(std::vector<SourceOutcome>& outcomes) {
  struct Edge {
    double At;
    int Step;  // +1 an interval opens, -1 it closes
  };
  std::vector<Edge> edges;
  int answered = 0;
  for (SourceOutcome& o : outcomes) {
    o.Kept = false;
    o.DisagreementMs = 0;
    if (!o.Estimate) continue;
    ++answered;
    edges.push_back({o.Estimate->OffsetMs - o.Estimate->BoundMs, +1});
    edges.push_back({o.Estimate->OffsetMs + o.Estimate->BoundMs, -1});
  }
  if (answered == 0) return std::nullopt;
  // Opening edges before closing ones at the same point: intervals that
  // only touch still share that point.
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) {
    return a.At != b.At ? a.At < b.At : a.Step > b.Step;
  });
  int depth = 0;
  int best_depth = 0;
  double best_point = 0;
  for (const Edge& e : edges) {
    depth += e.Step;
    if (depth > best_depth) {
      best_depth = depth;
      best_point = e.At;
    }
  }
  if (2 * best_depth <= answered) return std::nullopt;

  double low = -INFINITY;
  double high = INFINITY;
  double weight_sum = 0;
  double weighted = 0;
  double round_trip = INFINITY;
  for (SourceOutcome& o : outcomes) {
    if (!o.Estimate) continue;
    const SourceEstimate& e = *o.Estimate;
    if (e.OffsetMs - e.BoundMs > best_point || e.OffsetMs + e.BoundMs < best_point) continue;
    o.Kept = true;
    low = std::max(low, e.OffsetMs - e.BoundMs);
    high = std::min(high, e.OffsetMs + e.BoundMs);
    // The tighter a source's bound, the more its estimate counts.
    const double w = 1.0 / std::max(e.BoundMs * e.BoundMs, 1e-6);
    weight_sum += w;
    weighted += w * e.OffsetMs;
    round_trip = std::min(round_trip, e.RoundTripMs);
  }
  Agreement agreement;
  // The weighted mean, kept inside the part every kept source allows.
  agreement.OffsetMs = std::clamp(weighted / weight_sum, low, high);
  agreement.BoundMs = std::max(agreement.OffsetMs - low, high - agreement.OffsetMs);
  agreement.RoundTripMs = round_trip;
  for (SourceOutcome& o : outcomes) {
    if (o.Estimate && !o.Kept) o.DisagreementMs = o.Estimate->OffsetMs - agreement.OffsetMs;
  }
  return agreement;
}

}  // namespace borvane
