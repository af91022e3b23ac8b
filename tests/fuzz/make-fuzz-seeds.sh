#!/usr/bin/env bash
# Seed corpora for the fuzz targets from the test fixtures: the small sox WAV
# files for the decoder, state chunks embedding them for the chunk reader.
# Usage: make-fuzz-seeds.sh SOURCE_DIR OUT_DIR CHUNK_SEED_PROGRAM
set -euo pipefail
src=${1:?} out=${2:?} seeder=${3:?}
bash "$src/tests/media/make-wav-fixtures.sh" "$out/fixtures" >/dev/null
rm -rf "$out/seeds"
mkdir -p "$out/seeds/decode" "$out/seeds/chunk" "$out/corpus/decode" "$out/corpus/chunk"
small=()
for f in "$out"/fixtures/*.wav; do
    if [ "$(stat -c %s "$f")" -le 16384 ]; then
        cp "$f" "$out/seeds/decode/"
        small+=("$f")
    fi
done
"$seeder" "${small[@]}" "$out/seeds/chunk"
echo "seeds: $(ls "$out/seeds/decode" | wc -l) WAV files, $(ls "$out/seeds/chunk" | wc -l) chunks"
