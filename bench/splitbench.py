#!/usr/bin/env python3
"""Times velvane-split against a plain copy and against the splitter's own run, side by side, with medians.

A WAV or FLAC album is cut by Velvane's own code, with no splitter: its "alone" column stays empty.

For each album: a cp of the album file, the whole job (velvane-split --numbered --tags), and the splitter's one
run with every cut point alone, with the very arguments the job gave it (recorded in an untimed first job). The
"runs" column counts the job's splitter runs: more than one means it cut some pieces again on their own. The three run in turn
in every round, so a busy moment hits all of them alike; the report gives medians and their ratios, job/alone as the
median of each round's own ratio.

With --against DIR, the job of another build (DIR/bin/velvane-split) runs in every round too, right after this
build's, and its job/alone is reported beside: two builds compared side by side in one run.

It also checks the job's exactness on each album: every cut within 3.3 ms of its cue time, the decoded pieces
joined equal to the decoded album sample for sample, and the last piece ending with the album.

With --cover, a cover.jpg of some 500 kB stands beside each album, and the job embeds it in every piece.

usage: bench/splitbench.py [--build DIR] [--against DIR] [--rounds N] [--albums NAME,...] [--keep DIR] [--cover]
                          [--job-options "..."]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RATE = 44100
ALBUMS = {
    # name: (minutes, tracks, encoder arguments)
    "cbr15": (60, 15, "mp3 --cbr -b 192"),
    "cbr40": (60, 40, "mp3 --cbr -b 192"),
    "cbr99": (80, 99, "mp3 --cbr -b 192"),
    "vbr15": (60, 15, "mp3 -V 2"),
    "ogg15": (60, 15, "ogg -q 5"),
    "wav15": (60, 15, "wav"),
}
# Music is never a pure tone, and encoders choose their blocks and frames by what they hear: each album plays notes
# over a faint noise floor, with silences, unless its name ends in "-tones" (one pure tone a track).
# Small albums to try the script itself; not run unless named.
TRIAL = {"trial-mp3": (2, 5, "mp3 --cbr -b 192"), "trial-ogg": (2, 5, "ogg -q 5"), "trial-wav": (2, 5, "wav"),
         "ogg15-tones": (60, 15, "ogg -q 5")}
LOSSLESS = ("wav", "flac")


def run(args, **kw):
    return subprocess.run(args, check=True, **kw)


def track_starts(minutes, tracks):
    """Start of each track in cue frames (1/75 s): uneven lengths, so no cut falls on a round number."""
    total = minutes * 60 * 75
    weights = [3 + (i * 7) % 5 for i in range(tracks)]
    starts, at = [], 0
    for w in weights:
        starts.append(at)
        at += total * w // sum(weights)
    return starts, total


def make_album(folder, name):
    minutes, tracks, encoder = {**ALBUMS, **TRIAL}[name]
    kind, *options = encoder.split()
    starts, total = track_starts(minutes, tracks)
    path = os.path.join(folder, f"{name}.{kind}")
    if os.path.exists(path):
        return path, starts, total
    print(f"making {name}: {minutes} min, {tracks} tracks, {encoder}...", file=sys.stderr)
    # Music-like audio: each track plays notes of its own scale, each note decaying, over a faint pink noise, and
    # the whole falls silent (digital silence) for 0.7 s every 11 s, so that cuts land in notes, noise and silence.
    bounds = starts[1:] + [total]
    inputs, graph = [], ""
    for i, (s, e) in enumerate(zip(starts, bounds)):
        samples = (e - s) * RATE // 75
        base = 110 + 23 * i
        if name.endswith("-tones"):
            source = f"sine=frequency={220 + 37 * i}:sample_rate={RATE}:duration={samples / RATE + 0.1}"
        else:
            note = f"floor(mod(t*{3 + i % 4}\\,7))"
            source = (f"aevalsrc=exprs=0.3*sin(2*PI*{base}*pow(2\\,{note}*2/12)*t)*exp(-4*mod(t*{3 + i % 4}\\,1))"
                      f":sample_rate={RATE}:duration={samples / RATE + 0.1}")
        inputs += ["-f", "lavfi", "-i", source]
        graph += f"[{i}]atrim=end_sample={samples}[t{i}];"
    graph += "".join(f"[t{i}]" for i in range(tracks)) + f"concat=n={tracks}:v=0:a=1"
    if not name.endswith("-tones"):
        inputs += ["-f", "lavfi", "-i", f"anoisesrc=color=pink:sample_rate={RATE}:amplitude=0.02:seed=7:duration={total / 75}"]
        graph += (f"[tones];[tones][{tracks}]amix=inputs=2:normalize=0:duration=first,"
                  "volume=volume='if(lt(mod(t\\,11)\\,0.7)\\,0\\,1)':eval=frame")
    pcm = subprocess.Popen(["ffmpeg", "-loglevel", "error", *inputs, "-filter_complex", graph, "-ac", "2",
                            "-f", "s16le", "-"], stdout=subprocess.PIPE)
    if kind == "wav":
        run(["ffmpeg", "-loglevel", "error", "-y", "-f", "s16le", "-ar", str(RATE), "-ac", "2", "-i", "-",
             "-map_metadata", "-1", "-flags", "+bitexact", path], stdin=pcm.stdout)
    elif kind == "mp3":
        run(["lame", "--quiet", "-r", "-s", "44.1", "--bitwidth", "16", "--signed", "--little-endian", "-m", "j",
             *options, "-", path], stdin=pcm.stdout)
    else:
        run(["oggenc", "-Q", "-r", "-R", str(RATE), "-B", "16", "-C", "2", *options, "-o", path, "-"],
            stdin=pcm.stdout)
    pcm.wait()
    return path, starts, total


def write_sheet(album, starts):
    sheet = os.path.splitext(album)[0] + ".cue"
    kind = "WAVE" if album.endswith(LOSSLESS) else "MP3"
    with open(sheet, "w", encoding="utf-8") as f:
        f.write(f'PERFORMER "Bench Band"\nTITLE "Bench Album"\nFILE "{os.path.basename(album)}" {kind}\n')
        for n, s in enumerate(starts, 1):
            f.write(f'  TRACK {n:02d} AUDIO\n    TITLE "Tone {n}"\n')
            f.write(f"    INDEX 01 {s // 4500:02d}:{s // 75 % 60:02d}:{s % 75:02d}\n")
    return sheet


def decode(path):
    """16-bit stereo PCM bytes as a gapless player plays them: ffmpeg honours the LAME header of MP3; oggdec honours
    the granule positions of Ogg, which ffmpeg does not."""
    if path.endswith(".ogg"):
        return run(["oggdec", "-Q", "-R", "-b", "16", "-e", "0", "-s", "1", "-o", "-", path],
                   capture_output=True).stdout
    return run(["ffmpeg", "-loglevel", "error", "-i", path, "-f", "s16le", "-ac", "2", "-"],
               capture_output=True).stdout


def check_exactness(album, starts, pieces):
    frame = 4  # bytes of one stereo sample
    whole = decode(album)
    parts = [decode(piece) for piece in pieces]
    cuts, at = [], 0
    for part in parts:
        cuts.append(at // frame)
        at += len(part)
    joined = b"".join(parts)
    worst = max(abs(c - s * RATE / 75) for c, s in zip(cuts, starts)) / RATE * 1000
    problems = []
    if worst > 3.34:
        problems.append(f"a cut is {worst:.2f} ms from its cue time")
    if joined != whole:
        first = next((i for i in range(0, min(len(joined), len(whole)), 1 << 16)
                      if joined[i:i + (1 << 16)] != whole[i:i + (1 << 16)]), min(len(joined), len(whole)))
        problems.append(f"the joined pieces differ from the album near sample {first // frame} "
                        f"({len(joined) // frame} samples against {len(whole) // frame})")
    return worst, problems


def timed(args, check=True, **kw):
    start = time.perf_counter()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=check, **kw)
    return time.perf_counter() - start


def place_cover(album, wanted):
    """A noisy 1000 x 1000 JPEG beside the album, as a scanned cover is, or none."""
    cover = os.path.join(os.path.dirname(album), "cover.jpg")
    if os.path.exists(cover):
        os.remove(cover)
    if wanted:
        run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=c=0x806040:s=1000x1000", "-vf",
             "noise=alls=25:allf=t", "-frames:v", "1", "-q:v", "3", cover])


def bench(work, cli, splitter, name, rounds, store, cover, job_options, against=None):
    album, starts, total = make_album(store, name)
    place_cover(album, cover)
    sheet = write_sheet(album, starts)
    # An untimed first job warms the cache and records the splitter's arguments for the runs alone.
    args_dir = os.path.join(work, "args")
    os.makedirs(args_dir, exist_ok=True)
    for f in os.listdir(args_dir):
        os.remove(os.path.join(args_dir, f))
    recorder = os.path.join(work, "record-splitter")
    with open(recorder, "w") as f:
        f.write(f'#!/bin/bash\nn=$(ls "{args_dir}" | wc -l)\nprintf "%s\\0" "$PWD" "$@" >"{args_dir}/$n"\n'
                f'exec "{splitter}" "$@"\n')
    os.chmod(recorder, 0o755)
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    # A lossless piece whose tags cannot be written is still made and timed; the count below checks it is there.
    lossless = album.endswith(LOSSLESS)
    timed([cli, sheet, "--dest", out, *job_options], check=not lossless,
          env={**os.environ, "VELVANE_MP3SPLT": recorder})
    pieces = sorted(os.path.join(out, p) for p in os.listdir(out))
    if len(pieces) != len(starts):
        sys.exit(f"{name}: the job made {len(pieces)} pieces for {len(starts)} tracks")
    runs = sorted(os.listdir(args_dir), key=int)
    worst, problems = check_exactness(album, starts, pieces)

    recorded = []
    for r in runs:
        with open(os.path.join(args_dir, r), "rb") as f:
            cwd, *args = [a.decode() for a in f.read().split(b"\0")[:-1]]
        recorded.append(args)

    t_cp, t_job, t_alone, t_against = [], [], [], []
    for _ in range(rounds):
        copy = os.path.join(work, "copy")
        t_cp.append(timed(["cp", album, copy]))
        os.remove(copy)

        shutil.rmtree(out)
        os.mkdir(out)
        t_job.append(timed([cli, sheet, "--dest", out, *job_options], check=not lossless,
                           env={**os.environ, "VELVANE_MP3SPLT": splitter}))
        if against:
            shutil.rmtree(out)
            os.mkdir(out)
            t_against.append(timed([against, sheet, "--dest", out, *job_options], check=not lossless,
                                   env={**os.environ, "VELVANE_MP3SPLT": splitter}))
        if lossless:
            continue

        alone = os.path.join(work, "alone")
        shutil.rmtree(alone, ignore_errors=True)
        os.mkdir(alone)
        # The job's first run is the one with every cut point; runs after it cut again what it made wrong.
        t_alone.append(timed([splitter, *recorded[0]], cwd=alone))
    shutil.rmtree(out)

    cp, job = statistics.median(t_cp), statistics.median(t_job)
    alone = statistics.median(t_alone) if t_alone else None
    per_round = lambda jobs: statistics.median(j / a for j, a in zip(jobs, t_alone)) if t_alone and jobs else None
    return {"name": name, "mb": os.path.getsize(album) / 1e6, "tracks": len(starts), "runs": len(runs),
            "cp": cp, "job": job, "alone": alone, "job_alone": per_round(t_job), "against": per_round(t_against),
            "worst_ms": worst, "problems": problems}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(here, "..", "build"))
    parser.add_argument("--against", help="another build folder whose job is timed in the same rounds")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--albums", default=",".join(ALBUMS))
    parser.add_argument("--keep", help="a folder to keep the generated albums in between runs")
    parser.add_argument("--cover", action="store_true", help="a cover beside each album, embedded in every piece")
    parser.add_argument("--job-options", default="--numbered --tags", help="velvane-split's options in the job")
    options = parser.parse_args()

    cli = os.path.join(options.build, "bin", "velvane-split")
    splitter = os.environ.get("VELVANE_MP3SPLT") or shutil.which("mp3splt")
    for tool in ("ffmpeg", "lame", "oggenc", "oggdec"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is needed")
    if not os.access(cli, os.X_OK) or not splitter:
        sys.exit(f"needs {cli} and mp3splt (or VELVANE_MP3SPLT)")
    against = os.path.join(options.against, "bin", "velvane-split") if options.against else None
    if against and not os.access(against, os.X_OK):
        sys.exit(f"needs {against}")

    with tempfile.TemporaryDirectory(prefix="velvane-bench.") as work:
        store = options.keep or work
        os.makedirs(store, exist_ok=True)
        results = [bench(work, cli, splitter, name, options.rounds, store, options.cover, options.job_options.split(),
                         against)
                   for name in options.albums.split(",")]

    print(f"medians of {options.rounds} rounds; ratios are to cp of the same album")
    print(f"{'album':8} {'MB':>5} {'tracks':>6} {'runs':>4} {'cp s':>7} {'job/cp':>7} {'alone/cp':>8} "
          f"{'job/alone':>9} {'worst cut':>9}" + (f" {'against: job/alone':>18}" if against else ""))
    for r in results:
        alone = f"{r['alone'] / r['cp']:8.2f} {r['job_alone']:9.2f}" if r["alone"] else f"{'-':>8} {'-':>9}"
        other = f" {r['against']:18.2f}" if r["against"] else ""
        print(f"{r['name']:8} {r['mb']:5.0f} {r['tracks']:6d} {r['runs']:4d} {r['cp']:7.3f} "
              f"{r['job'] / r['cp']:7.2f} {alone} {r['worst_ms']:7.2f}ms{other}")
    flat = {r["name"]: r["job"] / r["cp"] for r in results}
    if "cbr15" in flat and "cbr99" in flat:
        print(f"flatness: the 99-track job's ratio to cp is {flat['cbr99'] / flat['cbr15']:.2f} x the 15-track job's")
    failed = False
    for r in results:
        for problem in r["problems"]:
            print(f"{r['name']}: {problem}")
            failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
