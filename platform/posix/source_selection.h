#pragma once
// Filtering of one source's samples and selection among several sources:
// pure functions over numbers, so their rules are tested with tables.

#include <optional>
#include <string>
#include <vector>

#include "platform/posix/time_source.h"

namespace borvane {

// One source's estimate from its samples. Each sample says the true offset
// lies within its offset ± (half its round trip + its resolution): the
// server read its clock somewhere inside the round trip. Those intervals
// all hold, so their common part does too; its middle is the estimate and
// its half-width the bound. That is the same as taking the shortest
// one-way delay seen in each direction, which is where queueing added the
// least, and it is never looser than half the shortest round trip.
// Samples that share no common part (the server's clock was stepped
// between them, or its time stamps are wrong) fall back to the average of
// the lowest-delay half, bounded by half the shortest round trip (plus
// the average's distance from that sample). `samples` must not be empty.
SourceEstimate EstimateFromSamples(std::vector<TimeSample> samples);

// One source's part in a check.
struct SourceOutcome {
  std::string Address;
  std::optional<SourceEstimate> Estimate;  // empty when the source failed
  std::string Error;                       // why it failed, else empty
  bool Kept = false;
  // Its offset minus the agreed one when it was left out (ms).
  double DisagreementMs = 0;
};

// The agreed offset of the sources kept.
struct Agreement {
  double OffsetMs = 0;  // positive: this clock is ahead
  double BoundMs = 0;
  double RoundTripMs = 0;  // the shortest round trip among the kept sources
};

// Marks as kept the largest set of sources whose intervals
// [offset - bound, offset + bound] share a point (Marzullo's intersection,
// as NTP selects its truechimers), and combines them: the middle of the
// common part, its half-width as the bound. A set is accepted only when it
// is a majority of the sources that answered (a source that failed is no
// witness either way, as NTP counts only the sources it can select from):
// empty otherwise, and then nothing is kept.
std::optional<Agreement> SelectAgreeing(std::vector<SourceOutcome>& outcomes);

}  // namespace borvane
