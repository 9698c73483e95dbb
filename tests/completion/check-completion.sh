#!/usr/bin/env bash
# check-completion.sh COMPLETION-FILE
# Drives imgdl's completion as bash does on Tab: COMP_WORDS/COMP_CWORD set, the
# function called, COMPREPLY compared (sorted) with what a user should be offered.
set -uo pipefail
export LC_ALL=C
# shellcheck source=/dev/null
source "$1" || exit 1
status=0

registered=$(complete -p imgdl 2>&1)
if [[ $registered != "complete -F _imgdl imgdl" ]]; then
    echo "not registered for imgdl: $registered" >&2
    status=1
fi

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
mkdir sub
touch a.pdb b.bin c.txt d.img sub/e.pdb sub/f.svg

# line typed (Tab at its end; a trailing blank starts a new word) | expected, sorted
cases=(
    "imgdl pr|probe provision"
    "imgdl |--help --version ledger probe provision ptz send station"
    "imgdl station --rec|--recipe"
    "imgdl station --recipe |app app+identity identity integrated"
    "imgdl send |--help app identity integrated ptz"
    "imgdl send app |a.pdb b.bin c.txt d.img sub"
    "imgdl send app d.img --|--ack-timeout --connect-timeout --json --log --retries --target --trace --verbose --write-timeout"
    "imgdl send ptz |b.bin sub"
    "imgdl send identity --|--ack-timeout --auto-increase --connect-timeout --json --log --mac --retries --serial --target --trace --write-timeout"
    "imgdl send integrated d.img --a|--ack-timeout --auto-increase"
    "imgdl send app d.img --target |"
    "imgdl send app d.img --log c|c.txt"
    "imgdl ptz |--help build list verify"
    "imgdl ptz list |a.pdb b.bin sub"
    "imgdl ptz list sub/|sub/e.pdb"
    "imgdl ptz verify --|--json"
    "imgdl ptz verify |b.bin sub"
    "imgdl ptz build |a.pdb sub"
    "imgdl ptz build a.pdb 3 -o |b.bin sub"
    "imgdl probe --|--help --integrated --json --verbose"
    "imgdl probe --integrated |a.pdb b.bin c.txt d.img sub"
    "imgdl ledger |--help init label list report settle status"
    "imgdl ledger label 0012AB000000 --|--force --layout --ledger --out --print --serial --since"
    "imgdl ledger label 0012AB000000 --out |sub"
    "imgdl station --label-folder |sub"
    "imgdl station |a.pdb b.bin c.txt d.img sub"
    "imgdl station --label-|--label-folder --label-layout --label-print"
    "imgdl ledger report --|--csv --json --ledger --since --station --svg --until"
    "imgdl ledger report --s|--since --station --svg"
    "imgdl ledger report --since |"
    "imgdl ledger report --svg |sub"
    "imgdl ledger report --svg sub/|sub/f.svg"
    "imgdl ledger settle 0012AB000000 --as |done released void"
    "imgdl ledger list --|--csv --json --ledger"
    "imgdl ledger init --mac-|--mac-first --mac-last"
    "imgdl provision |--help identity integrated"
    "imgdl provision integrated d.img --j|--jobs --json"
    "imgdl provision identity --|--ack-timeout --connect-timeout --jobs --json --ledger --ledger-timeout --retries --target --write-timeout"
)

for case in "${cases[@]}"; do
    line=${case%%|*}
    expected=${case#*|}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _imgdl imgdl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    got=${got% }
    if [[ $got != "$expected" ]]; then
        echo "'$line<Tab>': got '$got', expected '$expected'" >&2
        status=1
    fi
done
exit $status
