#!/usr/bin/env bash
# info-options.sh PROGRAM VERSION
# --help and --version print on stdout and exit 0 with no window: there is no display to
# open one on, so a program that tried would fail.
set -uo pipefail
program=$1
version=$2
status=0
check() {
    local expected=$1
    shift
    local out err code
    err=$(mktemp)
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$program" "$@" 2>"$err")
    code=$?
    if ((code != 0)); then
        echo "'$*' exited $code: $(cat "$err")" >&2
        status=1
    elif ! grep -qF -- "$expected" <<<"$out"; then
        echo "'$*' printed '$out', not '$expected'" >&2
        status=1
    elif [[ -s $err ]]; then
        echo "'$*' wrote to stderr: $(cat "$err")" >&2
        status=1
    fi
    rm -f "$err"
}
check "Usage: image-downloader" --help
check "Usage: image-downloader" -h
check "--version" --help
check "image-downloader $version" --version
check "image-downloader $version" -style fusion --version
exit $status
