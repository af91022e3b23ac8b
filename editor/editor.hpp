#pragma once
// The object of one open editor window. Its behaviour - keys and pads, clicks,
// the transport, menus, the library actions, the take export and each paint
// pass's state - is portable C++ that reaches the window system only through the
// Ui seam, so it runs and is tested natively. The window procedure, painting,
// the drop registration and the window's fonts and brush are the Windows layer
// (editor/win32/), which defines the members declared here with handle types.
//
// Threads: everything here runs on the host's UI thread, the window's thread.
// Shared with the audio thread, without locks: the UI event ring (this editor is
// its single producer), Plugin::overflow and Plugin::resetRequest, the count-in
// handshake, the take state (compare-and-swap only) and the display fields
// (loads). The only lock taken directly is SampleBank::mutex.
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "editor/geometry.hpp"
#include "editor/hit.hpp"
#include "editor/regions.hpp"
#include "editor/scene.hpp"
#include "editor/ui.hpp"
#include "editor/view.hpp"
#include "plugin/media/sample_bank.hpp"

// Windows handle types, declared as <windows.h> declares them, so that this
// header needs no platform header.
struct HWND__;
struct HDC__;
struct HFONT__;
struct HBRUSH__;
struct HDROP__;

namespace palmtone {

class Plugin;
class WaveDropTarget;

// The deferred-drop message, posted to the editor's own window.
constexpr unsigned deferredDropMessage = 0x8000 + 41; // WM_APP + 41

class Editor {
  public:
    // Every member at its initial value; no window and no platform resource yet.
    Editor(Plugin* plugin, std::unique_ptr<Ui> ui);
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // ---- members, in declaration order ----
    Plugin* plugin;            // not owning; null once the host closed the editor
    HWND__* window = nullptr;  // set at WM_NCCREATE, cleared by the teardown
    std::vector<Hit> hits;     // rebuilt by every paint, searched by a click
    bool keyDown[8] = {};      // computer key A S D F G H J K held
    double glow[8] = {};       // pad highlight 0..1, eased by every paint
    HFONT__* font12 = nullptr; // the five fonts and the background brush live
    HFONT__* font14 = nullptr; // as long as the editor (Windows only)
    HFONT__* font17 = nullptr;
    HFONT__* font22 = nullptr;
    HFONT__* font30 = nullptr;
    HBRUSH__* backgroundBrush = nullptr;
    int32_t padHeld = -1;   // pad held with the mouse, -1 none
    int32_t dragArmed = -1; // 1 while "Arrastrar MIDI" is pressed and may start a drag
    Point dragStart{0, 0};
    int32_t pressedType = -1; // the button held down, for its pressed look
    int32_t pressedValue = -1;
    int32_t scroll = 0; // first library row shown
    bool volumeDragging = false;
    bool counted = false;                             // the window was created and counted
    bool tracking = false;                            // mouse-leave notification requested
    Point mouse{-1, -1};                              // (-1, -1) while the mouse is outside
    uint16_t overview[regions::timelineColumns] = {}; // the take picture: a pitch-class mask per column
    int32_t lastState = -1;                           // take state seen at the last overview update
    int32_t lastColumn = -1;                          // overview column written last
    int32_t cachedRevision = -1;                      // SampleBank::revision of the copied library
    std::vector<std::wstring> library;                // copy of the library's file list
    std::vector<std::wstring> pendingDrop;            // dropped WAV paths waiting for the deferred drop
    SampleSummary summary;                            // copy of the published one-shot's summary
    float meter = 0.0f;                               // level meter
    WaveDropTarget* dropTarget = nullptr;             // the OLE drop target; this editor holds one reference
    bool dropHover = false;                           // a WAV drag hovers over a drop zone
    bool registered = false;                          // the drop target is registered
    bool oleInitialized = false;                      // OLE was initialised here and must be balanced

    // The window system, and the guard against being freed while in use: a
    // host may close the editor inside one of its modal loops (a box, a menu,
    // a dialog, the drag). `depth` counts this editor's handlers on the stack;
    // a close while it is above 0 tears the window down at once, sets
    // `closed`, and leaves the freeing to the outermost handler.
    std::unique_ptr<Ui> ui;
    int32_t depth = 0;
    bool closed = false;
    int32_t modalCalls = 0; // boxes, menus, dialogs and drags shown so far

