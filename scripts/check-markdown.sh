#!/usr/bin/env bash
# Fails when a Markdown file of the repository leaves a code fence open: the
# rest of the page would show as one code block. A fence is a line whose first
# non-blank characters are ``` or ~~~ (three or more); it is closed by a line
# of the same character, at least as long, with nothing after it. A fence with
# a language after it (```sh) inside a block of the same kind is an error too:
# it cannot close the block, so the block above it was left open.
#   scripts/check-markdown.sh            every tracked *.md file
#   scripts/check-markdown.sh FILE...    these files
set -euo pipefail

files=("$@")
if ((${#files[@]} == 0)); then
    cd "$(dirname "$0")/.."
    mapfile -t files < <(git ls-files '*.md')
fi

status=0
for file in "${files[@]}"; do
    if ! awk '
        {
            line = $0
            sub(/^[ \t]+/, "", line)
            if (!match(line, /^(```+|~~~+)/)) next
            run = substr(line, 1, RLENGTH)
            rest = substr(line, RLENGTH + 1)
            if (open == "") {
                open = run; opened = NR
            } else if (substr(run, 1, 1) == substr(open, 1, 1) && length(run) >= length(open)) {
                if (rest ~ /^[ \t]*$/) {
                    open = ""
                } else {
                    # "```sh" cannot close a block: the one above was left open.
                    printf "%s:%d: code fence %s opened inside the block of line %d, which is never closed\n", FILENAME, NR, line, opened
                    bad = 1; open = ""; exit 1
                }
            }
        }
        END {
            if (bad) exit 1
            if (open != "") {
                printf "%s:%d: code fence %s is never closed\n", FILENAME, opened, open
                exit 1
            }
        }' "$file"; then
        status=1
    fi
done
if ((status == 0)); then
    echo "markdown: ${#files[@]} files, every code fence closed"
fi
exit "$status"
