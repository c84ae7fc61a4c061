"""Prints the library tags of every file under the folder given, one line per file, as mutagen reads them."""
import os
import sys

import mutagen


def first(tags, *keys):
    for key in keys:
        if key in tags:
            value = tags[key]
            if hasattr(value, "text"):
                value = value.text
            if isinstance(value, list):
                value = value[0] if value else ""
            return str(value)
    return "-"


paths = sorted(os.path.join(folder, name) for folder, _, names in os.walk(sys.argv[1]) for name in names)
for path in paths:
    audio = mutagen.File(path)
    if audio is None or audio.tags is None:
        print(f"{path}\tUNREADABLE")
        continue
    tags = audio.tags
    if hasattr(tags, "getall"):  # ID3, in MP3 and WAV alike
        fields = [
            first(tags, "TALB"),
            first(tags, "TPE2"),
            first(tags, "TCMP"),
            first(tags, "TPOS"),
            first(tags, "TDRC", "TYER"),
            first(tags, "TCON"),
            first(tags, "TCOM"),
            first(tags, "TXXX:REPLAYGAIN_ALBUM_GAIN"),
            str(tags.version[1]),
        ]
    else:
        disc = first(tags, "discnumber")
        total = first(tags, "disctotal")
        fields = [
            first(tags, "album"),
            first(tags, "albumartist"),
            first(tags, "compilation"),
            disc + ("/" + total if total != "-" else ""),
            first(tags, "date"),
            first(tags, "genre"),
            first(tags, "composer"),
            first(tags, "replaygain_album_gain"),
            "vorbis",
        ]
    print(path.rsplit("/", 1)[-1] + "\t" + "|".join(fields))