    // ---- input (the window procedure's handlers) ----
    // Key down: true when handled (chord keys, Delete, space). ctrlOrAlt: Ctrl
    // or Alt is held; repeat: bit 30 of the message.
    bool keyPressed(int32_t virtualKey, bool repeat, bool ctrlOrAlt);
    bool keyReleased(int32_t virtualKey);
    void timerTick();
    void mouseMoved(Point at);
    void buttonPressed(Point at);
    void buttonReleased();
    void captureLost();
    // A wheel step at a client point; false when outside the library panel.
    bool wheel(Point at, int32_t delta);
    void mouseLeft();
    void focusLost();
    // The paths of a shell drop (already filtered to WAV paths).
    void shellDrop(std::vector<std::wstring> paths);
    void deferredDrop();

    // ---- the drop target's callbacks ----
    bool acceptsDrop(Point client) const noexcept; // the point lies on a drop zone
    void hover(bool on);
    void deliver(std::vector<std::wstring> paths);

    // ---- actions ----
    void releaseKeys();
    void record(bool newTake);
    void stop();
    void spaceBar();
    void menu(int parameter, Point at);
    void rootMenu(Point at);
    void load(std::wstring path);
    void refreshLibrary();
    void addWaves();
    void folder();
    void error(const std::exception& e);
    std::vector<uint8_t> midi();
    void save();
    void drag();

    // ---- painting ----
    // One paint pass's state: copies the library when it changed, eases the
    // glow, decays the meter, updates the take picture and lays the surface
    // out; rebuilds `hits` from it. `milliseconds` drives the record pulse.
    const Scene& frame(double milliseconds);
    void updateOverview(int32_t state);

    // ---- life cycle ----
    // The window is gone (WM_DESTROY): held keys and the pad send their note-offs.
    void windowGone();
    // The host closes the editor: the window goes now; true when the caller may
    // free the editor, false when a handler of it is still running.
    bool close();
    // A handler of this editor starts and ends; leave() is true when it was the
    // outermost one of an editor that was closed meanwhile (free it then).
    void enter() noexcept { ++depth; }
    bool leave() noexcept { return --depth == 0 && closed; }

#ifdef _WIN32
    static intptr_t __stdcall procedure(HWND__* window, unsigned msg, uintptr_t wParam, intptr_t lParam);
    intptr_t message(HWND__* window, unsigned msg, uintptr_t wParam, intptr_t lParam);
    bool attach(HWND__* parent);
    void paint(HDC__* dc);
    void detachDrop(HWND__* window);
    void attachDrop();                                           // both drop paths, after the window exists
    void shellDropMessage(HDROP__* drop);                        // WM_DROPFILES
    void failed(unsigned msg, const std::exception* e) noexcept; // a handler threw
#endif

  private:
    // Every modal call of the seam goes through here. Its loop takes the key
    // and button releases that arrive meanwhile without handing them to the
    // window, so once it is over, however it ends (a throw after the loop
    // too, which then goes on), each key and the pad still held here is
    // checked against the devices, and what came up ends now. A closed editor
    // checks nothing: the close ended them all.
    template <typename Call> auto modal(Call call) -> decltype(call()) {
        ++modalCalls;
        decltype(call()) result;
        try {
            result = call();
        } catch (...) {
            if (!closed) releaseLifted();
            throw;
        }
        if (!closed) releaseLifted();
        return result;
    }
    void releaseLifted();
    // Shows a box; false when the host closed the editor meanwhile (the caller
    // then returns at once and touches nothing).
    bool box(const std::wstring& text, const wchar_t* caption, uint32_t style, int* answer = nullptr);
    void push(int32_t status, int32_t note, int32_t velocity) noexcept;
    void releasePad() noexcept;
    void click(const Hit& hit, Point at);
    void playModeToggle();
    void removeAndRelease(const std::wstring& path, bool current);
    // Keeps the paths the library can hold; names the others in one box.
    // False when the host closed the editor during that box.
    bool keepStorable(std::vector<std::wstring>& paths);
    // Adds the storable paths of list to the library and loads the first; false
    // when none was left or the host closed the editor during the box.
    bool addAndLoad(std::vector<std::wstring> list);
    void startCountIn();
    View view(double milliseconds);
    void releaseResources() noexcept;

    Scene scene_;
};

} // namespace palmtone
