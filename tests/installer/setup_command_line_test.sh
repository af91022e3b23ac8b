#!/usr/bin/env bash
# The installer's command-line modes under Wine: --verify, --extract-test into
# fresh, occupied and refused folders, a write that fails on a full device,
# and the broken packages linked from packages/*.rc.
#
# usage: setup_command_line_test.sh SETUP_EXE PLUGIN_FILE PAYLOAD_DIR WORK_DIR PACKAGES_DIR
set -uo pipefail
setup=$1 plugin=$2 payload=$3 work=$4 packages=$5
WINE=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

winpath() { local p; p=$(realpath -m "$1"); p=${p//\//\\}; printf 'Z:%s' "$p"; }

# Runs an installer with arguments from inside the scratch folder; prints the
# exit code. A run still going after `limit` seconds (far above what a loaded
# machine needs) is stopped, and says so.
limit=60
run() { (cd "$work/cwd" && timeout "$limit" "$WINE" "$@" </dev/null >/dev/null 2>&1); echo $?; }

expect_code() { # expected description code
    if [ "$3" = 124 ]; then
        fail "$2: still running after $limit s, stopped"
    elif [ "$3" != "$1" ]; then
        fail "$2: exit $3, expected $1"
    fi
}

# Every path under a folder with its type, size, time and content hash.
snapshot() { (cd "$1" && find . -printf '%y %p %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }

# The five installed files, byte-identical to their sources, and nothing else.
expect_installed() { # folder plugin-source description
    local f=$1 dll=$2
    local listing expected
    listing=$(cd "$f" && find . | sort)
    expected=$(printf '%s\n' . ./LEEME-VELK.txt ./One_Shots ./One_Shots/VELK_Bell_C4.wav \
        ./One_Shots/VELK_Pluck_C4.wav ./One_Shots/VELK_Soft_C4.wav "./VELK beta.dll")
    [ "$listing" = "$expected" ] || fail "$3: installed files are"$'\n'"$listing"
    cmp -s "$f/VELK beta.dll" "$dll" || fail "$3: the installed plug-in differs from $dll"
    for n in VELK_Bell_C4.wav VELK_Pluck_C4.wav VELK_Soft_C4.wav; do
        cmp -s "$f/One_Shots/$n" "$payload/$n" || fail "$3: $n differs"
    done
    cmp -s "$f/LEEME-VELK.txt" "$payload/LEEME-VELK.txt" || fail "$3: LEEME-VELK.txt differs"
}

rm -rf "$work"
mkdir -p "$work/cwd"

# --verify: the package check only; anything after it is ignored.
expect_code 0 "--verify" "$(run "$setup" --verify)"
expect_code 0 "--verify with more arguments" "$(run "$setup" --verify --extract-test "$(winpath "$work/never")")"
[ -e "$work/never" ] && fail "--verify wrote something"

# A fresh folder: exactly the five files, no temporary left.
expect_code 0 "fresh install" "$(run "$setup" --extract-test "$(winpath "$work/fresh")")"
expect_installed "$work/fresh/VELK beta" "$plugin" "fresh install"

# Forward slashes, "." and ".." are resolved; an exact last "VELK beta" is kept.
expect_code 0 "dotted folder" "$(run "$setup" --extract-test "Z:$work/./sub/../dotted/")"
expect_installed "$work/dotted/VELK beta" "$plugin" "dotted folder"
mkdir -p "$work/exact"
expect_code 0 "folder named VELK beta" "$(run "$setup" --extract-test "$(winpath "$work/exact/VELK beta")")"
expect_installed "$work/exact/VELK beta" "$plugin" "folder named VELK beta"

# The same folder again: refused before anything is touched.
before=$(snapshot "$work/fresh")
sleep 1 # a rewrite shows in the times also where they count whole seconds
expect_code 3 "second install" "$(run "$setup" --extract-test "$(winpath "$work/fresh")")"
[ "$(snapshot "$work/fresh")" = "$before" ] || fail "second install changed the folder"

# Anything at any final path stops the run: a lone read-me, or a folder in the
# plug-in's place. Not even One_Shots is created.
for occupant in "LEEME-VELK.txt:file" "VELK beta.dll:dir" "One_Shots/VELK_Soft_C4.wav:file"; do
    name=${occupant%%:*} kind=${occupant##*:}
    f="$work/occupied-$kind-${name//\//-}/VELK beta"
    mkdir -p "$(dirname "$f/$name")"
    if [ "$kind" = dir ]; then mkdir "$f/$name"; else echo old > "$f/$name"; fi
    before=$(snapshot "$f")
    expect_code 3 "occupied by $name" "$(run "$setup" --extract-test "$(winpath "${f%/VELK beta}")")"
    [ "$(snapshot "$f")" = "$before" ] || fail "occupied by $name: the folder changed"
done

# Refused folders: exit 3 and nothing written anywhere.
before=$(snapshot "$work")
for folder in "" "relative\\folder" "VELK beta" "\\single\\separator" "Z:" "Z:relative" 'Z:\' "Z:/" \
    '\\server' '\\server\' '\\\server\share'; do
    expect_code 3 "refused folder '$folder'" "$(run "$setup" --extract-test "$folder")"
done
[ "$(snapshot "$work")" = "$before" ] || fail "a refused folder wrote something"

# A temporary on a full device: the write is reported, no file is moved into place.
f="$work/full/VELK beta"
mkdir -p "$f"
ln -s /dev/full "$f/VELK beta.dll.velk-new"
expect_code 3 "plug-in temporary on a full device" "$(run "$setup" --extract-test "$(winpath "$work/full")")"
[ -e "$f/VELK beta.dll" ] && fail "full device: the plug-in was moved into place"

# Broken and borderline packages, linked from the same program.
while read -r name verify dll; do
    exe="$packages/setup_$name.exe"
    expect_code "$verify" "$name --verify" "$(run "$exe" --verify)"
    if [ "$verify" = 0 ]; then
        expect_code 0 "$name --extract-test" "$(run "$exe" --extract-test "$(winpath "$work/$name")")"
        expect_installed "$work/$name/VELK beta" "$packages/$dll" "$name"
    else
        expect_code 3 "$name --extract-test" "$(run "$exe" --extract-test "$(winpath "$work/$name")")"
        [ -e "$work/$name" ] && fail "$name: an incomplete package wrote something"
    fi
done <<'LIST'
short_dll 2 -
edge_dll 0 edge.dll
signature_tail_dll 0 signature_tail.dll
x86_dll 2 -
wrapping_header_dll 2 -
no_mz_dll 2 -
no_plugin 2 -
no_readme 2 -
empty_readme 2 -
LIST

# A read-me small enough to sit in the stream's buffer reaches the device only
# when the file is flushed and closed: that failure must count too.
exe="$packages/setup_tiny_readme.exe"
f="$work/tiny-full/VELK beta"
mkdir -p "$f"
ln -s /dev/full "$f/LEEME-VELK.txt.velk-new"
expect_code 3 "read-me flushed onto a full device" "$(run "$exe" --extract-test "$(winpath "$work/tiny-full")")"
for n in "VELK beta.dll" LEEME-VELK.txt One_Shots/VELK_Bell_C4.wav; do
    [ -e "$f/$n" ] && fail "read-me on a full device: $n was moved into place"
done
[ -f "$f/VELK beta.dll.velk-new" ] || fail "read-me on a full device: the written temporaries should stay"

[ -n "$(ls -A "$work/cwd")" ] && fail "something was written into the current folder"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all command-line checks passed"
