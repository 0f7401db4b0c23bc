#!/usr/bin/env python3
"""Writes the answer_path seeds: scripted checks that reach each verdict,
the clock setting, the refusal, the delay message and the hourly re-check.

The bytes are laid out the way the harness's data provider reads them:
whole numbers from the end of the input (most significant byte first, as
few bytes as the range needs), texts from the front."""
import calendar
import pathlib

OUT = pathlib.Path(__file__).resolve().parent / "corpus" / "answer_path"
class Seed:
    def __init__(s): s.back=[]; s.front=b''
    def int(s, lo, hi, v):
        r=hi-lo; n=0
        while n < 8 and (r >> (8*n)) > 0: n+=1
        raw=v-lo
        s.back += [(raw >> (8*(n-1-i))) & 0xFF for i in range(n)]
    def bytes(s): return s.front + bytes(reversed(s.back))
KLAST=7258118400
def reading(s, y,mo,d,h,mi,sec,ms):
    s.int(0,KLAST, calendar.timegm((y,mo,d,h,mi,sec)))
    s.int(0,999, ms)
def answer(s, when, trip, service_delta_ms):
    s.int(0,12,0); reading(s,*when); s.int(0,1500,trip); s.int(-90000000,90000000,service_delta_ms); s.int(0,255,0)
def step(s,k,*extra):
    s.int(0,12,k)
    for lo,hi,v in extra: s.int(lo,hi,v)

def write(name, s):
    OUT.mkdir(parents=True, exist_ok=True)
    (OUT / name).write_bytes(s.bytes())

# Beijing machine: a right clock, a frame, a tick, then the clock set.
s=Seed(); s.int(-48,56,32)
answer(s,(2005,4,27,15,32,10,500),40,0); step(s,5); step(s,12); step(s,10,(0,10000,3000))
answer(s,(2005,4,27,15,32,20,0),20,0); step(s,7); step(s,8); step(s,12)
write('right_then_set', s)
# UTC machine, clock behind by 2 s; the hourly re-check (on by default) sets it.
s=Seed(); s.int(-48,56,0)
answer(s,(2005,4,27,7,59,57,100),10,28802000); step(s,5)
answer(s,(2005,4,27,7,59,58,100),10,28802000); answer(s,(2005,4,27,7,59,59,100),10,28802000)
step(s,10,(0,10000,4000)); step(s,12)
write('behind_hourly', s)
# Every attempt too slow: the delay message, then the connection line; refused setting.
s=Seed(); s.int(-48,56,0)
for i in range(3): answer(s,(2005,4,27,23,59,58,999),1500,0)
step(s,6); step(s,4)
for i in range(3): answer(s,(2005,4,27,23,59,58,999),1500,0)
step(s,7); answer(s,(2005,4,27,23,59,58,0),0,-300000); step(s,7); step(s,11,(0,352,60),(0,166,150)); step(s,12)
write('delay_refused', s)
