#!/usr/bin/env bash
# Installs the build into a temporary prefix, or packs it, and checks one part of what a
# Linux desktop expects of it, with the desktop's own tools.
# Usage: install_test.sh BUILD_FOLDER SOURCE_FOLDER files|validators|man|completion|window|deb
set -euo pipefail
build=$1
source=$2
part=$3
id=com.torbek.Kelmira
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
subcommands() { "$prefix/bin/kelmira-cli" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }'; }
options_of() { "$prefix/bin/kelmira-cli" "$1" --help | grep -oE '^  (-[a-z],)?--[a-z-]+' | sed 's/.*,//; s/^ *//'; }

case $part in
  files)
    for file in bin/kelmira bin/kelmira-cli share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
                share/man/man1/kelmira.1.gz share/man/man1/kelmira-cli.1.gz \
                share/bash-completion/completions/kelmira share/bash-completion/completions/kelmira-cli \
                share/icons/hicolor/scalable/apps/$id.svg share/kelmira/manual/index.html \
                share/kelmira/web/pannellum.js share/doc/kelmira/copyright share/kelmira/mirror/kelmira-mirror-table.txt; do
      [ -f "$prefix/$file" ] || fail "$file is not installed"
    done
    for size in 16 24 32 48 64 128 256; do
      icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
      kind=$(file -b "$icon")
      grep -q "PNG image data, $size x $size, 8-bit/color RGBA" <<< "$kind" || fail "$icon: $kind"
    done
    grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is no SVG"
    [ -x "$prefix/bin/kelmira" ] && [ -x "$prefix/bin/kelmira-cli" ] || fail "the programs do not run"
    "$prefix/bin/kelmira-cli" info --mirror "$prefix/share/kelmira/mirror/kelmira-mirror-table.txt" |
      grep -q '^kind: mirror table$' || fail "the installed mirror table does not read as one"
    ;;
  validators)
    desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
    entry=$prefix/share/applications/$id.desktop
    grep -qx 'Exec=kelmira %f' "$entry" && grep -qx "Icon=$id" "$entry" &&
      grep -qx 'Categories=Graphics;Photography;' "$entry" || fail "the desktop entry's Exec, Icon or Categories"
    for type in image/jpeg image/png image/tiff image/bmp video/mp4 video/quicktime; do
      grep -q "^MimeType=.*$type;" "$entry" || fail "no $type"
    done
    # The release named to software centres is the one the programs print.
    version=$("$prefix/bin/kelmira" --version | awk 'NR == 1 { print $2 }')
    grep -q "<release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" || fail "release is not $version"
    [ "$("$prefix/bin/kelmira-cli" --version | head -n 1)" = "kelmira-cli $version" ] || fail "kelmira-cli --version"
    ;;
  man)
    for page in kelmira kelmira-cli; do
      text=$(MANWIDTH=100 man -l "$prefix/share/man/man1/$page.1.gz" 2> "$work/warnings") || fail "man -l $page"
      [ -s "$work/warnings" ] && fail "man -l $page warns: $(cat "$work/warnings")"
      for command in $(subcommands); do
        grep -qw -- "$command" <<< "$text" || fail "$page(1) does not name $command"
      done
    done
    text=$(MANWIDTH=100 man -l "$prefix/share/man/man1/kelmira-cli.1.gz")
    for command in $(subcommands); do
      for option in $(options_of "$command"); do
        grep -q -- "$option" <<< "$text" || fail "kelmira-cli(1) does not name $command $option"
      done
    done
    ;;
  completion)
    offers() {  # offers WORD... : what the completion offers for the words, the last being completed
      bash -c 'source /usr/share/bash-completion/bash_completion
               source "$0"
               COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
               _kelmira_cli; printf "%s\n" "${COMPREPLY[@]}"' \
        "$prefix/share/bash-completion/completions/kelmira-cli" kelmira-cli "$@"
    }
    # Whole answers are kept before they are searched: grep -q stopping early would break
    # the pipe under pipefail.
    commands=$(offers "")
    for command in $(subcommands); do
      grep -qx -- "$command" <<< "$commands" || fail "no $command offered"
      options=$(offers "$command" "-")
      for option in $(options_of "$command"); do
        grep -qx -- "$option" <<< "$options" || fail "$command: no $option offered"
      done
    done
    [ "$(offers unwarp --format "")" = "$(printf 'jpg\ntif\nbmp')" ] || fail "--format values"
    mkdir "$work/photos" && touch "$work/photos/a.jpg" "$work/photos/b.TIF" "$work/photos/notes.txt"
    found=$(cd "$work/photos" && offers unwarp "" | sort | tr '\n' ' ')
    [ "$found" = "a.jpg b.TIF " ] || fail "photographs offered: $found"
    ;;
  window)
    # The installed program opens a photograph given to it, in the round layout.
    home=$work/home
    mkdir -p "$home"
    HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen KELMIRA_REPORT_WINDOW=$work/report \
      "$prefix/bin/kelmira" "$source/samples/mirror-sample.jpg" 2> /dev/null
    [ "$(cat "$work/report")" = "$(printf 'mode round\ncaption JPG 1600 x 1200')" ] || fail "window: $(cat "$work/report")"
    help=$("$prefix/bin/kelmira" --help)
    grep -q '^Usage: kelmira \[OPTIONS\] \[FILE\]' <<< "$help" || fail "kelmira --help"
    ;;
  deb)
    (cd "$build" && cpack -G DEB -B "$work/deb" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
    deb=$(ls "$work"/deb/kelmira_*_amd64.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    for library in libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo libtiff6 libpng16-16 libavcodec libswscale libhwy1 libexiv2-27 \
                   qt6-qpa-plugins; do
      grep -q "$library" <<< "$depends" || fail "Depends lacks $library: $depends"
    done
    [ "$(dpkg-deb -f "$deb" Section)" = graphics ] && [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "control fields"
    contents=$(dpkg-deb -c "$deb")
    for file in usr/bin/kelmira usr/bin/kelmira-cli usr/share/applications/$id.desktop \
                usr/share/man/man1/kelmira-cli.1.gz usr/share/kelmira/web/pannellum.js; do
      grep -q "\./$file\$" <<< "$contents" || fail "the package lacks /$file"
    done
    ;;
  *)
    fail "unknown part $part"
    ;;
esac
