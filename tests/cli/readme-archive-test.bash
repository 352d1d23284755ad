#!/usr/bin/env bash
# Runs the README's example of converting an archive on many machines, as written, with GNU
# parallel. The "hosts" are two names for a stand-in ssh that runs each command on this machine in a
# home of its own, so copying the inputs there and the PDFs back really happens.
# Usage: readme-archive-test.bash PROGRAM README SAMPLES-FOLDER
set -euo pipefail

program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
readme=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
samples=$(cd "$3" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/home/.parallel" "$work/remote" "$work/archive/lectures/2019" \
    "$work/archive/talks"
touch "$work/home/.parallel/will-cite"
ln -s "$program" "$work/bin/vellumet-convert"
cat >"$work/bin/ssh" <<SSH
#!/bin/sh
# ssh [options] host command...: runs the command in the "remote" home.
while [ \$# -gt 0 ]; do
    case \$1 in
        -l | -o | -p) shift 2 ;;
        --) shift; break ;;
        -*) shift ;;
        *) shift; break ;;
    esac
done
[ "\${1:-}" = "--" ] && shift
cd "$work/remote" && HOME="$work/remote" XDG_CONFIG_HOME="$work/remote/.config" exec sh -c "\$*"
SSH
chmod +x "$work/bin/ssh"

cd "$work/archive"
printf 'first\nsecond\n' >hosts
cp "$samples/sample.odp" lectures/2019/intro.odp
cp "$samples/widescreen.odp" "talks/intro.odp"
: >talks/empty.ppt

# The example is the first code block after its heading.
example=$(sed -n -e '/^## Converting a whole archive/,/^## /p' "$readme" |
    sed -n -e '/^```sh$/,/^```$/{/^```/d;p}')
[ -n "$example" ] || { echo "FAIL: no example in $readme" >&2; exit 1; }

status=0
# parallel runs the remote commands with the caller's login shell; a CI job may have none.
PATH=$work/bin:$PATH HOME=$work/home TMPDIR=$work/home SHELL=/bin/bash bash -c "$example" >"$work/out" 2>&1 || status=$?
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
[ "$status" -eq 1 ] || fail "parallel exited with $status, not 1 (the empty deck fails)"
for pdf in pdf/lectures/2019/intro.pdf pdf/talks/intro.pdf; do
    if [ ! -f "$pdf" ]; then
        fail "$pdf did not come back"
        continue
    fi
    qpdf --check "$pdf" >/dev/null || fail "$pdf: qpdf --check"
    pdfinfo "$pdf" | grep -qE '^Page size: +900 x 1200 pts' || fail "$pdf: not a Medium page"
done
[ ! -e pdf/talks/empty.pdf ] || fail "the empty deck made a PDF"
failed=$(awk -F'\t' 'NR > 1 && $7 != 0 { print $7, $NF }' convert.log)
[[ $failed == "3 "*"talks/empty.ppt" ]] || fail "the job log's failures: '$failed'"
leftovers=$(find "$work/remote" -name '*.odp' -o -name '*.ppt' -o -name '*.pdf')
[ -z "$leftovers" ] || fail "left on the host: $leftovers"

if [ "$failures" -ne 0 ]; then
    cat "$work/out" >&2
    exit 1
fi
echo "the README's archive example converted 2 decks on 2 hosts and reported the broken one"
