"""Reads every take file in a folder with mido and checks it against the
expectation written next to it (name.json beside name.mid): type 0, one track,
960 ticks per beat, the track name, the tempo, and the notes at their ticks."""
import json
import pathlib
import sys

import mido


def check(mid_path, expected):
    problems = []
    mid = mido.MidiFile(str(mid_path))
    if mid.type != expected["type"]:
        problems.append(f"type {mid.type}")
    if mid.ticks_per_beat != expected["ticks_per_beat"]:
        problems.append(f"ticks per beat {mid.ticks_per_beat}")
    if len(mid.tracks) != 1:
        return problems + [f"{len(mid.tracks)} tracks"]

    tick = 0
    names, tempos, notes, others = [], [], [], []
    messages = list(mid.tracks[0])
    for msg in messages:
        tick += msg.time
        if msg.type == "track_name":
            names.append((tick, msg.name))
        elif msg.type == "set_tempo":
            tempos.append((tick, msg.tempo))
        elif msg.type in ("note_on", "note_off"):
            notes.append([tick, msg.type, msg.note, msg.channel, msg.velocity])
        elif msg.type != "end_of_track":
            others.append(msg.type)
    if names != [(0, expected["name"])]:
        problems.append(f"track name {names}")
    if tempos != [(0, expected["tempo"])]:
        problems.append(f"tempo {tempos}")
    if others:
        problems.append(f"unexpected messages {others}")
    if not messages or messages[-1].type != "end_of_track":
        problems.append("no end of track last")
    if notes != expected["notes"]:
        for i, (got, want) in enumerate(zip(notes, expected["notes"])):
            if got != want:
                problems.append(f"note {i}: {got}, expected {want}")
                break
        else:
            problems.append(f"{len(notes)} notes, expected {len(expected['notes'])}")
    return problems


def main():
    folder = pathlib.Path(sys.argv[1])
    expectations = sorted(folder.glob("*.json"))
    if not expectations:
        print(f"no take files in {folder}")
        return 1
    failed = 0
    for path in expectations:
        mid_path = path.with_suffix(".mid")
        try:
            problems = check(mid_path, json.loads(path.read_text()))
        except Exception as e:  # a file mido cannot read at all
            problems = [f"{type(e).__name__}: {e}"]
        if problems:
            failed += 1
            print(f"FAIL {mid_path.name}: {'; '.join(problems)}")
    strays = {p.stem for p in folder.glob("*.mid")} - {p.stem for p in expectations}
    for stem in sorted(strays):
        failed += 1
        print(f"FAIL {stem}.mid: no expectation")
    print(f"{len(expectations) - failed} of {len(expectations)} take files read back as expected")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
