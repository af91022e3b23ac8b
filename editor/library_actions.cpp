// The library panel's actions: loading a sound, keeping the library copy in
// step with the bank, adding files from the open dialog, scanning a folder, and
// showing what failed.
#include <algorithm>

#include "editor/editor.hpp"
#include "editor/layout.hpp"
#include "editor/menu.hpp"
#include "editor/open_selection.hpp"
#include "editor/texts.hpp"
#include "plugin/media/stored_library.hpp"
#include "plugin/media/wave.hpp"
#include "plugin/plugin.hpp"
#include "plugin/text/windows_path.hpp"

namespace palmtone {

namespace {

// How many skipped files one box names, and how much of each name it shows.
constexpr size_t namedFiles = 12;
constexpr size_t shownCharacters = 80;

std::wstring shortName(const std::wstring& path) {
    std::wstring name = winpath::fileName(path);
    if (name.empty()) name = path;
    if (name.size() > shownCharacters) name = name.substr(0, shownCharacters) + L"...";
    return name;
}

} // namespace

void Editor::load(std::wstring path) {
    if (!plugin) return;
    try {
        plugin->loadSample(path);
        refreshLibrary();
    } catch (const std::exception& e) {
        error(e);
    }
}

void Editor::refreshLibrary() {
    if (!plugin) return;
    SampleBank& bank = plugin->bank;
    const int32_t revision = bank.revision.load();
    if (revision == cachedRevision) return;
    std::vector<std::wstring> copy;
    {
        std::lock_guard<std::mutex> lock(bank.mutex);
        copy = bank.paths;
    }
    library = std::move(copy);
    summary = bank.summary();
    // The value read before the copy: a change landing meanwhile is copied next time.
    cachedRevision = revision;
    scroll = clampScroll(scroll, library.size());
}

void Editor::error(const std::exception& e) {
    box(widen(e.what()), texts::oneShots, box::iconInformation);
}

bool Editor::keepStorable(std::vector<std::wstring>& paths) {
    std::vector<std::wstring> kept, skipped;
    for (std::wstring& path : paths) {
        if (isWavePath(path) && isStorablePath(path))
            kept.push_back(std::move(path));
        else
            skipped.push_back(std::move(path));
    }
    paths = std::move(kept);
    if (skipped.empty()) return true;
    std::wstring text = texts::skippedFiles;
    for (size_t i = 0; i < skipped.size() && i < namedFiles; ++i)
        text += L"\n" + shortName(skipped[i]);
    if (skipped.size() > namedFiles) text += L"\n...";
    return box(text, texts::oneShots, box::iconInformation);
}

void Editor::addWaves() {
    if (!plugin) return;
    OpenReply reply = modal([&] { return ui->openWaveFiles(); });
    if (closed) return;
    if (!reply.chosen) {
        if (reply.tooSmall) box(texts::tooManyFiles, texts::oneShots, box::iconInformation);
        return;
    }
    std::vector<std::wstring> list = selectedPaths(reply.buffer);
    reply.buffer = {};
    addAndLoad(std::move(list));
}

bool Editor::addAndLoad(std::vector<std::wstring> list) {
    if (!keepStorable(list) || list.empty()) return false;
    plugin->bank.addFiles(list);
    scroll = 0;
    load(list[0]);
    return true;
}

void Editor::folder() {
    if (!plugin) return;
    const FolderReply reply = modal([&] { return ui->chooseFolder(); });
    if (closed) return;
    if (reply.kind == FolderReply::cancelled) return;
    if (reply.kind == FolderReply::noPath) {
        box(widen(folderUnreadable), texts::oneShots, box::iconInformation);
        return;
    }
    try {
        plugin->bank.scan(reply.path);
        scroll = 0;
        refreshLibrary();
    } catch (const std::exception& e) {
        error(e);
    }
}

} // namespace palmtone
