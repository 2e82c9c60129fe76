#!/usr/bin/env python3
"""The host side of scripts/bench.sh: figures measured from outside Wine, printed as rows of the
results table ("| item | measure | figure | spread | compared with | target |"), and the page.

  report.py footprint BIN_DIR           sizes and imports of vimlet.dll and Vimlet.exe
  report.py idle PID REFERENCE_PID SECONDS
                                        CPU time, wake-ups and memory of an idle Vimlet.exe
                                        (REFERENCE_PID: a minimal Wine program, for memory)
  report.py pointer DIR                 the X11 harness's samples, DIR/<setup>-<round>.txt
  report.py page ROWS NOTES COMMAND OUT
                                        docs/PERFORMANCE.md from the rows and the notes on the run
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


def pointer(directory):
    rounds = {}
    for name in sorted(os.listdir(directory)):
        match = re.fullmatch(r"(\w+)-(\d+)\.txt", name)
        if not match:
            continue
        hides, restores, lost = [], [], 0
        with open(os.path.join(directory, name)) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 2:
                    hides.append(float(parts[0]))
                    restores.append(float(parts[1]))
                elif parts:
                    lost += 1
        rounds.setdefault(match.group(1), []).append((hides, restores, lost))
    labels = {"xbanish": "xbanish -m se", "vimlet": "Vimlet, Wine notepad focused",
              "floor": "floor, Wine notepad focused"}
    for event, index in (("hide", 0), ("restore", 1)):
        medians = {setup: [statistics.median(r[index]) for r in runs if r[index]] for setup, runs in rounds.items()}
        for setup in ("xbanish", "floor", "vimlet"):
            if not medians.get(setup):
                row(4, f"X11 harness {event}, {labels[setup]}", "no samples")
                continue
            m, low, high = summary(medians[setup])
            lost = sum(r[2] for r in rounds[setup])
            comparison = f"{sum(len(r[index]) for r in rounds[setup])} samples, {lost} timed out"
            if setup != "xbanish" and medians.get("xbanish"):
                ratios = [a / b for a, b in zip(medians[setup], medians["xbanish"])]
                comparison += f"; ratio to xbanish {statistics.median(ratios):.1f} ({min(ratios):.1f}–{max(ratios):.1f})"
            if setup == "vimlet" and medians.get("floor"):
                ratios = [a / b for a, b in zip(medians["vimlet"], medians["floor"])]
                comparison += f"; ratio to floor {statistics.median(ratios):.2f} ({min(ratios):.2f}–{max(ratios):.2f})"
            row(4, f"X11 harness {event}, {labels[setup]}", f"{m / 1000:.2f} ms", f"{low / 1000:.2f}–{high / 1000:.2f}",
                comparison)


def page(rows_path, notes_path, command, out):
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
            .replace("@TABLE@", "\n".join(table))
            .replace("@NOTES@", open(notes_path).read().strip() if os.path.exists(notes_path) else "No notes."))
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
        page(argv[2], argv[3], argv[4], argv[5])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
