"""Prints the library tags of every file under the folder given, one line per file, as mutagen reads them."""
import os
import sys

import mutagen

ID3_KEYS = ["TALB", "TPE2", "TCMP", "TPOS", "TDRC", "TCON"]
VORBIS_KEYS = ["album", "albumartist", "compilation", "discnumber", "date", "genre"]


def first(tags, key):
    value = getattr(tags.get(key), "text", tags.get(key))
    return str(value[0]) if value else "-"


for path in sorted(os.path.join(folder, name) for folder, _, names in os.walk(sys.argv[1]) for name in names):
    audio = mutagen.File(path)
    if audio is None or audio.tags is None:
        print(f"{path}\tUNREADABLE")
        continue
    tags = audio.tags
    id3 = hasattr(tags, "getall")  # ID3, in MP3 and WAV alike
    fields = [first(tags, key) for key in (ID3_KEYS if id3 else VORBIS_KEYS)]
    if not id3 and "disctotal" in tags:
        fields[3] += "/" + first(tags, "disctotal")
    print(path.rsplit("/", 1)[-1] + "\t" + "|".join(fields + [str(tags.version[1]) if id3 else "vorbis"]))
