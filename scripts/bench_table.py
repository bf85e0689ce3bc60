"""Writes the scaling table of bench/README.md from qc_bench's JSON output.

Each benchmark gives one row: its name, the database and size its name or
counters carry, its time, the floor it is measured against and the ratio to it,
the growth from the same benchmark at its smaller size, and its peak memory.
The table replaces what lies between the two "scaling table" marks of the
README; a row whose benchmark did not run this time keeps its old line.
"""

import json
import platform
import re
import subprocess
import sys

BEGIN = "<!-- scaling table: begin -->"
END = "<!-- scaling table: end -->"

# The counters a benchmark reports its own time and its floor in, in order of preference.
TIME_KEYS = ["post_s", "fetch_s", "import_s", "summary_s", "reconcile_s", "pdf_s", "xlsx_s", "store_p50_ms"]
FLOOR_KEYS = ["floor_s", "floor_ms", "floor_p50_ms"]
RATIO_KEYS = ["ratio", "ratio_p50"]
PART_KEY = re.compile(r"^(floor|lean_floor|cancel_floor|fields_floor|insert_floor|sums_floor)_[a-z]+_s$")


def figure(value):
    if value is None:
        return ""
    if abs(value) >= 100:
        return f"{value:,.0f}"
    if abs(value) >= 1:
        return f"{value:.2f}"
    return f"{value:.3f}"


def machine():
    try:
        cpu = next(line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name"))
    except (OSError, StopIteration):
        cpu = platform.processor()
    cores = subprocess.run(["nproc"], capture_output=True, text=True).stdout.strip()
    mem = next((line.split()[1] for line in open("/proc/meminfo") if line.startswith("MemTotal")), "0")
    pg = subprocess.run(["psql", "--version"], capture_output=True, text=True).stdout.strip()
    return f"{cpu}, {cores} cores, {int(mem) // 1024 // 1024} GB; {platform.platform()}; {pg}"


def rows_of(report):
    runs = [b for b in report["benchmarks"] if b.get("run_type", "iteration") == "iteration" or b.get("aggregate_name") == "mean"]
    seen = {}
    for b in runs:
        name = re.sub(r"/(iterations|repeats|manual_time).*$", "", b["name"])
        name = re.sub(r"/manual_time$", "", name)
        name = re.sub(r"_mean$", "", name)
        seen[name] = b
    return seen


def line_of(name, b, all_rows):
    time = next((b[k] for k in TIME_KEYS if k in b), None)
    unit = "ms" if "store_p50_ms" in b and time == b.get("store_p50_ms") else "s"
    if time is None:
        time = b.get("real_time")
        unit = b.get("time_unit", "ms")
    floor = next((b[k] for k in FLOOR_KEYS if k in b), None)
    ratio = next((b[k] for k in RATIO_KEYS if k in b), None)
    growth = b.get("vs_half")
    size = re.search(r"/(\d+)(/|$)", name)
    if growth is None and size and int(size.group(1)) > 1:
        smaller = name.replace(size.group(0), "/" + str(int(size.group(1)) // 2) + size.group(2), 1)
        other = all_rows.get(smaller)
        if other is not None:
            t = next((other[k] for k in TIME_KEYS if k in other), other.get("real_time"))
            now = time
            growth = now / t if t else None
    extra = []
    for key in ["lean_floor_s", "lean_ratio", "insert_floor_s", "fields_floor_s", "cancel_s", "cancel_ratio", "command_peak_MB", "cancel_command_peak_MB",
                "growth_MB", "cancel_growth_MB", "trail_p99_ms", "store_p99_ms", "p99_ms", "with_trail", "load_ms",
                "paint_ms", "vs_10_rows", "window_peak_MB", "window_share_MB", "limit_MB", "rows_ratio"]:
        if key in b:
            extra.append(f"{key} {figure(b[key])}")
    # A floor's own parts (<floor>_<part>_s), after the figures above.
    for key in sorted(b):
        if PART_KEY.match(key):
            extra.append(f"{key} {figure(b[key])}")
    return (f"| {name} | {figure(time)} {unit} | {figure(floor)} | {figure(ratio)} | {figure(growth)} | "
            f"{figure(b.get('peak_MB'))} | {'; '.join(extra)} |")


def main():
    report = json.load(open(sys.argv[1]))
    readme_path = sys.argv[2]
    text = open(readme_path).read()
    rows = rows_of(report)
    old = {}
    if BEGIN in text and END in text:
        body = text.split(BEGIN, 1)[1].split(END, 1)[0]
        for line in body.splitlines():
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if line.startswith("| ") and cells and cells[0] not in ("benchmark", "---"):
                old[cells[0]] = line
    lines = {name: line_of(name, b, rows) for name, b in rows.items()}
    for name, line in old.items():
        lines.setdefault(name, line)
    table = [
        BEGIN,
        f"Machine: {machine()}. Run {report['context'].get('date', '')}.",
        "",
        "| benchmark | time | floor | ratio | 2x / 1x | peak MB | more |",
        "| --- | --- | --- | --- | --- | --- | --- |",
    ]
    table += [lines[n] for n in sorted(lines)]
    table.append(END)
    new = "\n".join(table)
    if BEGIN in text and END in text:
        head, rest = text.split(BEGIN, 1)
        text = head + new + rest.split(END, 1)[1]
    else:
        text = text.rstrip() + "\n\n## Scaling table\n\n" + new + "\n"
    open(readme_path, "w").write(text)


if __name__ == "__main__":
    main()
