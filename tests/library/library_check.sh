#!/usr/bin/env bash
# Splits generated albums with velvane-split --tags, indexes the tracks with MPD and reads them back with mutagen: a
# compilation must come out as one album with its album artist, two discs as one album with discs 1 and 2, and every
# track with its sheet's year and genre; in MP3 (CBR and VBR), Ogg Vorbis, FLAC and WAV.
# Usage: library_check.sh VELVANE_SPLIT READ_TAGS_PY
set -euo pipefail

split_tool=$1
read_tags=$2
work=$(mktemp -d)
music=$work/music
mpd_pid=
cleanup() {
    [[ -n $mpd_pid ]] && kill "$mpd_pid" 2>/dev/null && wait "$mpd_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# album FOLDER FORMAT GENRE DATE PERFORMER TITLE HEADER TRACK...: music (short decaying notes of a melody over a noise
# floor, a rest now and then) in FORMAT (cbr, vbr, ogg, flac or wav), its sheet with HEADER's lines and a track every
# 3 s, each TRACK a "title" or "title/performer"; then the split, which leaves only the pieces.
album() {
    local folder=$music/$1 format=$2 genre=$3 date=$4 performer=$5 title=$6 header=$7 n=0
    shift 7
    mkdir -p "$folder"
    ffmpeg -v error -f lavfi -i "aevalsrc='gt(mod(t,3),0.4)*(0.3*sin(2*PI*(330+55*mod(floor(t*4),7))*t)*exp(-4*mod(t,0.25))+0.01*(random(0)-0.5))':d=$((3 * $#)):s=44100:c=stereo" -fflags +bitexact -flags:a +bitexact -y "$work/raw.wav"
    case $format in
    cbr) lame --quiet --cbr -b 128 "$work/raw.wav" "$folder/image.mp3" && file='"image.mp3" MP3' ;;
    vbr) lame --quiet -V 2 "$work/raw.wav" "$folder/image.mp3" && file='"image.mp3" MP3' ;;
    ogg) oggenc -Q -q 4 -o "$folder/image.ogg" "$work/raw.wav" && file='"image.ogg" OGG' ;;
    flac) flac -s -o "$folder/image.flac" "$work/raw.wav" && file='"image.flac" WAVE' ;;
    wav) cp "$work/raw.wav" "$folder/image.wav" && file='"image.wav" WAVE' ;;
    esac
    {
        printf 'REM GENRE "%s"\nREM DATE %s\n%sPERFORMER "%s"\nTITLE "%s"\nFILE %s\n' "$genre" "$date" "$header" \
            "$performer" "$title" "$file"
        for track in "$@"; do
            printf '  TRACK %02d AUDIO\n    TITLE "%s"\n' $((n + 1)) "${track%%/*}"
            [[ $track != */* ]] || printf '    PERFORMER "%s"\n' "${track#*/}"
            printf '    INDEX 01 00:%02d:00\n' $((3 * n++))
        done
    } >"$folder/image.cue"
    "$split_tool" "$folder/image.cue" --tags --numbered >"$work/split.log" 2>&1 || {
        cat "$work/split.log"
        fail "split $folder"
    }
    rm "$folder"/image.*
}

album "Hits 1995" cbr Pop 1995 "Various Artists" "Hits 1995" "" "First Hit/Ann Singer" "Second Hit/Bob Player" \
    "Third Hit/Dee Drummer"
# Two discs of one album, one in Ogg Vorbis, one in MP3; the folders name the discs too.
album "Double Live/CD1" ogg "Hard Rock" 2003 "The Band" "Double Live" $'REM DISCNUMBER 1/2\nREM TOTALDISCS 2\n' \
    "Opener 1" "Closer 1"
album "Double Live/CD2" vbr "Hard Rock" 2003 "The Band" "Double Live" $'REM DISCNUMBER 2\nREM TOTALDISCS 2\n' \
    "Opener 2" "Closer 2"
for format in flac wav; do
    album "Lossless $format" $format Jazz 1959 "Various Artists" "Lossless $format" "" "Blue/Miles" "Green/Bill"
done

# mutagen: what every piece holds, as a second reader of the tags.
/usr/bin/python3 "$read_tags" "$music" >"$work/tags.txt"
expect_tags() { # file name, expected line
    grep -qxF "$1	$2" "$work/tags.txt" || fail "mutagen read $(grep -F "$1" "$work/tags.txt" || echo "nothing of $1"), not $2"
}
expect_tags "01 Ann Singer - First Hit.mp3" "Hits 1995|Various Artists|1|-|1995|Pop|3"
expect_tags "01 The Band - Opener 1.ogg" "Double Live|The Band|-|1/2|2003|Hard Rock|vorbis"
expect_tags "02 The Band - Closer 2.mp3" "Double Live|The Band|-|2/2|2003|Hard Rock|3"
for format in flac wav; do
    if [[ $format == flac ]]; then version=vorbis; else version=3; fi
    expect_tags "01 Miles - Blue.$format" "Lossless $format|Various Artists|1|-|1959|Jazz|$version"
done

# MPD on a free port of the loopback, with a database of its own and no sound.
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'music_directory "%s"\ndb_file "%s"\nbind_to_address "127.0.0.1"\nport "%s"\nlog_file "%s"\n' "$music" \
    "$work/mpd.db" "$port" "$work/mpd.log" >"$work/mpd.conf"
printf 'audio_output {\n    type "null"\n    name "null"\n}\n' >>"$work/mpd.conf"
mpd --no-daemon "$work/mpd.conf" 2>>"$work/mpd.err" &
mpd_pid=$!
mpc_() { mpc -h 127.0.0.1 -p "$port" "$@"; }
for _ in $(seq 100); do mpc_ status >/dev/null 2>&1 && break; sleep 0.1; done
mpc_ update --wait >/dev/null || { cat "$work/mpd.err" "$work/mpd.log" >&2; fail "mpd did not index the music"; }

expected_albums=$(printf '%s\n' "Double Live" "Hits 1995" "Lossless flac" "Lossless wav")
[[ $(mpc_ list album | sort) == "$expected_albums" ]] || fail "MPD lists the albums $(mpc_ list album | tr '\n' ',')"
# No disc leaves "%disc%" empty.
find_album() { mpc_ -f '%disc% %date% %genre% %albumartist%' find album "$1" | sort | uniq -c | sed 's/^ *//'; }
[[ $(find_album "Hits 1995") == "3  1995 Pop Various Artists" ]] || fail "the compilation reads as: $(find_album "Hits 1995")"
[[ $(find_album "Double Live") == $'2 1 2003 Hard Rock The Band\n2 2 2003 Hard Rock The Band' ]] ||
    fail "the two discs read as: $(find_album "Double Live")"
echo "library check passed"
