#!/bin/sh
# Builds the composition benchmark in the release preset's folder and runs it: pages per second and
# bytes in each palette (rgb, gray, gray16) with one thread and with every core, GraphicsMagick on
# the same pictures and palettes, and the peak memory of each (GNU time). Extra arguments go to
# compose_bench (for example --pictures DIR, --palette gray16).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target compose_bench >/dev/null
bench=$root/build/release/bench/compose/compose_bench

slides=$(mktemp -d "${TMPDIR:-/tmp}/compose-slides-XXXXXX")
trap 'rm -rf "$slides"' EXIT INT TERM
case " $* " in
*" --pictures "*) "$bench" "$@" ;;
*)
    "$bench" --keep "$slides" "$@"
    set -- --pictures "$slides" "$@"
    ;;
esac

if [ -x /usr/bin/time ]; then
    peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p'; }
    dir=$(printf '%s\n' "$@" | sed -n '/^--pictures$/{n;p;}')
    echo "peak memory, vellumet 1 thread:   $(peak "$bench" "$@" --only --threads 1) kB"
    echo "peak memory, vellumet all cores:  $(peak "$bench" "$@" --only --threads 0) kB"
    out=$(mktemp "${TMPDIR:-/tmp}/compose-gm-XXXXXX.pdf")
    echo "peak memory, vellumet gray16:     $(peak "$bench" "$@" --only --threads 0 --palette gray16) kB"
    echo "peak memory, GraphicsMagick:      $(peak gm convert "$dir"/*.png -rotate 270 -resize 784x1150 -compress zip "$out") kB"
    echo "PDF sizes: $(ls -l "$out" | awk '{print $5}') bytes (GraphicsMagick)"
    rm -f "$out"
else
    echo "install GNU time (package time) to measure peak memory"
fi
