#include "tests/dll/dll_level.hpp"

#include <memory>

#include "editor/regions.hpp"
#include "tests/dll/plugin_fixture.hpp"
#include "tests/dll/state_chunk_bytes.hpp"
#include "tools/vst-host/wave_file.hpp"

namespace velktest {

namespace {

palmtone::Point centre(const palmtone::Rect& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
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
    vsthost::click(paintedEditor(), at.x, at.y);
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
