#!/usr/bin/env python3
"""The host side of scripts/bench.sh: figures measured from outside Wine, printed as rows of the
results table ("| item | measure | figure | spread | compared with | target |"), and the page.

  report.py footprint BIN_DIR           sizes and imports of vimlet.dll and Vimlet.exe
  report.py idle PID REFERENCE_PID SECONDS
                                        CPU time, wake-ups and memory of an idle Vimlet.exe
                                        (REFERENCE_PID: a minimal Wine program, for memory)
  report.py pointer DIR                 the X11 harness's samples, DIR/<setup>-<round>.txt
  report.py page ROWS COMMAND OUT      docs/PERFORMANCE.md from the rows alone
"""
import datetime
import os
import platform
import re
import statistics
import subprocess
import sys
import time

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "comctl32.dll", "comdlg32.dll", "ole32.dll", "shlwapi.dll", "ntdll.dll", "psapi.dll"}


def row(item, measure, figure, spread="", comparison="", target=""):
    print(f"| {item} | {measure} | {figure} | {spread} | {comparison} | {target} |", flush=True)


def verdict(met, target):
    return target + (" ✔" if met else " ✘")


def summary(values):
    return statistics.median(values), min(values), max(values)


def pe_facts(path):
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", "-h", path], capture_output=True, text=True,
                          check=True).stdout
    imports = [name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)]
    tls = re.search(r"Entry 9 [0-9a-f]+ ([0-9a-f]+) Thread Storage Directory", dump)
    sections = re.findall(r"^\s*\d+ (\S+)\s+[0-9a-f]{8} ", dump, re.M)
    return imports, bool(tls and int(tls.group(1), 16)), sections


def footprint(bin_dir):
    for name, limit in (("vimlet.dll", 16 * 1024), ("Vimlet.exe", 512 * 1024)):
        path = os.path.join(bin_dir, name)
        size = os.path.getsize(path)
        imports, tls, sections = pe_facts(path)
        row(6, f"size of {name}", f"{size / 1024:.1f} KiB", f"{size} bytes", "",
            verdict(size <= limit, f"≤ {limit // 1024} KiB"))
        foreign = [dll for dll in imports if dll not in SYSTEM_DLLS]
        initialisers = [s for s in sections if s.startswith((".ctors", ".init_array", ".CRT"))]
        if name == "vimlet.dll":
            row(6, "vimlet.dll imports", ", ".join(imports), "", "system DLLs only", verdict(not foreign, "system only"))
            row(6, "vimlet.dll TLS callbacks and static initialisers",
                f"TLS directory: {'yes' if tls else 'none'}; initialiser sections: {', '.join(initialisers) or 'none'}",
                "", f"sections: {', '.join(sections)}", verdict(not tls and not initialisers, "none"))
        else:
            foreign.remove("vimlet.dll")
            row(6, "Vimlet.exe imports", ", ".join(imports), "", "system DLLs and vimlet.dll",
                verdict(not foreign, "system only"))


