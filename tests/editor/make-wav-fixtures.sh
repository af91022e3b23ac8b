#!/usr/bin/env bash
# Writes the editor tests' one-shots with sox into the folder given as $1:
# three short mono tones (Alpha, Bravo, Charlie) and one stereo file at 44.1 kHz.
set -euo pipefail
out=${1:?usage: make-wav-fixtures.sh FOLDER}
mkdir -p "$out"
cd "$out"
rm -f -- *.wav
sox -D -r 48000 -c 1 -n -b 16 Alpha.wav synth 0.25 sine 440 vol 0.5
sox -D -r 48000 -c 1 -n -b 16 Bravo.wav synth 0.25 sine 550 vol 0.5
sox -D -r 48000 -c 1 -n -b 16 Charlie.wav synth 0.25 sine 660 vol 0.5
sox -D -r 44100 -c 2 -n -b 24 Stereo.wav synth 2.96 sine 330 sine 495 vol 0.5
