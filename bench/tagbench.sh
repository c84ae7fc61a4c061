#!/bin/bash
# Times writing the tags into the pieces of one splitter run, both ways TagAPI can write them, side by side with cp
# of the same bytes and with the splitter's run itself: "tagapi" is what TagAPI does (an overwrite where the new
# tags fit the room the old ones took, else a copy), "copy" writes each piece anew beside itself. Pieces are tagged
# fresh from the splitter, as the job tags them. Medians over RUNS runs (default 5).
# usage: bench/tagbench.sh [BUILD_DIR]   (default: build next to this script's repository)
# The work folder is made under $TMPDIR (or /tmp).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
tool=$build/bin/velvane-tagbench
splitter=${VELVANE_MP3SPLT:-$(command -v mp3splt)}
runs=${RUNS:-5}
[ -x "$tool" ] || { echo "no velvane-tagbench in $build/bin; build the target velvane-tagbench" >&2; exit 2; }
for program in ffmpeg lame oggenc bc "$splitter"; do
    command -v "$program" >/dev/null || { echo "$program is needed" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/velvane-tagbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "work folder $work on $(df --output=fstype "$work" | tail -1)" >&2

echo "making a 60-minute MP3 (192 kbit/s CBR) and a 60-minute Ogg Vorbis (-q 5) album..." >&2
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=3600" -ac 2 -f s16le - |
    lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j --cbr -b 192 - "$work/album.mp3" 2>/dev/null
# Noise rather than a tone, so that the Ogg album is as large as music makes it.
ffmpeg -loglevel error -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:sample_rate=44100:duration=3600" -ac 2 \
    -f wav - 2>/dev/null | oggenc -Q -q 5 -o "$work/album.ogg" -
ls -l "$work"/album.* >&2

# Cut points spread evenly over the hour, written m.ss.hh as the splitter reads them.
points() {
    local tracks=$1 i s
    for ((i = 0; i < tracks; i++)); do
        s=$((i * 360000 / tracks))
        printf '%d.%02d.%02d ' $((s / 6000)) $((s / 100 % 60)) $((s % 100))
    done
}
split() { # album tracks folder
    local options=(-q -n)
    [[ $1 == *.mp3 ]] && options+=(-f)
    rm -rf "$3" && mkdir "$3"
    # shellcheck disable=SC2046
    "$splitter" "${options[@]}" -d "$3" -o @n "$1" $(points "$2") EOF >/dev/null 2>&1
}
now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { echo "$1 / $2" | bc -l; }

printf '%-9s %7s %7s | %-15s %-15s | %-13s %-13s | %-13s\n' album cp split "tagapi" "copy" "tagapi" copy \
    "split + copy"
printf '%-9s %7s %7s | %-15s %-15s | %-13s %-13s | %-13s\n' "" "s" "s" "s (cpu s)" "s (cpu s)" "/ cp" "/ cp" \
    "/ split"
for case in "mp3 15" "mp3 40" "mp3 99" "ogg 15"; do
    read -r kind tracks <<<"$case"
    album=$work/album.$kind
    : >"$work/cp" && : >"$work/split" && : >"$work/inplace" && : >"$work/copy"
    for ((run = 0; run < runs; run++)); do
        start=$(now)
        cp "$album" "$work/copy.$kind"
        echo "$(now) - $start" | bc -l >>"$work/cp"
        rm "$work/copy.$kind"

        start=$(now)
        split "$album" "$tracks" "$work/a"
        echo "$(now) - $start" | bc -l >>"$work/split"
        # A second set, also fresh in the page cache: a second run would give Ogg pieces other serial numbers.
        rm -rf "$work/b" && cp -r "$work/a" "$work/b"
        "$tool" "$work"/a/*."$kind" >>"$work/inplace"
        "$tool" --copy "$work"/b/*."$kind" >>"$work/copy"
        diff -r -q "$work/a" "$work/b" >/dev/null || { echo "the two ways gave different pieces" >&2; exit 1; }
    done
    cp_s=$(median <"$work/cp") split_s=$(median <"$work/split")
    inplace_s=$(cut -d' ' -f1 "$work/inplace" | median) inplace_cpu=$(cut -d' ' -f2 "$work/inplace" | median)
    copy_s=$(cut -d' ' -f1 "$work/copy" | median) copy_cpu=$(cut -d' ' -f2 "$work/copy" | median)
    printf '%-9s %7.3f %7.3f | %6.3f (%6.3f) %6.3f (%6.3f) | %13.2f %13.2f | %13.2f\n' "$kind x$tracks" "$cp_s" \
        "$split_s" "$inplace_s" "$inplace_cpu" "$copy_s" "$copy_cpu" "$(ratio "$inplace_s" "$cp_s")" \
        "$(ratio "$copy_s" "$cp_s")" "$(ratio "($split_s + $copy_s)" "$split_s")"
done
