#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it: its dependencies
# resolve with apt, it holds every file the desktop needs, and the program it
# installs starts.   packagecheck.sh BUILD_DIR WORK_DIR
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

dpkg-deb -x "$deb" "$work/root"
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
echo "package $(basename "$deb") checked"
