#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr and checks the installed tree: the files
# the desktop and the shell look for, the programs' --version and hardening, where the installed
# programs keep their database and settings, the hand-over of a file to a running sbk, a write past
# a file-size limit, the validators of the desktop entry and the AppStream metadata, the manual
# pages, the bash completion and the MIME rules. A check whose tool is missing is skipped, saying so.
#   check-install.sh BUILD_DIR APP_ID
set -u
build=$1
id=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
usr=$root/usr
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
skip() { echo "SKIP: $*"; }
have() { command -v "$1" >/dev/null 2>&1; }

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$root/install.log" 2>&1; then
    cat "$root/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

# The tree: programs, desktop files, icons, manual pages, completion; nothing of the build besides.
share=$usr/share
for file in bin/sbk bin/sbk-cli share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/mime/packages/$id.xml share/icons/hicolor/scalable/apps/$id.svg share/man/man1/sbk.1.gz \
    share/man/man1/sbk-cli.1.gz share/bash-completion/completions/sbk-cli share/doc/sbk/copyright; do
    [ -f "$usr/$file" ] || fail "$file is not installed"
done
for size in 16 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x$size/apps/$id.png
    # The width and height of a PNG stand big-endian at bytes 16 to 23.
    read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png" 2>/dev/null) || true
    [ "$(((${w2:-0} << 8) + ${w3:-0}))x$(((${h2:-0} << 8) + ${h3:-0}))" = "${size}x$size" ] ||
        fail "the ${size}x$size icon is not a ${size}x$size PNG"
done
unexpected=$(find "$root" \( -name 'tst_*' -o -name '*bench*' -o -name 'fuzz*' -o -name 'SBK.MDB' -o -name '*.a' \
    -o -name 'SBK-BUILD-TREE' -o -name 'SBK.conf' \) -print)
[ -z "$unexpected" ] || fail "installed but not meant to be: $unexpected"

# The programs run from there, with an empty home, and tell the same version.
home=$root/home
mkdir -p "$home"
run() { env -i PATH=/usr/bin:/bin HOME="$home" "$@"; }
cli_version=$(run "$usr/bin/sbk-cli" --version) || fail "sbk-cli --version failed"
gui_version=$(run "$usr/bin/sbk" --version) || fail "sbk --version failed"
[ "${cli_version##* }" = "${gui_version##* }" ] && [ -n "${cli_version##* }" ] ||
    fail "the versions differ: \"$cli_version\" and \"$gui_version\""
run "$usr/bin/sbk-cli" list >/dev/null || fail "sbk-cli list on the default database failed"
# Installed, the default database is the user's, even where the program's folder can be written
# (for root): never beside the program, where it would be every user's and outlive the package.
[ -f "$home/.local/share/SBK/SBK/SBK.MDB" ] || fail "sbk-cli made no default database in ~/.local/share/SBK/SBK"
[ "$(ls "$usr/bin" | tr '\n' ' ')" = "sbk sbk-cli " ] || fail "beside the programs: $(ls "$usr/bin" | tr '\n' ' ')"

# Hardened as Debian's packages are: position-independent, relocations read-only and bound at
# start (-z now), stack protector, fortified calls.
if have readelf; then
    for program in sbk sbk-cli; do
        file=$usr/bin/$program
        readelf -h "$file" | grep -q 'Type:.*DYN' || fail "$program is not a position-independent executable"
        readelf -lW "$file" | grep -q GNU_RELRO || fail "$program has no read-only relocations (-z relro)"
        readelf -d "$file" | grep -Eq 'BIND_NOW|FLAGS_1.*NOW' || fail "$program is not linked with -z now"
        readelf --dyn-syms -W "$file" | grep -q __stack_chk_fail || fail "$program has no stack protector"
        readelf --dyn-syms -W "$file" | grep -Eq '__[a-z]+_chk' || fail "$program calls no fortified function"
    done
else
    skip "readelf is not installed (Debian: binutils)"
