#!/usr/bin/env python3
"""Writes the answer_path seeds: scripted checks that reach each verdict,
the clock setting, the refusal, the delay message and the hourly re-check.

The bytes are laid out the way the harness's data provider reads them:
whole numbers from the end of the input (most significant byte first, as
few bytes as the range needs), texts from the front."""
import calendar
import pathlib

OUT = pathlib.Path(__file__).resolve().parent / "corpus" / "answer_path"
LAST_READING = 7258118400  # 2200-01-01, the harness's last clock reading

# Step numbers of the harness.
ANSWER, INITIALIZE, QUERY, SET, CHECK_DISPLAY_MS, REFUSE, ADVANCE, MOUSE, DRAW = 0, 5, 6, 7, 8, 4, 10, 11, 12
STEPS = (0, 12)


class Seed:
    def __init__(self):
        self.numbers = []  # bytes in the order the harness consumes them

    def number(self, low, high, value):
        span, width = high - low, 0
        while width < 8 and (span >> (8 * width)) > 0:
            width += 1
        raw = value - low
        self.numbers += [(raw >> (8 * (width - 1 - i))) & 0xFF for i in range(width)]

    def reading(self, year, month, day, hour, minute, second, ms):
        self.number(0, LAST_READING, calendar.timegm((year, month, day, hour, minute, second)))
        self.number(0, 999, ms)

    def answer(self, sent, round_trip_ms, service_ahead_ms):
        """A well-formed answer; service_ahead_ms is the service's time
        less the received reading, so Beijing on a UTC machine is +8 h."""
        self.step(ANSWER)
        self.reading(*sent)
        self.number(0, 1500, round_trip_ms)
        self.number(-90_000_000, 90_000_000, service_ahead_ms)
        self.number(0, 255, 0)  # no byte of the answer changed

    def step(self, kind, *arguments):
        self.number(*STEPS, kind)
        for low, high, value in arguments:
            self.number(low, high, value)

    def write(self, name):
        OUT.mkdir(parents=True, exist_ok=True)
        (OUT / name).write_bytes(bytes(reversed(self.numbers)))


def zone(seed, hours):
    seed.number(-48, 56, hours * 4)  # quarter hours from UTC


# A Beijing machine: a right clock, a frame, a tick, then the clock set.
s = Seed()
zone(s, 8)
s.answer((2005, 4, 27, 15, 32, 10, 500), 40, 0)
s.step(INITIALIZE)
s.step(DRAW)
s.step(ADVANCE, (0, 10_000, 3000))
s.answer((2005, 4, 27, 15, 32, 20, 0), 20, 0)
s.step(SET)
s.step(CHECK_DISPLAY_MS)
s.step(DRAW)
s.write("right_then_set")

# A UTC machine 2 s behind; the hourly re-check (on by default) sets it.
s = Seed()
zone(s, 0)
s.answer((2005, 4, 27, 7, 59, 57, 100), 10, 8 * 3_600_000 + 2000)
s.step(INITIALIZE)
s.answer((2005, 4, 27, 7, 59, 58, 100), 10, 8 * 3_600_000 + 2000)
s.answer((2005, 4, 27, 7, 59, 59, 100), 10, 8 * 3_600_000 + 2000)
s.step(ADVANCE, (0, 10_000, 4000))
s.step(DRAW)
s.write("behind_hourly")

# Every attempt too slow: the delay message, then the connection line;
# then a setting the platform refuses, and a click on the panel.
s = Seed()
zone(s, 0)
for _ in range(3):
    s.answer((2005, 4, 27, 23, 59, 58, 999), 1500, 0)
s.step(QUERY)
s.step(REFUSE)
for _ in range(3):
    s.answer((2005, 4, 27, 23, 59, 58, 999), 1500, 0)
s.step(SET)
s.answer((2005, 4, 27, 23, 59, 58, 0), 0, -300_000)
s.step(SET)
s.step(MOUSE, (0, 352, 60), (0, 166, 150))
s.step(DRAW)
s.write("delay_refused")
