#!/usr/bin/env python3
"""The table at the end of scripts/scale.sh, from the files of its work directory: config.json,
silent (the silent agents' ports), events (the runner's samples, one per line: EPOCH KIND ARGS...)
and rounds.jsonl (the runner's --json events).
usage: scale_report.py WORK_DIR CLOCK_TICKS_PER_SECOND"""
import json
import re
import statistics
import sys

from soak_report import read_events, rfc3339_seconds  # the same timeline and times

ROUND = re.compile(r'^\{"event":"round","device":(\d+),"round":\d+,"time":"([^"]+)"')
AGENT = re.compile(r'^\{"event":"agent","device":(\d+),"agent":"[^"]*","state":"(\w+)"')


def read_rounds(path, stopping):
    """device id -> [round times] before the stop; device id -> [agent states told]."""
    rounds, states = {}, {}
    with open(path) as lines:
        for line in lines:
            head = line[:300]
            match = ROUND.match(head)
            if match:
                at = rfc3339_seconds(match.group(2))
                if at < stopping:
                    rounds.setdefault(int(match.group(1)), []).append(at)
                continue
            match = AGENT.match(head)
            if match:
                states.setdefault(int(match.group(1)), []).append(match.group(2))
    return rounds, states


def spread(counts):
    if not counts:
        return "-"
    return "min %d, median %g, max %d" % (min(counts), statistics.median(counts), max(counts))


def main(work, ticks):
    with open(work + "/config.json") as config:
        devices = json.load(config)["devices"]
    with open(work + "/silent") as silent:
        silent_agents = {"udp:127.0.0.1:" + port for port in silent.read().split()}
    events = read_events(work + "/events")
    started = next(at for at, kind, _ in events if kind == "runner")
    stopping = next(at for at, kind, _ in events if kind == "stopping")
    rounds, states = read_rounds(work + "/rounds.jsonl", stopping)
    stopped, status = next((at, args[0]) for at, kind, args in events if kind == "stopped")
    samples = [(at, [int(a) for a in args]) for at, kind, args in events if kind == "sample"]

    live = [d["id"] for d in devices if d["agent"] not in silent_agents]
    quiet = [d["id"] for d in devices if d["agent"] in silent_agents]
    # The second half: from the sample nearest the middle of the run to the last sample.
    middle_at, middle = min(samples, key=lambda s: abs(s[0] - (started + stopping) / 2))
    last_at, last = samples[-1]
    window = last_at - middle_at

    def in_window(device):
        return sum(1 for t in rounds.get(device, []) if middle_at <= t < last_at)

    print("live devices: %d; with no round: %d" % (len(live), sum(1 for d in live if not rounds.get(d))))
    print("  rounds each over the whole run (%.0f s): %s" % (stopping - started,
                                                            spread([len(rounds.get(d, [])) for d in live])))
    window_rounds = [in_window(d) for d in live]
    between = "%.1f s" % (window * len(live) / sum(window_rounds)) if sum(window_rounds) else "-"
    print("  rounds each in the second half (%.0f s): %s; %s between rounds on average" %
          (window, spread(window_rounds), between))
    firsts = [min(rounds[d]) for d in live if rounds.get(d)]
    if firsts:
        print("  the last first round of a live device came %.0f s after the start" % (max(firsts) - started))
    failing = [d for d in live if "failing" in states.get(d, [])]
    print("  live devices that told a failing agent: %d" % len(failing))
    print("silent devices: %d; rounds: %d; told failing: %d" % (
        len(quiet), sum(len(rounds.get(d, [])) for d in quiet),
        sum(1 for d in quiet if "failing" in states.get(d, []))))

    cpu = ((last[0] + last[1]) - (middle[0] + middle[1])) / ticks
    done = sum(window_rounds)
    per_round = "%.1f ms" % (1000 * cpu / done) if done else "-"
    print("CPU in the second half: %.1f s in %.0f s (%.2f cores busy), %s per round (%d rounds)" %
          (cpu, window, cpu / window, per_round, done))

    print("\n%-6s %-10s %-12s %-8s %-22s" % ("at", "RSS", "descriptors", "threads", "address space (peak)"))
    for at, (utime, stime, rss, fds, threads, mapped, peak) in samples:
        print("%-6s %-10s %-12d %-8d %-22s" % ("%.0f s" % (at - started), "%.1f MiB" % (rss / 1024), fds, threads,
                                                "%.0f MiB (%.0f MiB)" % (mapped / 1024, peak / 1024)))
    print("\nSIGTERM to exit: %.2f s, exit status %s" % (stopped - stopping, status))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
