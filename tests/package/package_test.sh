#!/usr/bin/env bash
# The Debian package: made from this build folder, its dependencies checked
# against the machine's package sources, installed with dpkg into a root folder of
# its own (the machine's /usr stays untouched), started the way its menu entry
# starts it, used for a still, ended with Exit, and purged without a trace.
# Usage: package_test.sh BUILD_DIR OUTPUT_DIR
# Exits 77 (skipped) without root or without the Debian package tools.
set -euo pipefail

build=$1 out=$2
[[ $(id -u) == 0 ]] || { echo "skipped: dpkg needs root"; exit 77; }
for tool in apt-get dpkg dpkg-deb dpkg-shlibdeps cpack; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
source "$(dirname "$0")/../e2e/driving.sh"
# The installed program is tried whole, with the annotation program it starts.
keep_annotation_program=1
enter_virtual_screen
export OPTRELLE_CAMERAS=15aa:1555@640x480
new_home home

# --- The package and what it depends on.
cpack --config "$build/CPackConfig.cmake" -B "$out/cpack" > "$out/cpack.log" 2>&1 \
    || fail "cpack: $(tail -n 20 "$out/cpack.log")"
deb=$(echo "$out"/cpack/kelvora_*_amd64.deb)
[[ -f $deb ]] || fail "no package kelvora_<version>_amd64.deb in $out/cpack"
depends=$(dpkg-deb --field "$deb" Depends)
for wanted in libqt6widgets6 libturbojpeg0 libzxing libopencv-imgproc libavcodec libqpdf \
    'tesseract-ocr,' tesseract-ocr-chi-sim tesseract-ocr-eng fonts-wqy-zenhei; do
    grep -qF -- "$wanted" <<< "$depends" || fail "Depends lacks $wanted: $depends"
done
grep -qE -- '-dev\b' <<< "$depends" && fail "Depends names a development package: $depends"
apt-get install --simulate -o Debug::NoLocking=1 "$deb" > "$out/apt.log" 2>&1 \
    || fail "apt cannot install the package here: $(tail -n 20 "$out/apt.log")"

# --- Installed into a root of its own.
root=$out/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-script-chrootless --install "$deb" \
    > "$out/dpkg.log" 2>&1 || fail "dpkg --install: $(cat "$out/dpkg.log")"
folder=$root/usr/lib/kelvora
[[ $(readlink "$root/usr/bin/kelvora") == ../lib/kelvora/kelvora ]] || fail "no bin/kelvora link"
for file in kelvora scribvane liboptrelle.so.1 libpagefold.so.1 res/logo.png; do
    [[ -f $folder/$file ]] || fail "program folder lacks $file"
done
[[ $(readlink "$folder/ocrbin/tesseract") == /usr/bin/tesseract ]] || fail "no ocrbin/tesseract"
for size in 16x16 24x24 32x32 48x48 64x64 128x128 256x256; do
    [[ $(identify -format '%wx%h' "$root/usr/share/icons/hicolor/$size/apps/kelvora.png") == "$size" ]] \
        || fail "no $size icon"
done
desktop=$root/usr/share/applications/kelvora.desktop
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml \
    || fail "the metainfo does not validate"

# --- Started as the menu entry starts it.
command=$(sed -n 's/^Exec=//p' "$desktop")
PATH=$root/usr/bin:$PATH $command & app=$!; pids+=($app)
wait_for "the launcher bar" has_window VizaviRerer
wait_for "the presenter view" has_window DuzeVovad
grep -qF "$folder/liboptrelle.so.1" "/proc/$app/maps" \
    || fail "the camera library was not loaded from the program folder"
bar_button 13 # capture
# A known model: the still is resampled to its size.
take_still_of "a still" 4000x3000
exit_by_button

# --- Purged: nothing of it is left.
dpkg --root="$root" --force-script-chrootless --purge kelvora >> "$out/dpkg.log" 2>&1 \
    || fail "dpkg --purge: $(cat "$out/dpkg.log")"
left=$(find "$root/usr" -mindepth 1 2>/dev/null || true)
[[ -z $left ]] || fail "left after purging: $left"

echo "package: all checks passed; output in $out"
