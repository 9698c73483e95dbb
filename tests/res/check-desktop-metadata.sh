#!/bin/sh
# Checks the desktop entry, the AppStream metadata and the committed icons as a
# software centre and the icon theme read them.
#   check-desktop-metadata.sh desktop|metainfo|icons SOURCE_DIR
# Exits 77 (ctest: skipped) when the checker is not installed.
set -u
what=$1
res=$2/src/res
id=io.github.imgdl.ImageDownloader

need() {
    command -v "$1" >/dev/null && return 0
    echo "SKIPPED: $1 is not installed (Debian package $2; scripts/deps test installs it)"
    exit 77
}

case "$what" in
desktop)
    need desktop-file-validate desktop-file-utils
    # Hints count too: a second main category puts the entry twice in menus.
    status=0
    for entry in "$res/$id.desktop" "$res/image-downloader-line.desktop"; do
        out=$(desktop-file-validate "$entry" 2>&1)
        rc=$?
        [ -n "$out" ] && echo "$out"
        [ "$rc" -eq 0 ] && [ -z "$out" ] || status=1
    done
    # The line station's entry opens the line window, not the main dialog.
    grep -qx 'Exec=image-downloader --line' "$res/image-downloader-line.desktop" ||
        { echo "image-downloader-line.desktop does not start image-downloader --line"; status=1; }
    exit $status ;;
metainfo)
    need appstreamcli appstream
    # --strict fails on warnings and infos as well, not only errors.
    appstreamcli validate --no-net --strict "$res/$id.metainfo.xml" || exit 1
    # Both files name each other: the launchable is this desktop entry, and
    # the entry's icon is the one the metadata shows.
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$res/$id.metainfo.xml" ||
        { echo "metainfo: the launchable is not $id.desktop"; exit 1; }
    icon=$(sed -n 's/^Icon=//p' "$res/$id.desktop")
    grep -q "<icon type=\"stock\">$icon</icon>" "$res/$id.metainfo.xml" ||
        { echo "metainfo: the stock icon is not the desktop entry's $icon"; exit 1; } ;;
icons)
    # The theme takes an NxN folder's PNG at its word; a wrong size shows blurred or clipped.
    status=0
    for size in 16 22 24 32 48 64 128 256; do
        png=$res/icons/${size}x${size}/image-downloader.png
        if [ ! -f "$png" ]; then
            echo "missing: $png"; status=1; continue
        fi
        # PNG signature (8 bytes), IHDR length and type (8), then width and height, big-endian.
        dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
        [ "$dims" = "${size}x${size}" ] || { echo "$png is $dims, not ${size}x${size}"; status=1; }
    done
    exit $status ;;
*)
    echo "unknown check: $what"; exit 2 ;;
esac
