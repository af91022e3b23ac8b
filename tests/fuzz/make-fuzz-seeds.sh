#!/usr/bin/env bash
# Seed corpora for the fuzz targets from the test fixtures: the small sox WAV
# files for the decoder, state chunks embedding them for the chunk reader, and
# drop-shaped blocks for the reader of dropped data.
# Usage: make-fuzz-seeds.sh SOURCE_DIR OUT_DIR CHUNK_SEED_PROGRAM DROP_SEED_PROGRAM
set -euo pipefail
src=${1:?} out=${2:?} seeder=${3:?} drop_seeder=${4:?}
bash "$src/tests/support/make-decoder-fixtures.sh" "$out/fixtures" >/dev/null
rm -rf "$out/seeds"
mkdir -p "$out/seeds/decode_wave" "$out/seeds/state_chunk" "$out/seeds/drop_paths" \
         "$out/found/decode_wave" "$out/found/state_chunk" "$out/found/drop_paths" "$out/found/session"
small=()
for f in "$out"/fixtures/*.wav; do
    if [ "$(stat -c %s "$f")" -le 16384 ]; then
        cp "$f" "$out/seeds/decode_wave/"
        small+=("$f")
    fi
done
"$seeder" "${small[@]}" "$out/seeds/state_chunk"
"$drop_seeder" "$out/seeds/drop_paths"
echo "seeds: $(ls "$out/seeds/decode_wave" | wc -l) WAV files, $(ls "$out/seeds/state_chunk" | wc -l) chunks," \
     "$(ls "$out/seeds/drop_paths" | wc -l) drops"
