#pragma once
// The host's window mode: a top-level frame, like the window a DAW gives a
// plug-in, with the plug-in's editor opened inside it (opcode 14 with the
// frame's handle), a message pump with audio blocks in between, or an audio
// thread of its own while the UI thread pumps.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "tools/vst-host/host_instance.hpp"

namespace vsthost {

class EditorFrame {
  public:
    // Creates the frame (client area 980 x 740), not yet showing an editor.
    explicit EditorFrame(Host& host, int x = 0, int y = 0);
    ~EditorFrame(); // stops the audio thread, closes the editor, destroys the frame
    EditorFrame(const EditorFrame&) = delete;
    EditorFrame& operator=(const EditorFrame&) = delete;

    // Opcode 14 with the frame; the plug-in's answer. editor() is its window then.
    intptr_t open();
    // Opcode 15.
    intptr_t close();

    HWND frame() const noexcept { return frame_; }
    HWND editor() const noexcept; // the child window of class "VelkBetaEditorV1", or null

    // Dispatches the thread's messages for ms milliseconds; when blockFrames is
    // positive and no audio thread runs, processes one block of that size
    // roughly every 5 ms in between, as a DAW's audio would.
    void pump(DWORD ms, int32_t blockFrames = 512);
    // Dispatches what is queued now, without waiting.
    void drain();

    // Audio blocks on a thread of their own until stopAudio().
    void startAudio(int32_t blockFrames = 512, DWORD periodMs = 2);
    void stopAudio();

  private:
    Host& host_;
    HWND frame_ = nullptr;
    std::thread audio_;
    std::atomic<bool> running_{false};
};

// Sends a client-area mouse message to a window, as a click would.
void sendMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);
// A full left click at a client point: button down, then up.
void click(HWND window, int x, int y);
// Key down and up messages as the keyboard sends them (bit 30 for a repeat).
void sendKey(HWND window, UINT message, UINT virtualKey, bool repeat = false);

} // namespace vsthost
