#!/usr/bin/env bash
# Installs the build into a temporary prefix, validates the desktop files, and starts the installed app offscreen
# with three paths on its command line: the first, a cue sheet named relative to the working folder, must be read.
set -euo pipefail
build_dir=$1
source_dir=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() {
    printf '%s\n' "$@"
    exit 1
}

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

for f in bin/velvane bin/velvane-split share/applications/org.velvane.Velvane.desktop \
    share/icons/hicolor/scalable/apps/org.velvane.Velvane.svg share/metainfo/org.velvane.Velvane.metainfo.xml \
    share/man/man1/velvane.1.gz share/man/man1/velvane-split.1.gz; do
    [[ -e $prefix/$f ]] || fail "not installed: $f"
done
[[ -L $prefix/share/velvane/local/bin/mp3splt && -x $prefix/share/velvane/local/bin/mp3splt ]] ||
    fail "the splitter link in share/velvane/local is missing or dangling"
grep -qx 'Exec=velvane %F' "$prefix/share/applications/org.velvane.Velvane.desktop"
grep -qx 'MimeType=application/x-cue;' "$prefix/share/applications/org.velvane.Velvane.desktop"
desktop-file-validate "$prefix/share/applications/org.velvane.Velvane.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.velvane.Velvane.metainfo.xml" >/dev/null
for page in velvane velvane-split; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "manual page $page:" "$warnings"
done

# The tool check looks at a prepared root, so the real /usr/local is neither needed nor touched.
mkdir -p "$work/root/usr/local/bin" "$work/Live 1999"
ln -s "$(command -v mp3splt)" "$work/root/usr/local/bin/mp3splt"
cp "$source_dir/examples/demo/demo.cue" "$work/Live 1999/live.cue"
app=(VELVANE_TOOL_ROOT="$work/root" VELVANE_SMOKE_TEST=1 XDG_CONFIG_HOME="$work/config" "$prefix/bin/velvane")
out=$(cd "$work" && env -u VELVANE_RESOURCES QT_QPA_PLATFORM=offscreen "${app[@]}" "Live 1999/live.cue" \
    "$source_dir/examples/demo/demo.mp3" /nowhere.cue 2>/dev/null)
expected=$(printf 'cue: %s\ntracks: 3' "$work/Live 1999/live.cue")
[[ "$out" == "$expected" ]] || fail "installed app reported:" "$out" "expected:" "$expected"
echo "installed app read the sheet"

# Without a display the app says so in one line and ends; a platform chosen on its command line is still taken.
session=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u VELVANE_RESOURCES "${app[@]}")
status=0
errors=$("${session[@]}" 2>&1 >/dev/null) || status=$?
[[ $status -eq 1 && $(wc -l <<<"$errors") -eq 1 && $errors == *"no graphical session"* ]] ||
    fail "without a display the app ended with $status and said:" "$errors"
"${session[@]}" -platform offscreen >/dev/null 2>&1 || fail "-platform offscreen did not start the app"
echo "installed app explained the missing display"
