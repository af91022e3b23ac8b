#pragma once
// The scenarios' level in the DLL's test programs: the built DLL through the
// project's host, and for the user's gestures its editor, opened at the first
// one in a host frame and played through the window's own messages (keys sent
// to it, clicks at the regions its layout draws). Nothing here reads the DLL's
// memory: a host sees an instance through its record, its calls and its window.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/geometry.hpp"
#include "tests/scenarios/scenario_level.hpp"
#include "tools/vst-host/editor_frame.hpp"
#include "tools/vst-host/host_instance.hpp"

namespace velktest {

// A take saved through the editor: the file written, or what never happened.
struct SavedTake {
    std::vector<uint8_t> bytes;
    std::string failure; // empty when the file was written
};

class DllLevel : public Level {
  public:
    DllLevel(); // a DAW's start (vsthost::Host::start)

    vsthost::Host& host() { return host_; }

    vst2::Effect* effect() override { return host_.effect(); }
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) override {
        return host_.dispatch(opcode, index, value, ptr, option);
    }
    void setParameter(int32_t index, float value) override { host_.setParameter(index, value); }
    float getParameter(int32_t index) override { return host_.getParameter(index); }
    void queue(int32_t frame, int status, int data1, int data2) override;
    intptr_t deliver() override;
    void run(int32_t frames) override;
    void answerTime(bool answer, int32_t flags, double tempo) override;

    void key(int32_t virtualKey, bool down) override;
    void pad(int index, bool down) override;
    void record() override;
    void pauseOrResume() override;
    void stop() override;
    void releaseNotes() override;

    int64_t blocks() const override { return host_.blocks(); }
    std::vector<Sent> sent() const override;
    std::vector<HostCall> calls() const override { return host_.calls(); }
    void clearLog() override { host_.clearLog(); }
    std::vector<float> blockLeft() const override { return host_.blockLeft(); }
    std::vector<float> blockRight() const override { return host_.blockRight(); }
    const std::vector<float>& left() const override { return host_.left(); }
    const std::vector<float>& right() const override { return host_.right(); }
    int64_t overruns() const override { return host_.overruns(); }
    // Only a state chunk carries a file into the DLL's library.
    void loadOneShot(size_t frames, double rate, float value) override;

    // The take as its user gets it: a click on "Guardar archivo .mid" and the
    // save dialog answered with `path` (a Windows path in an existing folder)
    // from a second thread, while this one is inside the dialog's loop. Fails
    // with what never happened: no save dialog (the click hit nothing, or the
    // editor held no finished take), a box instead, no file written.
    SavedTake saveTake(const std::wstring& path);

  private:
    // The editor's window, opened in a host frame at the first gesture.
    HWND editor();
    // The same, painted first, as a user sees it: the paint registers what a
    // click hits now.
    HWND paintedEditor();
    // Paints the window, then presses and releases the left button in the
    // middle of `region`. A box or dialog that shows instead of the button
    // acting is closed from a second thread and fails the test.
    void click(const palmtone::Rect& region);

    vsthost::Host host_;
    std::vector<vsthost::BlockMidi> pending_;
    vsthost::EventListBuffer list_;
    std::unique_ptr<vsthost::EditorFrame> frame_; // declared last: the editor goes before the instance
};

} // namespace velktest