def process_sample(pid):
    """CPU ticks, context switches per thread and resident memory of a process."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])
    switches = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                status = f.read()
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                name = f.read().strip()
        except OSError:
            continue
        voluntary = int(re.search(r"voluntary_ctxt_switches:\s+(\d+)", status).group(1))
        involuntary = int(re.search(r"nonvoluntary_ctxt_switches:\s+(\d+)", status).group(1))
        switches[tid] = (name, voluntary + involuntary)
    with open(f"/proc/{pid}/status") as f:
        rss = int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
    return ticks, switches, rss


def idle(pid, reference_pid, seconds):
    with open(f"/proc/{pid}/cmdline") as f:
        command = f.read().replace("\0", " ").strip()
    ticks0, switches0, rss = process_sample(pid)
    time.sleep(seconds)
    ticks1, switches1, _ = process_sample(pid)
    _, _, reference_rss = process_sample(reference_pid)
    cpu = (ticks1 - ticks0) / os.sysconf("SC_CLK_TCK") / seconds * 100
    row(6, f"Vimlet.exe CPU time idle over {seconds} s under Wine", f"{cpu:.3f} % of one core",
        f"{ticks1 - ticks0} ticks of 10 ms", command.split("\\")[-1].split("/")[-1], verdict(cpu < 0.1, "< 0.1 %"))
    woken = []
    for tid, (name, count) in sorted(switches1.items()):
        before = switches0.get(tid, (name, 0))[1]
        if count - before:
            woken.append(f"{name}: {(count - before) / seconds:.2f}/s")
    row(6, "Vimlet.exe wake-ups idle (context switches per thread)", "; ".join(woken) or "none", "",
        "threads not listed never woke; the one-second timer wakes the main thread, and each tick's "
        "round trips to the Wine server count as switches")
    row(6, "Vimlet.exe memory after start (resident, Wine's own DLLs included)", f"{rss / 1024:.1f} MiB", "",
        f"a minimal windowed Wine program: {reference_rss / 1024:.1f} MiB; "
        f"Vimlet's share {(rss - reference_rss) / 1024:+.1f} MiB")


TIMED_OUT = float("inf")


def harness_samples(path):
    """The hide and restore steps of one harness run; a timed-out step counts as TIMED_OUT."""
    hides, restores = [], []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if not fields:
                continue
            hide, restore = (fields + ["-"])[:2]
            hides.append(TIMED_OUT if hide == "timeout" else float(hide))
            if restore != "-":
                restores.append(TIMED_OUT if restore == "timeout" else float(restore))
    return hides, restores


def milliseconds(us, unit=" ms"):
    return "timed out" if us == TIMED_OUT else f"{us / 1000:.2f}{unit}"


def ratios(numerators, denominators):
    """Ratio of the medians, and the per-round ratios."""
    of_medians = statistics.median(numerators) / statistics.median(denominators)
    return of_medians, [a / b for a, b in zip(numerators, denominators)]


def ratio_text(name, of_medians, per_round):
    low, high = min(per_round), max(per_round)
    return (f"ratio to {name}: of the medians {of_medians:.2f}, median of per-round ratios "
            f"{statistics.median(per_round):.2f} ({low:.2f}–{high:.2f})")


TARGET_RATIO = 1.05


def floor_target(per_round, timed_out):
    """The target on Vimlet against the floor: the median of the per-round ratios, which pairs
    setups that ran next to each other, and no timed-out sample."""
    ratio = statistics.median(per_round)
    target = f"≤ {TARGET_RATIO} × floor (median of per-round ratios), no timed-out sample"
    met = ratio <= TARGET_RATIO and not timed_out
    misses = []
    if ratio > TARGET_RATIO:
        misses.append(f"ratio over by {ratio - TARGET_RATIO:.2f}")
    if timed_out:
        misses.append(f"{timed_out} timed out")
    return verdict(met, target) + (f" (misses: {'; '.join(misses)})" if misses else "")


def pointer(directory):
    files = [m for m in (re.fullmatch(r"(\w+)-(\d+)\.txt", n) for n in os.listdir(directory)) if m]
    rounds = {}  # by setup, in round order, so that the n-th of each setup ran in the same round
    for match in sorted(files, key=lambda m: (m.group(1), int(m.group(2)))):
        rounds.setdefault(match.group(1), []).append(harness_samples(os.path.join(directory, match.group(0))))
    labels = {"xbanish": "xbanish -m se", "vimlet": "Vimlet, Wine notepad focused",
              "floor": "floor, Wine notepad focused"}
    for event, index in (("hide", 0), ("restore", 1)):
        medians = {setup: [statistics.median(r[index]) for r in runs if r[index]] for setup, runs in rounds.items()}
        for setup in ("xbanish", "floor", "vimlet"):
            if not medians.get(setup):
                row(4, f"X11 harness {event}, {labels[setup]}", "no samples")
                continue
            m, low, high = summary(medians[setup])
            samples = [v for r in rounds[setup] for v in r[index]]
            timed_out = samples.count(TIMED_OUT)
            comparison = f"{len(samples)} samples in {len(medians[setup])} rounds, {timed_out} timed out"
            if setup != "xbanish" and medians.get("xbanish"):
                comparison += "; " + ratio_text("xbanish", *ratios(medians[setup], medians["xbanish"]))
            target = ""
            if setup == "vimlet" and medians.get("floor"):
                of_medians, per_round = ratios(medians["vimlet"], medians["floor"])
                comparison += "; " + ratio_text("floor", of_medians, per_round)
                target = floor_target(per_round, timed_out)
            row(4, f"X11 harness {event}, {labels[setup]}", milliseconds(m),
                f"{milliseconds(low, '')}–{milliseconds(high, '')}", comparison, target)


def commit(root):
    def git(*args):
        return subprocess.run(["git", "-C", root, *args], capture_output=True, text=True)
    head = git("rev-parse", "HEAD").stdout.strip() or "unknown"
    changed = git("status", "--porcelain", "--", ".", ":!docs/PERFORMANCE.md", ":!docs/performance-latency.png").stdout
    return head + (" with uncommitted changes" if changed.strip() else "")


def reading(rows):
    """The run in words, from its rows alone: each missed target with its figures."""
    cells = [[cell.strip() for cell in line.strip("|").split("|")] for line in rows]
    missed = [c for c in cells if len(c) >= 6 and "✘" in c[5]]
    if not missed:
        return "Every target was met."
    lines = ["Missed in this run:", ""]
    for item, measure, figure, spread, comparison, target in (c[:6] for c in missed):
        lines.append(f"- {measure} (item {item}): {figure}" + (f"; {comparison}" if comparison else "")
                     + f". Target {target}.")
    if any(c[0] == "3" for c in missed):
        lines += ["", "Measured in the same setup as item 3:", ""]
        lines += [f"- {c[1]}: {c[2]}; {c[4]}." for c in cells if "sent from the application's thread" in c[1]]
    return "\n".join(lines)


def page(rows_path, command, out):
    with open(rows_path) as f:
        rows = [line.rstrip("\n") for line in f if line.startswith("|")]
    table = ["| # | Measure | Figure | Spread over runs, or detail | Compared with | Target |",
             "|---|---|---|---|---|---|"] + rows
    print("\n".join(table))
    cpu = "unknown"
    with open("/proc/cpuinfo") as f:
        match = re.search(r"model name\s*:\s*(.*)", f.read())
        cpu = match.group(1) if match else cpu
    wine = subprocess.run([os.environ.get("WINELOADER", "wine"), "--version"], capture_output=True, text=True).stdout.strip()
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    template_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "PERFORMANCE.md.in")
    with open(template_path) as f:
        template = f.read()
    text = (template.replace("@DATE@", datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"))
            .replace("@MACHINE@", f"{cpu}, {os.cpu_count()} cores, {platform.system()} {platform.release()}, "
                                  f"{wine}, load average at the end {load}")
            .replace("@COMMAND@", command)
            .replace("@COMMIT@", commit(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
            .replace("@TABLE@", "\n".join(table))
            .replace("@READING@", reading(rows)))
    with open(out, "w") as f:
        f.write(text)


def main(argv):
    command = argv[1]
    if command == "footprint":
        footprint(argv[2])
    elif command == "idle":
        idle(int(argv[2]), int(argv[3]), int(argv[4]))
    elif command == "pointer":
        pointer(argv[2])
    elif command == "page":
        page(argv[2], argv[3], argv[4])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
