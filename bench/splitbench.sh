#!/bin/bash
# Times one hour of CBR MP3 cut into 15 tracks three ways, in one run on one album:
# a plain copy of the file, the splitter's 15 runs on their own, and the whole velvane-split job.
# usage: bench/splitbench.sh [BUILD_DIR]   (default: build next to this script's repository)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
cli=$build/bin/velvane-split
splitter=${VELVANE_MP3SPLT:-$(command -v mp3splt)}
[ -x "$cli" ] || { echo "no velvane-split at $cli; build the target first" >&2; exit 2; }
[ -x "$splitter" ] || { echo "no mp3splt found; set VELVANE_MP3SPLT" >&2; exit 2; }
for tool in ffmpeg lame bc; do
    command -v $tool >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/velvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
tracks=15
track_seconds=240

echo "making a $((tracks * track_seconds / 60))-minute album of $tracks tones at 192 kbit/s CBR..." >&2
mkdir "$work/album"
# One tone per track, so a wrong cut would be audible; the frequency steps every track_seconds. lame, not ffmpeg's
# encoder, writes the album: its LAME header is what real rips carry and what the splitter's gapless mode reads.
inputs=() graph=""
for n in $(seq 0 $((tracks - 1))); do
    inputs+=(-f lavfi -i "sine=frequency=$((220 + 55 * n)):sample_rate=44100:duration=$track_seconds")
    graph+="[$n]"
done
ffmpeg -loglevel error "${inputs[@]}" -filter_complex "${graph}concat=n=$tracks:v=0:a=1" -ac 2 -f s16le - |
    lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j --cbr -b 192 - "$work/album/album.mp3" 2>/dev/null
{
    echo 'PERFORMER "Bench Band"'
    echo 'TITLE "Bench Album"'
    echo 'FILE "album.mp3" MP3'
    for n in $(seq 1 $tracks); do
        printf '  TRACK %02d AUDIO\n    TITLE "Tone %d"\n    PERFORMER "Bench Band"\n' "$n" "$n"
        printf '    INDEX 01 %02d:00:00\n' $(((n - 1) * track_seconds / 60))
    done
} >"$work/album/album.cue"

# An untimed first job records the splitter's exact arguments and warms the page cache for everyone.
mkdir "$work/args" "$work/warm"
cat >"$work/record-splitter" <<WRAP
#!/bin/bash
n=\$(ls "$work/args" | wc -l)
printf '%s\0' "\$@" >"$work/args/\$(printf %03d \$n)"
exec "$splitter" "\$@"
WRAP
chmod +x "$work/record-splitter"
VELVANE_MP3SPLT="$work/record-splitter" "$cli" "$work/album/album.cue" --dest "$work/warm" --numbered --tags \
    2>/dev/null >/dev/null
# More runs than tracks means the job retried some cuts; the comparison would then flatter the job.
runs=$(ls "$work/args" | wc -l)
[ "$runs" -eq $tracks ] || { echo "the job ran the splitter $runs times for $tracks tracks" >&2; exit 1; }

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

start=$(now)
cp "$work/album/album.mp3" "$work/copy.mp3"
t_copy=$(elapsed "$start" "$(now)")
rm -f "$work/copy.mp3"

mkdir "$work/alone"
start=$(now)
for file in "$work"/args/*; do
    mapfile -d '' args <"$file"
    # The job's private folder is gone; cut into a folder of our own instead.
    for i in "${!args[@]}"; do
        if [ "${args[$i]}" = "-d" ]; then args[$((i + 1))]="$work/alone"; fi
    done
    "$splitter" "${args[@]}" >/dev/null 2>&1
done
t_alone=$(elapsed "$start" "$(now)")

mkdir "$work/job"
start=$(now)
VELVANE_MP3SPLT="$splitter" "$cli" "$work/album/album.cue" --dest "$work/job" --numbered --tags 2>/dev/null >/dev/null
t_job=$(elapsed "$start" "$(now)")
made=$(ls "$work/job" | wc -l)
[ "$made" -eq $tracks ] || { echo "the job made $made files, not $tracks" >&2; exit 1; }

printf '%-34s %8.3f s\n' "cp of the album ($(du -m "$work/album/album.mp3" | cut -f1) MB)" "$t_copy"
printf '%-34s %8.3f s  %6.1f x cp\n' "splitter alone, $tracks runs" "$t_alone" "$(echo "$t_alone / $t_copy" | bc -l)"
printf '%-34s %8.3f s  %6.1f x cp  %5.2f x splitter alone\n' "velvane-split --numbered --tags" "$t_job" \
    "$(echo "$t_job / $t_copy" | bc -l)" "$(echo "$t_job / $t_alone" | bc -l)"
