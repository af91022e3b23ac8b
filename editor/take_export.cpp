// The take out of the plug-in: its Standard MIDI File saved where the user
// chooses, or written to the temporary folder and dragged into another program.
#include "editor/editor.hpp"
#include "editor/texts.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

std::vector<uint8_t> Editor::midi() {
    if (!plugin || plugin->countIn.active.load()) return {};
    try {
        return plugin->capture.midiFile();
    } catch (...) {
        box(texts::midiNotReady, texts::take, box::iconError);
        return {};
    }
}

void Editor::save() {
    const std::vector<uint8_t> bytes = midi();
    if (bytes.empty() || closed) return;
    std::wstring path = L"VELK_acordes.mid";
    const bool chosen = modal([&] { return ui->chooseMidiPath(path); });
    if (closed || !chosen) return;
    if (!ui->writeReplacing(path, bytes)) box(texts::saveFailed, texts::take, box::iconError);
}

void Editor::drag() {
    const std::vector<uint8_t> bytes = midi();
    if (bytes.empty() || closed) return;
    std::wstring folder, guid;
    if (!ui->temporaryFolder(folder)) {
        box(texts::dragFailed, texts::take, box::iconInformation);
        return;
    }
    if (!ui->newGuidText(guid)) return;
    const std::wstring path = folder + L"VELK_acordes_" + guid + L".mid";
    if (!ui->writeNew(path, bytes)) {
        box(texts::dragFailed, texts::take, box::iconInformation);
        return;
    }
    const int32_t result = modal([&] { return ui->dragFile(path); });
    if (closed) return;
    if (result < 0) box(texts::dragFailed, texts::take, box::iconInformation);
}

} // namespace palmtone
