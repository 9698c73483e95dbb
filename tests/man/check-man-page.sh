#!/usr/bin/env bash
# check-man-page.sh PAGE [PROGRAM [COMMAND...]]
# The page renders without a warning from man/groff, and every --long-option that
# 'PROGRAM --help' and each 'PROGRAM COMMAND --help' list is described in the page.
set -uo pipefail
page=$1
shift
status=0

warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
if [[ -n $warnings ]]; then
    echo "$page: man reports:" >&2
    echo "$warnings" >&2
    status=1
fi

# Wide enough that no option is hyphenated across lines.
text=$(MANWIDTH=1000 man -l "$page" 2>/dev/null)
[[ -n $text ]] || { echo "$page: renders empty" >&2; exit 1; }

check_help() {
    local help
    if ! help=$("$@" --help); then
        echo "'$* --help' failed" >&2
        status=1
        return
    fi
    local option
    for option in $(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
        if ! grep -qE -- "(^|[^a-z0-9-])${option}([^a-z0-9-]|$)" <<<"$text"; then
            echo "$page: '$* --help' lists $option, the page does not" >&2
            status=1
        fi
    done
}

if (($#)); then
    program=$1
    shift
    check_help "$program"
    for command in "$@"; do check_help "$program" "$command"; done
fi
exit $status