fi
if have lintian && have dpkg-shlibdeps; then
    if cpack -G DEB -B "$root/deb" --config "$build/CPackConfig.cmake" >"$root/cpack.log" 2>&1; then
        # (lintian's warning about running as root goes to stderr)
        tags=$(lintian --tags hardening-no-bindnow,hardening-no-relro,hardening-no-pie,hardening-no-fortify-functions \
            "$root"/deb/sbk_*.deb 2>"$root/lintian.log") || fail "lintian: $(cat "$root/lintian.log")"
        [ -z "$tags" ] || fail "lintian: $tags"
    else
        cat "$root/cpack.log"
        fail "cpack -G DEB"
    fi
else
    skip "lintian or dpkg-shlibdeps is not installed (Debian: lintian, dpkg-dev); the package's hardening is checked with readelf alone"
fi

# The desktop program, with a fresh home on the offscreen platform: its first start makes the
# default database in the user's data folder and stores that path in the user's settings; a
# second start with a file hands the file to the first one and ends at once.
if [ -n "$(find /usr/lib -path '*/qt6/plugins/platforms/libqoffscreen.so' -print -quit 2>/dev/null)" ]; then
    desk=$root/desk
    mkdir -p "$desk/home" "$desk/limited" && mkdir -m 700 "$desk/run"
    printf 'SBK BACKUP\r\n' >"$desk/dump.pdd"
    desktop=(env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$desk/run" QT_QPA_PLATFORM=offscreen)
    "${desktop[@]}" HOME="$desk/home" "$usr/bin/sbk" >"$desk/first.log" 2>&1 &
    first=$!
    for _ in $(seq 100); do
        compgen -G "$desk/run/sbk-*" >/dev/null && break
        sleep 0.1
    done
    grep -qxF "DATABASE=$desk/home/.local/share/SBK/SBK/SBK.MDB" "$desk/home/.config/SBK/SBK.conf" 2>/dev/null ||
        fail "the first start of sbk did not store the database ~/.local/share/SBK/SBK/SBK.MDB in ~/.config/SBK/SBK.conf"
    timeout 20 "${desktop[@]}" HOME="$desk/home" "$usr/bin/sbk" "$desk/dump.pdd" >"$desk/second.log" 2>&1
    status=$?
    [ "$status" -eq 0 ] || fail "sbk FILE beside a running sbk ended with $status instead of handing the file over: $(cat "$desk/second.log")"
    kill "$first"
    wait "$first" 2>/dev/null

    # Past a file-size limit (here 1 KB, below what a new database needs) the write fails and a
    # message says so (it waits for its button, so timeout ends the program with 124); the signal of
    # the limit must not end it without a word (153).
    (ulimit -f 1 && exec timeout 3 "${desktop[@]}" HOME="$desk/limited" "$usr/bin/sbk") >"$desk/limited.log" 2>&1
    status=$?
    [ "$status" -eq 124 ] || fail "sbk under a file-size limit ended with status $status instead of saying what failed"
else
    skip "Qt's offscreen platform is not installed (Debian: qt6-qpa-plugins); the desktop program is not started"
fi

# The validators.
if have desktop-file-validate; then
    desktop-file-validate "$share/applications/$id.desktop" || fail "desktop-file-validate"
else
    skip "desktop-file-validate is not installed (Debian: desktop-file-utils)"
fi
if have appstreamcli; then
    appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" >"$root/as.log" 2>&1 ||
        { cat "$root/as.log"; fail "appstreamcli validate"; }
else
    skip "appstreamcli is not installed (Debian: appstream)"
fi

# The manual pages render without a warning, and sbk-cli.1 holds every command of --help.
if have groff; then
    for page in sbk sbk-cli; do
        warnings=$(gzip -dc "$share/man/man1/$page.1.gz" | groff -ww -z -man 2>&1)
        [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
    done
else
    skip "groff is not installed"
fi
commands=$(run "$usr/bin/sbk-cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\) .*/\1/p')
[ -n "$commands" ] || fail "sbk-cli --help lists no command"
manual=$(gzip -dc "$share/man/man1/sbk-cli.1.gz")
for command in $commands; do
    grep -qF "\\fB${command//-/\\-}\\fR" <<<"$manual" || fail "sbk-cli.1 does not describe $command"
done

# The completion offers the commands of --help, and a command's options and values.
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _sbk_cli; printf "%s\n" "${COMPREPLY[@]}"' \
        sh "$share/bash-completion/completions/sbk-cli" "$@"
}
[ "$(complete_words sbk-cli '' | sort)" = "$(sort <<<"$commands")" ] ||
    fail "the completion of a command differs from the commands of --help"
policies=$(complete_words sbk-cli --db x.mdb import --policy '' | tr '\n' ' ')
[ "$policies" = "content name all " ] || fail "the completion of import --policy is \"$policies\""
complete_words sbk-cli bank-delete --y | grep -qx -- --yes || fail "the completion of bank-delete --y misses --yes"

# The archives styles come in open in SBK as the system's own types: named by the desktop entry,
# never defined by SBK's MIME rules.
for type in application/zip application/x-7z-compressed application/vnd.rar; do
    grep -q "^MimeType=.*$type;" "$share/applications/$id.desktop" || fail "the desktop entry does not open $type"
    ! grep -q "type=\"$type\"" "$share/mime/packages/$id.xml" || fail "$id.xml defines $type, a type of the system"
done

# The MIME rules: a real STY file of each directory layout (by the magic; their names are in upper
# case), an SSF and a PDD file without extension (by the magic alone), a LaTeX style (not ours).
real=${SBK_REAL_STY:-}
older=$( [ -d "$real" ] && find "$real/pa600" -iname '*.sty' | head -n 1)
newer=$( [ -d "$real" ] && find "$real/pa1000" "$real/pa700oriental" -iname '*.sty' 2>/dev/null | head -n 1)
samples=$root/samples
mkdir -p "$samples"
printf 'SSF_SBK_Quimbral00005STYLE' >"$samples/style"
printf 'SBK BACKUP\r\nTABLE KORFBANKS\r\n' >"$samples/dump"
printf '\\NeedsTeXFormat{LaTeX2e}\n\\ProvidesPackage{mine}\n' >"$samples/mine.sty"
if [ -z "$older" ] || [ -z "$newer" ]; then
    skip "no instrument-saved STY files of both layouts in '$real'; the STY rule is checked on none"
fi
# xdg-mime asks GIO here, which follows shared-mime-info: where two globs match (*.sty is also a
# LaTeX style's), the magic decides. (The Perl "mimetype" of other desktops takes the first glob.)
if have xdg-mime && have gio && have update-mime-database; then
    xdg=$root/xdg
    mkdir -p "$xdg/mime/packages"
    cp "$share/mime/packages/$id.xml" "$xdg/mime/packages/"
    update-mime-database "$xdg/mime" >/dev/null 2>&1 || fail "update-mime-database refuses $id.xml"
    query() {
        XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$xdg XDG_DATA_DIRS=/usr/share xdg-mime query filetype "$1" 2>/dev/null
    }
    for pair in "$older:application/x-korg-sty" "$newer:application/x-korg-sty" \
        "$samples/style:application/x-sbk-ssf" "$samples/dump:application/x-sbk-pdd"; do
        file=${pair%:*}
        [ -n "$file" ] || continue
        type=$(query "$file")
        [ "${type%%;*}" = "${pair##*:}" ] || fail "xdg-mime says $file is \"$type\", not ${pair##*:}"
    done
    [ "$(query "$samples/mine.sty")" != application/x-korg-sty ] || fail "a LaTeX style is taken for an STY file"
else
    skip "xdg-mime, gio or update-mime-database missing (Debian: xdg-utils, libglib2.0-bin, shared-mime-info); checking the STY rule itself"
    rule=$(sed -n '/"application\/x-korg-sty"/,/<\/mime-type>/s/.*<match type="string" offset="\([0-9]*\)" value="\([^"]*\)".*/\1 \2/p' \
        "$share/mime/packages/$id.xml")
    offset=${rule% *}
    value=${rule#* }
    [ "$offset $value" = "23 KORF" ] || fail "the STY rule is \"$rule\", not KORF at offset 23"
    grep -q '<glob pattern="\*\.sty"' "$share/mime/packages/$id.xml" || fail "the STY rule has no *.sty glob"
    for file in "$older" "$newer"; do
        [ -n "$file" ] || continue
        [ "$(dd if="$file" bs=1 skip="$offset" count=${#value} 2>/dev/null)" = "$value" ] ||
            fail "$file does not carry $value at offset $offset"
    done
fi

[ "$failures" -eq 0 ] || exit 1
echo "The installed tree is complete."
