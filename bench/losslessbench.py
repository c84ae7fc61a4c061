#!/usr/bin/env python3
"""Times the cutting of lossless album images, side by side in one run, with medians and their ratios.

For each album: a cp of the album file; the job (velvane-split --numbered --tags over a cue sheet, or, where this
build's velvane-split does not cut lossless images yet, velvane-flaccutbench, which calls the core's FLAC cutter
alone); mp3splt's FLAC run with every cut point at once (inexact: it cuts at frame boundaries); and the re-encoding
way (flac -d once, then flac -5 for each track). They run in turn in every round, so a busy moment hits all alike.

Every job's pieces are checked once: joined, they decode to the album's samples, and flac -t passes each.

usage: bench/losslessbench.py [--build DIR] [--rounds N] [--albums NAME,...] [--keep DIR]
"""

import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ALBUMS = {
    # name: (minutes, tracks, encoder, rate, bits)
    "flac15": (60, 15, "-5", 44100, 16),
    "flac99": (80, 99, "-8", 44100, 16),
    "hires8": (30, 8, "-5", 96000, 24),
    "wav15": (60, 15, "wav", 44100, 16),
}
# Small albums to try the script itself; not run unless named.
TRIAL = {"trial-flac": (3, 5, "-5", 44100, 16), "trial-wav": (3, 5, "wav", 44100, 16)}


def run(args, **kw):
    return subprocess.run(args, check=True, **kw)


def track_starts(minutes, tracks):
    """Start of each track in cue frames (1/75 s): uneven lengths, so no cut falls on a round number."""
    total = minutes * 60 * 75
    weights = [3 + (i * 7) % 5 for i in range(tracks)]
    starts, at = [], 0
    for w in weights:
        starts.append(at)
        at += total * w // sum(weights) + 1
    return starts


def make_album(folder, name):
    """Decaying notes of a stepping melody (two minutes of them, looped) over pink noise, with rests and silences."""
    minutes, tracks, encoder, rate, bits = {**ALBUMS, **TRIAL}[name]
    path = os.path.join(folder, name + (".wav" if encoder == "wav" else ".flac"))
    if not os.path.exists(path):
        seconds = minutes * 60
        note = "0.3*exp(-5*mod(t,0.25))*lt(mod(floor(t*4),11),10)*sin(2*PI*t*{}*pow(2,mod(floor(t*4)*7,12)/12))"
        wav = path if encoder == "wav" else os.path.join(folder, name + ".tmp.wav")
        graph = (f"[0]aloop=loop=-1:size={120 * rate}[notes];[1]pan=stereo|c0=c0|c1=c0[noise];"
                 f"[notes][noise]amix=inputs=2:normalize=0:duration=shortest,"
                 f"volume='if(lt(mod(t,2.3),2.2),1,0)':eval=frame,atrim=end_sample={seconds * rate + 1234}")
        run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
             "-f", "lavfi", "-i", f"aevalsrc='{note.format(220)}|{note.format(110)}':s={rate}:d=120",
             "-f", "lavfi", "-i", f"anoisesrc=color=pink:sample_rate={rate}:amplitude=0.03:duration={seconds + 1}",
             "-filter_complex", graph, "-map_metadata", "-1", "-flags", "+bitexact", "-fflags", "+bitexact",
             "-c:a", "pcm_s24le" if bits == 24 else "pcm_s16le", wav])
        if encoder != "wav":
            run(["flac", "-s", encoder, "-o", path, wav])
            os.remove(wav)
    starts = track_starts(minutes, tracks)
    sheet = os.path.splitext(path)[0] + ".cue"
    with open(sheet, "w", encoding="utf-8") as f:
        f.write(f'PERFORMER "Bench Band"\nTITLE "Bench Album"\nFILE "{os.path.basename(path)}" WAVE\n')
        for n, s in enumerate(starts, 1):
            f.write(f'  TRACK {n:02d} AUDIO\n    TITLE "Song {n}"\n')
            f.write(f"    INDEX 01 {s // 4500:02d}:{s // 75 % 60:02d}:{s % 75:02d}\n")
    return path, sheet, starts, rate


def timed(args, **kw):
    start = time.perf_counter()
    run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
    return time.perf_counter() - start


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.mkdir(folder)
    return folder


def pcm_digest(paths):
    digest = hashlib.md5()
    for path in paths:
        proc = subprocess.Popen(["flac", "-s", "-d", "-c", "--force-raw-format", "--endian=little", "--sign=signed",
                                 path], stdout=subprocess.PIPE)
        for block in iter(lambda: proc.stdout.read(1 << 20), b""):
            digest.update(block)
        proc.wait()
    return digest.hexdigest()


def hundredths(frames):
    """mp3splt's minutes.seconds.hundredths."""
    h = frames * 100 // 75
    return f"{h // 6000}.{h // 100 % 60:02d}.{h % 100:02d}"


