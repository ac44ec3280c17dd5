"""Prints the benchmark report table from Google Benchmark's JSON output.

Arguments: the JSON file, and the platform the window ran on (a title).
"""
import json
import sys

runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type", "iteration") == "iteration"]


def find(prefix):
    return [b for b in runs if b["name"].startswith(prefix) and not b.get("error_occurred")]


def ms(b):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b["real_time"] * scale


rows = []


def row(name, tool, minimal, value, goal, ok):
    rows.append((name, tool, minimal, value, goal, "yes" if ok else "NO"))


def missing(name, goal):
    rows.append((name, "-", "-", "not measured", goal, "NO"))


for b in find("BM_UploadHandlerVsMinimal")[:1] or [None]:
    if b is None:
        missing("firmware upload 1 MiB", "<= 1.30x")
    else:
        r = b["handler_vs_minimal"]
        row("firmware upload 1 MiB", "%.1f ms" % b["handler_ms"], "%.1f ms" % b["minimal_ms"], "%.2fx" % r, "<= 1.30x", r <= 1.3)
for b in find("BM_DisplayScanWVGA")[:1] or [None]:
    if b is None:
        missing("display scan WVGA", "<= 1.30x")
    else:
        r = b["ratio"]
        row("display scan WVGA", "%.1f ms" % b["tool_ms"], "%.1f ms" % b["client_ms"], "%.2fx" % r, "<= 1.30x", r <= 1.3)
for b in find("BM_CopyThroughWindow")[:1] or [None]:
    if b is None:
        missing("recording copy 16 MiB", "<= 1.30x")
    else:
        r = b["vs_client"]
        row("recording copy 16 MiB", "%.1f ms" % b["window_ms"], "%.1f ms" % b["client_ms"], "%.2fx" % r, "<= 1.30x", r <= 1.3)
# The same exchanges over a link that delays every answer 2 ms (the device's
# access point): the tool may add little to the delay the link takes.
for name, bench, tool, client, ratio in (
    ("firmware upload 64 KiB, 2 ms link", "BM_UploadOverWifi", "handler_ms", "minimal_ms", "handler_vs_minimal"),
    ("display scan WVGA, 2 ms link", "BM_DisplayScanOverWifi", "tool_ms", "client_ms", "ratio"),
    ("recording copy 1 MiB, 2 ms link", "BM_CopyOverWifi", "window_ms", "client_ms", "vs_client"),
):
    for b in find(bench)[:1] or [None]:
        if b is None:
            missing(name, "<= 1.05x")
        else:
            r = b[ratio]
            row(name, "%.1f ms" % b[tool], "%.1f ms" % b[client], "%.3fx" % r, "<= 1.05x", r <= 1.05)
dec = find("BM_DecodeBlock")
if dec:
    low = min(b["codes/s"] for b in dec)
    row("decoder (slowest layout)", "-", "-", "%.0f M codes/s" % (low / 1e6), ">= 100 M codes/s", low >= 100e6)
else:
    missing("decoder", ">= 100 M codes/s")
for b in find("BM_SilentDeviceWait")[:1] or [None]:
    if b is None:
        missing("CPU while waiting 3 s (silent device)", "<= 2 % of a core")
    else:
        p = b["cpu_share_pct"]
        row("CPU while waiting %.1f s (silent device)" % b["wait_s"], "-", "-", "%.2f %% of a core" % p, "<= 2 % of a core", p <= 2)
for b in find("BM_StartToWindowShown")[:1] or [None]:
    if b is None:
        missing("start to main window shown", "<= 0.3 s")
    else:
        s = b["best_s"]
        row("start to main window shown", "-", "-", "%.3f s" % s, "<= 0.3 s", s <= 0.3)
for b in find("BM_CopyPeakMemory")[:1] or [None]:
    if b is None:
        missing("peak memory, 16 MiB copy", "<= 60 MB above idle")
    else:
        m = b["peak_above_idle_MB"]
        row("peak memory, 16 MiB copy", "-", "-", "%.1f MB above idle" % m, "<= 60 MB above idle", m <= 60)

platform = sys.argv[2] if len(sys.argv) > 2 else "offscreen"
print("window on %s:" % {"xcb": "a real X display (Xvfb, xcb)", "offscreen": "the offscreen platform"}.get(platform, platform))
head = ("figure", "tool", "minimal client", "measured", "goal", "met")
widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
line = lambda r: " | ".join(str(c).ljust(w) for c, w in zip(r, widths))
print(line(head))
print("-+-".join("-" * w for w in widths))
for r in rows:
    print(line(r))
