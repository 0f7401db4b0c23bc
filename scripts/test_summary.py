#!/usr/bin/env python3
"""Sums up CTest's JUnit reports: what passed, what failed, what was skipped
and why.

    test_summary.py NAME=REPORT.xml [NAME=REPORT.xml ...]

Prints, for each build, its counts and each skip reason with the steps it
covers (a skipped step says why on its last output line), then the totals
on a line of their own. Exits 1 when a report is missing or any step failed.
"""

import sys
import xml.etree.ElementTree as ElementTree
from collections import defaultdict


def Reason(case):
    """The skipped step's own last line of output: it says why."""
    output = case.findtext("system-out") or ""
    lines = [line.strip() for line in output.splitlines() if line.strip()]
    return lines[-1] if lines else "no reason given"


def Summarize(name, path):
    """Prints one build's counts and skip reasons; returns the counts."""
    try:
        cases = ElementTree.parse(path).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as error:
        print(f"{name}: no test report ({error})")
        return 0, 1, 0
    passed, failed, skipped = 0, [], defaultdict(list)
    for case in cases:
        status = case.get("status", "")
        if case.find("skipped") is not None:
            skipped[Reason(case)].append(case.get("name"))
        elif case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed.append(case.get("name"))
        else:
            passed += 1
    skip_count = sum(len(names) for names in skipped.values())
    print(f"{name}: {passed} passed, {len(failed)} failed, {skip_count} skipped")
    for reason, names in sorted(skipped.items()):
        print(f"  skipped ({len(names)}): {reason}")
        print(f"    {', '.join(names)}")
    for failed_name in failed:
        print(f"  failed: {failed_name}")
    return passed, len(failed), skip_count


def main(arguments):
    if not arguments:
        print(__doc__, file=sys.stderr)
        return 2
    totals = [0, 0, 0]
    for argument in arguments:
        name, _, path = argument.partition("=")
        for index, count in enumerate(Summarize(name, path)):
            totals[index] += count
    print(f"total: {totals[0]} passed, {totals[1]} failed, {totals[2]} skipped")
    return 1 if totals[1] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