def bench(work, build, name, rounds, store):
    album, sheet, starts, rate = make_album(store, name)
    is_flac = album.endswith(".flac")
    out = os.path.join(work, "out")
    cli = os.path.join(build, "bin", "velvane-split")
    direct = os.path.join(build, "bin", "velvane-flaccutbench")
    # The real job where this build cuts the album (untagged where it cannot tag the pieces yet); else the cutter
    # alone, for FLAC.
    job = None
    for candidate in ([cli, sheet, "--dest", out, "--numbered", "--tags"], [cli, sheet, "--dest", out, "--numbered"],
                      [direct, album, out, *map(str, starts)] if is_flac else None):
        fresh(out)
        if candidate and subprocess.run(candidate, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
            job = candidate
            break
    problems = []
    if job and is_flac:
        pieces = sorted((os.path.join(out, p) for p in os.listdir(out) if p.endswith(".flac")),
                        key=lambda p: int(os.path.basename(p).split()[0].split(".")[0]))
        if len(pieces) != len(starts):
            problems.append(f"{len(pieces)} pieces for {len(starts)} tracks")
        elif pcm_digest(pieces) != pcm_digest([album]):
            problems.append("the joined pieces differ from the album")
        elif any(subprocess.run(["flac", "-s", "-t", p], stderr=subprocess.DEVNULL).returncode for p in pieces):
            problems.append("flac -t fails a piece")

    times = {"cp": [], "job": [], "mp3splt": [], "re-encode": []}
    for _ in range(rounds):
        copy = os.path.join(work, "copy")
        times["cp"].append(timed(["cp", album, copy]))
        os.remove(copy)
        if job:
            fresh(out)
            times["job"].append(timed(job))
        if is_flac:
            fresh(out)
            points = [hundredths(s) for s in starts] + ["EOF"]
            times["mp3splt"].append(timed(["mp3splt", "-q", "-d", out, album, *points]))
            fresh(out)
            start = time.perf_counter()
            wav = os.path.join(work, "album.wav")
            run(["flac", "-s", "-f", "-d", album, "-o", wav])
            bounds = [s * rate // 75 for s in starts]
            for n, s in enumerate(bounds):
                until = [f"--until={bounds[n + 1]}"] if n + 1 < len(bounds) else []
                run(["flac", "-s", "-5", f"--skip={s}", *until, "-o", os.path.join(out, f"{n + 1:02d}.flac"), wav])
            os.remove(wav)
            times["re-encode"].append(time.perf_counter() - start)
    shutil.rmtree(out)
    medians = {k: statistics.median(v) if v else None for k, v in times.items()}
    return {"name": name, "mb": os.path.getsize(album) / 1e6, "tracks": len(starts),
            "how": "" if not job else "(cutter alone)" if job[0] == direct else "" if "--tags" in job else "(no tags)",
            **medians, "problems": problems}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(here, "..", "build"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--albums", default=",".join(ALBUMS))
    parser.add_argument("--keep", help="a folder to keep the generated albums in between runs")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    run(["cmake", "--build", build, "--target", "velvane-split", "velvane-flaccutbench"], stdout=subprocess.DEVNULL)

    with tempfile.TemporaryDirectory() as work:
        store = options.keep or os.path.join(work, "albums")
        os.makedirs(store, exist_ok=True)
        rows = [bench(work, build, name, options.rounds, store) for name in options.albums.split(",")]

    def seconds(value):
        return f"{value:8.2f}" if value is not None else "     n/a"

    def ratio(a, b):
        return f"{a / b:9.2f}" if a is not None and b else "      n/a"

    print(f"{'album':8} {'MB':>6} {'tracks':>6} {'cp s':>8} {'job s':>8} {'mp3splt':>8} {'re-enc':>8} "
          f"{'job/cp':>9} {'job/mp3s':>9} {'job/re-e':>9}")
    for r in rows:
        print(f"{r['name']:8} {r['mb']:6.0f} {r['tracks']:6d} {seconds(r['cp'])} {seconds(r['job'])} "
              f"{seconds(r['mp3splt'])} {seconds(r['re-encode'])} {ratio(r['job'], r['cp'])} "
              f"{ratio(r['job'], r['mp3splt'])} {ratio(r['job'], r['re-encode'])}"
              + f"  {r['how']}")
        for p in r["problems"]:
            print(f"  {r['name']}: {p}")
    by_name = {r["name"]: r for r in rows}
    if "flac15" in by_name and "flac99" in by_name and by_name["flac15"]["job"] and by_name["flac99"]["job"]:
        flat = (by_name["flac99"]["job"] / by_name["flac99"]["cp"]) / (by_name["flac15"]["job"] / by_name["flac15"]["cp"])
        print(f"99-track job/cp over 15-track job/cp: {flat:.2f} (target at most 1.2)")
    return 1 if any(r["problems"] for r in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
