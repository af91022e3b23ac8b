#include "tests/dll/dll_level.hpp"

#include <memory>
#include <set>
#include <thread>

#include "editor/regions.hpp"
#include "plugin/text/text.hpp"
#include "tests/dll/plugin_fixture.hpp"
#include "tests/dll/state_chunk_bytes.hpp"
#include "tests/support/window_probe.hpp"
#include "tools/vst-host/wave_file.hpp"

namespace velktest {

namespace {

palmtone::Point centre(const palmtone::Rect& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A box's caption and text, for a failure message.
std::string boxWords(HWND box) {
    const Box read = readBox(box);
    return palmtone::utf8(L"\"" + read.caption + L"\" \"" + read.text + L"\"");
}

// What showed while a click ran.
struct Shown {
    bool answered = false;           // the save dialog, answered with the path given
    std::vector<std::string> others; // every other dialog-class window, cancelled
    bool late = false;               // the click had not returned by the deadline
    std::string words() const {
        std::string all;
        for (const std::string& o : others)
            all += " " + o;
        return all;
    }
};

// A left click at `at` while a second thread watches this process's
// dialog-class windows until the click returns (the test's thread is inside
// a modal loop then), waking every 20 ms: the first save dialog is answered
// with `savePath` when one is given; any other such window is noted and
// cancelled, and past the deadline everything shown is, so that the click
// returns.
Shown clickWatched(HWND window, palmtone::Point at, const std::wstring* savePath) {
    Shown shown; // written by the watcher, read once it has ended
    const HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watcher([&] {
        std::set<HWND> seen;
        const ULONGLONG end = GetTickCount64() + patienceMs;
        do {
            shown.late = shown.late || GetTickCount64() > end;
            for (HWND d : windowsOf(GetCurrentProcessId(), dialogClass)) {
                const bool fresh = seen.insert(d).second;
                const bool saveDialog = GetDlgItem(d, saveDialogFileName) != nullptr; // a box has none
                if (fresh && saveDialog && savePath && !shown.answered && !shown.late) {
                    SetDlgItemTextW(d, saveDialogFileName, savePath->c_str());
                    PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    shown.answered = true;
                    continue;
                }
                if (fresh) shown.others.push_back(saveDialog ? "a save dialog" : "a box " + boxWords(d));
                if (fresh || shown.late || !shown.others.empty())
                    PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            }
        } while (WaitForSingleObject(returned, 20) == WAIT_TIMEOUT);
    });
    vsthost::click(window, at.x, at.y);
    SetEvent(returned);
    watcher.join();
    CloseHandle(returned);
    return shown;
}

} // namespace

DllLevel::DllLevel() : host_(dlltest::library()) {
    host_.start();
}

void DllLevel::queue(int32_t frame, int status, int data1, int data2) {
    pending_.push_back(
        {frame, static_cast<uint8_t>(status), static_cast<uint8_t>(data1), static_cast<uint8_t>(data2)});
}

intptr_t DllLevel::deliver() {
    list_.assign(pending_);
    pending_.clear();
    return host_.sendList(list_);
}

void DllLevel::run(int32_t frames) {
    if (!pending_.empty()) deliver();
    host_.process(frames);
}

void DllLevel::answerTime(bool answer, int32_t flags, double tempo) {
    host_.setTempo(answer ? vsthost::TempoAnswer::valid : vsthost::TempoAnswer::none, tempo);
    host_.setTimeFlags(flags);
}

HWND DllLevel::editor() {
    if (!frame_) {
        frame_ = std::make_unique<vsthost::EditorFrame>(host_);
        EXPECT_EQ(frame_->open(), 1) << "the editor did not open";
    }
    const HWND window = frame_->editor();
    EXPECT_NE(window, nullptr) << "no editor window";
    return window;
}

HWND DllLevel::paintedEditor() {
    const HWND window = editor();
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    return window;
}

void DllLevel::click(const palmtone::Rect& region) {
    const palmtone::Point at = centre(region);
    const Shown shown = clickWatched(paintedEditor(), at, nullptr);
    EXPECT_TRUE(shown.others.empty() && !shown.late)
        << "the click at (" << at.x << ", " << at.y << ") did not act: "
        << (shown.late ? "it had not returned after " + std::to_string(patience.count()) + " s;" : "")
        << shown.words();
}

void DllLevel::key(int32_t virtualKey, bool down) {
    vsthost::sendKey(editor(), down ? WM_KEYDOWN : WM_KEYUP, static_cast<UINT>(virtualKey));
}

void DllLevel::pad(int index, bool down) {
    const palmtone::Point at = centre(palmtone::regions::pad(index));
    if (down)
        vsthost::sendMouse(paintedEditor(), WM_LBUTTONDOWN, at.x, at.y, MK_LBUTTON);
    else
        vsthost::sendMouse(editor(), WM_LBUTTONUP, at.x, at.y);
}

void DllLevel::record() {
    click(palmtone::regions::recordButton);
}

void DllLevel::pauseOrResume() {
    click(palmtone::regions::pauseButton);
}

void DllLevel::stop() {
    click(palmtone::regions::stopButton);
}

void DllLevel::releaseNotes() {
    click(palmtone::regions::releaseButton);
}

SavedTake DllLevel::saveTake(const std::wstring& path) {
    DeleteFileW(path.c_str()); // an old file would bring up the overwrite prompt
    const Shown shown = clickWatched(paintedEditor(), centre(palmtone::regions::saveButton), &path);
    SavedTake saved;
    const std::vector<char> bytes = fileBytes(path);
    saved.bytes.assign(bytes.begin(), bytes.end());
    if (shown.late)
        saved.failure =
            "the save had not ended after " + std::to_string(patience.count()) + " s;" + shown.words();
    else if (!shown.others.empty())
        saved.failure =
            (shown.answered ? "after the save dialog, more showed:" : "no save dialog showed, but instead:") +
            shown.words();
    else if (!shown.answered)
        saved.failure = "no save dialog showed: the click on \"Guardar archivo .mid\" hit nothing, or the "
                        "editor held no finished take";
    else if (saved.bytes.empty())
        saved.failure = "nothing saved: the save dialog was answered, and no file was written";
    return saved;
}

std::vector<Sent> DllLevel::sent() const {
    return dlltest::sentEvents(host_.received());
}

void DllLevel::loadOneShot(size_t frames, double rate, float value) {
    const std::vector<uint8_t> wave = vsthost::encodeWave(
        std::vector<float>(frames, value), {}, static_cast<uint32_t>(rate), vsthost::WaveFormat::float32);
    std::vector<uint8_t> chunk = dlltest::chunkBytes({4, dlltest::defaultValues(), "w", "", "", {}, wave});
    ASSERT_EQ(host_.dispatch(vst2::op::setStateChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data()),
              1);
}

std::unique_ptr<Level> makeLevel() {
    return std::make_unique<DllLevel>();
}

// The DLL chose its kernels when it was loaded; this program's switch is not the DLL's.
void forEachKernel(const std::function<void()>& check) {
    check();
}

} // namespace velktest
