#!/usr/bin/env python3
"""The table at the end of scripts/soak.sh, from the files of its work directory: config.json,
values.start (what the simulator served first), events (restarts, value changes and samples of
the runner's resources, one per line: EPOCH KIND ARGS...) and records.csv (the stored records,
zrmhost dump --csv).

A record is wrong when any value differs from every value the simulator served for that column
between the device's previous round and this one (record times have one-second resolution)."""
import datetime
import json
import struct
import sys
import time
from collections import defaultdict


def float32(text):
    return struct.unpack("f", struct.pack("f", float(text)))[0]


def read_events(path):
    events = []
    with open(path) as lines:
        for line in lines:
            fields = line.split()
            events.append((float(fields[0]), fields[1], fields[2:]))
    return events


def read_served(path):
    """(address, column) -> the value as served at the start."""
    served = {}
    with open(path) as lines:
        for line in lines:
            if line.startswith("#") or not line.strip():
                continue
            key, value = line.split(None, 1)
            address, column = key.split(".")
            served[(int(address), int(column))] = float32(value)
    return served


def read_changes(events):
    """(address, column) -> [(may start, done by, new value)]; a set may act any time after the
    event before it."""
    changes = defaultdict(list)
    previous = None
    for at, kind, args in events:
        if kind == "set":
            address = int(args[0])
            for column, value in zip(args[1::2], args[2::2]):
                changes[(address, int(column))].append((previous, at, float32(value)))
        previous = at
    return changes


def rfc3339_seconds(text):
    """Seconds since the epoch of a dump's time ("2026-12-10T20:01:58+01:00", or "Z" for UTC)."""
    return datetime.datetime.fromisoformat(text.replace("Z", "+00:00")).timestamp()


def read_records(path):
    """device id -> [(time, values)] in order."""
    records = defaultdict(list)
    with open(path) as lines:
        for line in lines:
            if line.startswith("device,"):
                continue
            fields = line.rstrip("\n").split(",")
            stamp = rfc3339_seconds(fields[1])
            values = [float32(v) if v else None for v in fields[2:]]
            records[int(fields[0])].append((stamp, values))
    return records


def acceptable(initial, changes, low, high):
    """Every value the column may have had between low and high."""
    values, current = set(), initial
    for may_start, done_by, new in changes:
        if done_by <= low:
            current = new
        elif may_start <= high:
            values.add(new)
    values.add(current)
    return values


def wrong_records(address, rounds, served, changes, started):
    wrong, low = [], started
    for stamp, values in rounds:
        high = stamp + 1
        for column, value in enumerate(values, start=1):
            key = (address, column)
            if value not in acceptable(served.get(key, 0.0), changes.get(key, []), low, high):
                wrong.append((stamp, column, value))
                break
        low = stamp
    return wrong


def longest_gap(rounds, started, stopped):
    """Between two rounds, or before the first or after the last one while the runner ran."""
    stamps = [started] + [stamp for stamp, _ in rounds] + [stopped]
    return max(b - a for a, b in zip(stamps, stamps[1:]))


def back_after_restarts(rounds, restarts):
    """Seconds from each agent stop to the device's first round after the agent was up again."""
    backs = []
    for down, up in restarts:
        after = [stamp for stamp, _ in rounds if stamp >= int(up)]
        backs.append(after[0] - down if after else None)
    return backs


def seconds(value):
    return "-" if value is None else "%.0f s" % max(value, 0)  # record times are whole seconds


def main(work):
    with open(work + "/config.json") as config:
        devices = json.load(config)["devices"]
    events = read_events(work + "/events")
    served = read_served(work + "/values.start")
    changes = read_changes(events)
    records = read_records(work + "/records.csv")
    started = next(at for at, kind, _ in events if kind == "runner")
    stopped = next(at for at, kind, _ in events if kind == "stopped")
    downs = [at for at, kind, _ in events if kind == "down"]
    ups = [at for at, kind, _ in events if kind == "up"][1:]
    restarts = list(zip(downs, ups))

    header = "%-7s %-7s %-6s %-6s %-12s" % ("device", "address", "rounds", "wrong", "longest gap")
    header += "".join(" %-10s" % ("restart %d" % (k + 1)) for k in range(len(restarts)))
    print(header)
    total_rounds = total_wrong = 0
    examples = []
    for device in devices:
        rounds = records.get(device["id"], [])
        wrong = wrong_records(device["address"], rounds, served, changes, started)
        total_rounds += len(rounds)
        total_wrong += len(wrong)
        examples += [(device["id"],) + w for w in wrong[:2]]
        row = "%-7d %-7d %-6d %-6d %-12s" % (device["id"], device["address"], len(rounds), len(wrong),
                                            seconds(longest_gap(rounds, started, stopped)))
        row += "".join(" %-10s" % seconds(b) for b in back_after_restarts(rounds, restarts))
        print(row)
    print("all devices: %d rounds, %d wrong records" % (total_rounds, total_wrong))
    for device, stamp, column, value in examples[:10]:
        print("  wrong: device %d at %s column %d = %r" % (device, time.ctime(stamp), column, value))
    print("('restart k': seconds from the agent's stop to the device's first round after it was back)")

    print("\n%-8s %-10s %-12s %-8s" % ("zrmhost", "RSS", "descriptors", "threads"))
    for at, kind, args in events:
        if kind == "sample":
            label, rss_kib, fds, threads = args
            print("%-8s %-10s %-12s %-8s" % (label, "%.1f MiB" % (int(rss_kib) / 1024), fds, threads))


if __name__ == "__main__":
    main(sys.argv[1])
