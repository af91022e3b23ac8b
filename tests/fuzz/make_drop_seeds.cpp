// Writes seed drops for the fuzzer: wide and narrow file lists, headers with
// bad offsets, unterminated names, a list past 1024 names, and path texts with
// quotes and NULs. Usage: make_drop_seeds OUTDIR
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/drop_blocks.hpp"

using namespace std::string_literals;
using namespace velktest;

namespace {

void write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string out = argv[1];
    const std::wstring a = L"C:\\Samples\\kick.wav", b = L"\\\\server\\share\\Snare.WAV";

    write(out + "/wide.drop", wideDrop({a, L"C:\\notes.txt", b}));
    write(out + "/narrow.drop", narrowDrop({"C:\\x\\a.wav", "C:\\x\\b.aif", "D:\\\xF1.Wav"}));
    write(out + "/empty-name.drop", join(dropHeader(20, true), textUnits(a + L"\0\0"s + b + L"\0\0"s)));
    write(out + "/unterminated.drop", join(dropHeader(20, true), textUnits(a + L"\0"s + b)));
    write(out + "/unterminated-narrow.drop",
          join(dropHeader(20, false), {'C', ':', '\\', 'a', '.', 'w', 'a', 'v'}));
    write(out + "/offset-19.drop", join(dropHeader(19, true), join({0}, textUnits(a + L"\0\0"s))));
    write(out + "/offset-odd.drop", join(dropHeader(21, true), join({0}, textUnits(a + L"\0\0"s))));
    write(out + "/offset-beyond.drop", join(dropHeader(0xFFFFFFF0u, true), textUnits(a + L"\0\0"s)));
    write(out + "/offset-gap.drop",
          join(join(dropHeader(40, true), std::vector<uint8_t>(20, 0xEE)), textUnits(a + L"\0\0"s)));
    write(out + "/short.drop", join(dropHeader(20, true), {'C', 0, 0}));
    std::vector<std::wstring> many;
    for (int i = 0; i < 1100; ++i)
        many.push_back(L"C:\\" + std::to_wstring(i) + L".wav");
    write(out + "/many.drop", wideDrop(many));

    write(out + "/text-quoted.text", textUnits(L"\"" + a + L"\"\0"s));
    write(out + "/text-after-nul.text", textUnits(a + L"\0C:\\other.wav\0"s));
    write(out + "/text-no-nul.text", textUnits(b));
    write(out + "/text-one-quote.text", textUnits(L"\"" + a + L"\0"s));
    return 0;
}
