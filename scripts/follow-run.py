#!/usr/bin/env python3
"""Shows a gpsupdate-auto run as the operator would follow it: the message
area's texts as they change (without the transfer clock's ticking), message
boxes, and one progress line that updates in place. Exits with the run's exit
status taken from its end line (0 success, 1 failure, 3 time-out)."""
import json
import sys

def main() -> int:
    tty = sys.stdout.isatty()
    percent, clock, last_text = "", "", None
    progress_shown = False
    status = 1
    for raw in sys.stdin:
        try:
            line = json.loads(raw)
        except json.JSONDecodeError:
            continue
        kind = line.get("kind")
        if kind == "message":
            text = line["text"]
            base = text.split(": (計時:")[0]
            if base != last_text and text:
                if progress_shown:
                    print()
                    progress_shown = False
                colour = {"red": "[錯誤] ", "blue": "[完成] "}.get(line.get("colour"), "")
                print(colour + text.replace("\r\n", "\n        "), flush=True)
            last_text = base
        elif kind == "box":
            if progress_shown:
                print()
                progress_shown = False
            print(f"  <{line['icon']}> {line['text']}  -> {line['answer']}", flush=True)
        elif kind in ("percent", "clock"):
            if kind == "percent":
                percent = line["text"]
            else:
                clock = line["text"]
            bar_value = float(percent.rstrip("%") or 0) if percent.rstrip("%").replace(".", "", 1).isdigit() else 0.0
            filled = int(bar_value / 100 * 30)
            text = f"  [{'#' * filled}{'.' * (30 - filled)}] {percent:>6}  {clock}"
            if tty:
                print("\r" + text, end="", flush=True)
            elif kind == "clock":
                print(text, flush=True)
            progress_shown = tty
        elif kind == "end":
            if progress_shown:
                print()
            result = line["result"]
            print(f"== {result}: port COM{line['port']}, {line['seconds']} s "
                  f"(longest event-loop stall {line.get('max_stall_ms')} ms, "
                  f"peak memory {line.get('peak_rss_kib')} KiB)")
            status = {"success": 0, "timeout": 3}.get(result, 1)
    return status

if __name__ == "__main__":
    sys.exit(main())
