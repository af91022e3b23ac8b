#!/usr/bin/env bash
# Writes WAV files with sox into the folder given as $1, with sox's own read-back
# of each accepted file as raw 32-bit floats (NAME.f32), and a manifest the
# decoder tests walk: one line per file, "NAME EXPECT RATE CHANNELS", where
# EXPECT is ok, format (the format message) or duration (the length message).
set -euo pipefail
out=${1:?usage: make-decoder-fixtures.sh FOLDER}
mkdir -p "$out"
cd "$out"
rm -f -- *.wav *.f32 manifest.txt

manifest=()

# make NAME EXPECT RATE CHANNELS LENGTH SOX-OUTPUT-OPTIONS...
make() {
    local name=$1 expect=$2 rate=$3 channels=$4 length=$5
    shift 5
    local tones=(sine 440)
    [ "$channels" -ge 2 ] && tones=(sine 440 sine 660)
    [ "$channels" -ge 3 ] && tones=(sine 440 sine 660 sine 880)
    # Half scale keeps every format clear of clipping; -D: no dither noise.
    sox -D -r "$rate" -c "$channels" -n "$@" "$name.wav" synth "$length" "${tones[@]}" vol 0.5
    if [ "$expect" = ok ]; then
        sox -D "$name.wav" -t f32 "$name.f32"
    fi
    manifest+=("$name $expect $rate $channels")
}

rates=(8000 11025 16000 22050 32000 44100 48000 88200 96000 176400 192000)
formats=("u8:-e unsigned -b 8" "s16:-e signed -b 16" "s24:-e signed -b 24"
         "s32:-e signed -b 32" "f32:-e floating-point -b 32" "f64:-e floating-point -b 64")

# Every format in mono and stereo, plain and (where sox writes it: more than 16
# bits) extensible, the rates taken in turn so that every accepted rate appears.
i=0
for f in "${formats[@]}"; do
    tag=${f%%:*}
    read -r -a opts <<<"${f#*:}"
    for channels in 1 2; do
        rate=${rates[$((i % ${#rates[@]}))]}
        i=$((i + 1))
        make "${tag}_${channels}ch_${rate}" ok "$rate" "$channels" 0.05 -t wav "${opts[@]}"
        rate=${rates[$((i % ${#rates[@]}))]}
        i=$((i + 1))
        make "${tag}_${channels}ch_${rate}_plain" ok "$rate" "$channels" 0.05 -t wavpcm "${opts[@]}"
    done
done
# The rate limits in every format.
for f in "${formats[@]}"; do
    tag=${f%%:*}
    read -r -a opts <<<"${f#*:}"
    make "${tag}_limit_8000" ok 8000 1 0.01 -t wav "${opts[@]}"
    make "${tag}_limit_192000" ok 192000 2 0.01 -t wav "${opts[@]}"
done

# Length limits: two frames, thirty seconds exactly at 8000 Hz, and one frame past each.
make s16_two_frames ok 48000 1 2s -t wav -b 16
make s16_thirty_seconds ok 8000 1 240000s -t wav -b 16
make s16_one_frame duration 48000 1 1s -t wav -b 16
make s16_thirty_seconds_and_one duration 8000 1 240001s -t wav -b 16

# Refused formats.
make rate_7999 format 7999 1 0.01 -t wav -b 16
make rate_192001 format 192001 1 0.01 -t wav -b 16
make three_channels format 48000 3 0.01 -t wav -b 16
make mulaw format 8000 1 0.01 -t wav -e u-law
make alaw format 8000 1 0.01 -t wav -e a-law
make ima_adpcm format 8000 1 0.01 -t wav -e ima-adpcm

printf '%s\n' "${manifest[@]}" >manifest.txt
