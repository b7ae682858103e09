#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it: its dependencies
# resolve with apt, it holds every file the desktop needs and the browser page
# this build made, and the program it installs starts. The build's
# lodrix-replay is then put beside it, for the test that opens the packaged
# page with the link it copies.   packagecheck.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb=$(ls "$work"/lodrix_*.deb)

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 fonts-liberation2; do
    [[ $depends == *"$lib"* ]] || { echo "the package does not depend on $lib: $depends"; exit 1; }
done
# apt must be able to resolve everything the package asks for.
apt-get install -s "$deb" >/dev/null 2>"$work/apt.err" || { cat "$work/apt.err"; exit 1; }

# The page, in the package's own file list, and no other than this build's.
page=usr/share/lodrix/lodrix.html
dpkg-deb -c "$deb" | grep " \./$page\$" >/dev/null || { echo "the package's file list lacks /$page"; exit 1; }
dpkg-deb -x "$deb" "$work/root"
cmp -s "$work/root/$page" "$build/web/lodrix.html" || { echo "the packaged /$page is not $build/web/lodrix.html"; exit 1; }
for f in usr/bin/lodrix usr/share/lodrix/lodrix1.rtf usr/share/lodrix/lodrix2.rtf usr/share/lodrix/lodrix3.rtf \
         usr/share/applications/org.lodrix.Lodrix.desktop usr/share/metainfo/org.lodrix.Lodrix.metainfo.xml \
         usr/share/icons/hicolor/64x64/apps/org.lodrix.Lodrix.png usr/share/doc/lodrix/fonts-wine-copyright; do
    [[ -e $work/root/$f ]] || { echo "the package lacks /$f"; exit 1; }
done

# The program starts and keeps running until it is stopped.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$work/root/usr/bin/lodrix" >"$work/run.log" 2>&1 || status=$?
if [[ $status -ne 124 ]]; then
    echo "the packaged program ended with status $status:"
    cat "$work/run.log"
    exit 1
fi
cp "$build/bin/lodrix-replay" "$work/root/usr/bin/"
echo "package $(basename "$deb") checked"
