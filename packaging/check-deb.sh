#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it into an empty folder and
# checks it as installed: the files are there, the desktop entry and the metainfo
# pass their validators, the manual pages render, the declared dependencies name
# what the programs load, and the installed programs run from where they lie.
# Needs cpack, dpkg-shlibdeps, desktop-file-validate, appstreamcli, man and file
# (scripts/setup.sh installs them).
#
#   packaging/check-deb.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)

fail() {
    echo "check-deb: $*" >&2
    exit 1
}

rm -f "$build"/marlo_*.deb
(cd "$build" && cpack -G DEB >/dev/null 2>"$build/cpack.log") || fail "cpack failed: $(cat "$build/cpack.log")"
debs=("$build"/marlo_*.deb)
[[ -f ${debs[0]} ]] || fail "cpack made no marlo_*.deb in $build"
deb=${debs[0]}
echo "== $(basename "$deb")"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root/pkg"
inst=$root/pkg/usr

for file in bin/marlo bin/marlo-cli libexec/marlo/marlo-cli-sync \
    share/applications/marlo.desktop share/metainfo/io.github.marlo.Marlo.metainfo.xml \
    share/man/man1/marlo-cli.1.gz share/man/ja/man1/marlo-cli.1.gz \
    share/icons/hicolor/scalable/apps/marlo.svg share/icons/hicolor/scalable/status/marlo-warning.svg; do
    [[ -s $inst/$file ]] || fail "the package lacks /usr/$file"
done
for size in 16 24 32 48 64 128 256; do
    for icon in apps/marlo status/marlo-warning; do
        png=$inst/share/icons/hicolor/${size}x${size}/$icon.png
        [[ -s $png ]] || fail "the package lacks /usr/share/icons/hicolor/${size}x${size}/$icon.png"
        file "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a $size x $size PNG"
    done
done

desktop-file-validate "$inst/share/applications/marlo.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$inst/share/metainfo/io.github.marlo.Marlo.metainfo.xml" >/dev/null ||
    fail "the metainfo is not valid: $(appstreamcli validate --no-net "$inst/share/metainfo/io.github.marlo.Marlo.metainfo.xml")"
# The entry's icon name must be one the package installs.
icon=$(sed -n 's/^Icon=//p' "$inst/share/applications/marlo.desktop")
[[ -s $inst/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "the desktop entry's icon $icon is not installed"
for page in man/man1 man/ja/man1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=mac,font,char -l "$inst/share/$page/marlo-cli.1.gz" 2>&1 >/dev/null || true)
    [[ -z $warnings ]] || fail "the manual page $page/marlo-cli.1 renders with warnings: $warnings"
    lexgrog "$inst/share/$page/marlo-cli.1.gz" >/dev/null || fail "whatis finds no NAME line in $page/marlo-cli.1"
done

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6printsupport6 libicu libmecab2 qt6-translations-l10n mecab-ipadic-utf8; do
    [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

# The installed programs run from the unpacked folder, in an empty working folder,
# and find what they open at run time where the package or its dependencies put it.
work=$root/work
mkdir "$work"
mkdir -m 700 "$root/run"
export XDG_RUNTIME_DIR=$root/run HOME=$root/home
cd "$work"
version=$("$inst/bin/marlo-cli" --version)
[[ $version == "marlo-cli $(dpkg-deb -f "$deb" Version)" ]] || fail "marlo-cli --version says: $version"
# A text book is Shift_JIS; what marlo-cli prints is UTF-8.
printf 'tanaka,田中,03-1234-5678,memo\n' | iconv -f UTF-8 -t CP932 >book.txt
"$inst/bin/marlo-cli" convert book.txt 電話帳
[[ $("$inst/bin/marlo-cli" search tana) == "tanaka,田中,03-1234-5678,memo" ]] ||
    fail "the installed marlo-cli did not find the converted entry"
# marlo-cli sync starts the sync program where the package put it, which then finds no server.
MARLO_DAV_PASSWORD=x "$inst/bin/marlo-cli" sync --url http://127.0.0.1:1/ --user u 2>"$work/sync.err" && fail "a sync without a server succeeded"
grep -q "127.0.0.1 に接続できません" "$work/sync.err" || fail "the installed marlo-cli sync says: $(cat "$work/sync.err")"
# A contact without a reading takes its romaji from MeCab's dictionary.
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:田中\r\nN:田中;;;;\r\nTEL:03-1111-2222\r\nEND:VCARD\r\n' >one.vcf
[[ $("$inst/bin/marlo-cli" import --dry-run one.vcf 2>/dev/null) == "tanaka,田中,03-1111-2222" ]] ||
    fail "the installed marlo-cli made no romaji from the dictionary: $("$inst/bin/marlo-cli" import --dry-run one.vcf 2>&1)"
# The window program reports on stderr what it cannot load (Qt's Japanese texts);
# --version answers without a display.
out=$(QT_QPA_PLATFORM=offscreen "$inst/bin/marlo" --version 2>"$work/marlo.err")
[[ ! -s $work/marlo.err ]] || fail "the installed marlo says: $(cat "$work/marlo.err")"
[[ -n $out ]] || fail "the installed marlo --version printed nothing"
echo "package ok: $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version), Depends: $depends"
