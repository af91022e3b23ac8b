#pragma once
// Checks a written take file against the notes a test expects, and leaves the
// file with that expectation in the read-back folder, where a real MIDI reader
// (read_midi.py) checks it again.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/smf_reader.hpp"

namespace velktest {

// The folder a program leaves its checked files in, for read_midi.py to read
// afterwards; each program that calls expectSmf defines it (a build-tree path,
// reached through drive Z: under Wine).
extern const char* const readbackFolder;

// `name` names the pair of files; use letters, digits and underscores.
void expectSmf(const std::string& name, const std::vector<uint8_t>& bytes, uint32_t tempo,
               const std::vector<SmfNote>& notes);

} // namespace velktest
