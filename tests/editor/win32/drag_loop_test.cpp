// Real OLE drag loops: dragMidiFile over a stand-in "piano roll" window with
// its own drop target, and over a window holding the editor's WAV drop target.
// The drag loop reads the real mouse buttons; with none held it drops at the
// pointer on its first tick, so each test first puts the pointer where the
// drop should land. A posted Escape cancels the drag instead.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "chords/midi_file_drag_win32.hpp"
#include "editor/editor.hpp"
#include "editor/win32/wave_drop_target_win32.hpp"
#include "editor/win32/windows_ui_win32.hpp"
#include "plugin/host/editor_seam.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/take_script.hpp"
#include "tests/support/test_host.hpp"
#include "tests/support/window_probe.hpp"

namespace {

// The take as the editor exports it: a few chords, stopped.
std::vector<uint8_t> takeFile() {
    velktest::script::Take take;
    take.startAt(0);
    take.noteOn(0, 60);
    take.noteOn(0, 64);
    take.noteOn(0, 67);
    take.end(4096);
    take.begin();
    take.noteOff(0, 60);
    take.noteOff(0, 64);
    take.noteOff(0, 67);
    take.noteOn(10, 62);
    take.end(4096);
    take.stop();
    take.begin();
    take.end(16);
    return take.cap->midiFile();
}

bool writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::vector<uint8_t> readFile(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

std::wstring temporaryFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length);
}

// A program that takes dropped files, as a host's piano roll does: it answers
// copy anywhere in its window, reads the file-drop list on the drop and keeps
// the data object, as a target may.
class PianoRoll final : public IDropTarget {
  public:
    int enters = 0, leaves = 0, drops = 0;
    std::vector<std::wstring> dropped;
    IDataObject* kept = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDropTarget)) return E_NOINTERFACE;
        *out = static_cast<IDropTarget*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        ++enters;
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        ++leaves;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        ++drops;
        *effect &= DROPEFFECT_COPY;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        if (SUCCEEDED(data->GetData(&format, &medium))) {
            auto drop = static_cast<HDROP>(medium.hGlobal);
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
                name.resize(DragQueryFileW(drop, i, &name[0], UINT(name.size())));
                dropped.push_back(name);
            }
            ReleaseStgMedium(&medium);
        }
        data->AddRef();
        kept = data;
        return S_OK;
    }
};

LRESULT CALLBACK plainWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcW(window, message, w, l);
}

// A visible top-level window at a fixed place on the screen, shared by the
// tests (Wine takes two seconds to destroy one), with OLE initialised around
// it; each test registers its own drop target for it.
class DragLoop : public testing::Test {
  protected:
    static constexpr RECT place{200, 150, 600, 450};

    static void SetUpTestSuite() {
        if (FAILED(OleInitialize(nullptr))) return;
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = plainWindow;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VelkTestDropWindow";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, windowClass.lpszClassName, L"Piano roll", WS_POPUP | WS_VISIBLE,
                                 place.left, place.top, place.right - place.left, place.bottom - place.top,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
        if (window != nullptr) UpdateWindow(window);
        pump();
    }

    static void TearDownTestSuite() {
        if (window != nullptr) DestroyWindow(window);
        window = nullptr;
        pump();
        OleUninitialize();
    }

    void SetUp() override { ASSERT_NE(window, nullptr); }

    void TearDown() override {
        if (registered) RevokeDragDrop(window);
        registered = false;
    }

    void registerTarget(IDropTarget* target) {
        ASSERT_EQ(RegisterDragDrop(window, target), S_OK);
        registered = true;
    }

    // Puts the pointer on a screen point, over the window, and waits until the
    // window system says so.
    void pointAt(POINT at) {
        ASSERT_TRUE(SetCursorPos(at.x, at.y));
        POINT now{};
        const bool there = velktest::pumpUntil([&] {
            GetCursorPos(&now);
            return now.x == at.x && now.y == at.y && WindowFromPoint(at) == window;
        });
        ASSERT_TRUE(there) << "the pointer never read as over the window at " << at.x << "," << at.y
                           << "; it is at " << now.x << "," << now.y;
    }

    static void pump() {
        MSG message;
        for (int round = 0; round < 5; ++round) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(10);
        }
    }

    static HWND window;
    bool registered = false;
};

HWND DragLoop::window = nullptr;
constexpr RECT DragLoop::place;
const POINT middle{400, 300};

TEST_F(DragLoop, DropsTheTakeFileOnThePianoRoll) {
    const std::vector<uint8_t> bytes = takeFile();
    ASSERT_GT(bytes.size(), 22u);
    const std::wstring path = temporaryFolder() + L"VELK_acordes_drag_test.mid";
    ASSERT_TRUE(writeFile(path, bytes));
    PianoRoll roll;
    registerTarget(&roll);
    pointAt(middle);

    EXPECT_EQ(tamso::dragMidiFile(path), DRAGDROP_S_DROP);
    EXPECT_EQ(roll.enters, 1);
    EXPECT_EQ(roll.drops, 1);
    ASSERT_EQ(roll.dropped, std::vector<std::wstring>{path});
    EXPECT_EQ(readFile(roll.dropped[0]), bytes); // the file is left in place, whole

    // The target kept the data object past the drag: it still answers.
    ASSERT_NE(roll.kept, nullptr);
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(roll.kept->QueryGetData(&format), S_OK);
    EXPECT_EQ(roll.kept->Release(), 0u);
    DeleteFileW(path.c_str());
}

TEST_F(DragLoop, EscapeCancelsTheDrag) {
    const std::wstring path = temporaryFolder() + L"VELK_acordes_cancel_test.mid";
    ASSERT_TRUE(writeFile(path, takeFile()));
    PianoRoll roll;
    registerTarget(&roll);
    pointAt(middle);

    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0));
    EXPECT_EQ(tamso::dragMidiFile(path), DRAGDROP_S_CANCEL);
    EXPECT_EQ(roll.drops, 0);
    EXPECT_TRUE(roll.dropped.empty());
    EXPECT_EQ(roll.enters, roll.leaves);
    EXPECT_EQ(readFile(path), takeFile()); // a cancelled drag leaves the file too
    DeleteFileW(path.c_str());
}

// The drag loop against the editor's drop target: a WAV file dragged on the
// zone is delivered, off the zone it is not, and nothing after detach.
TEST_F(DragLoop, TheWaveDropTargetTakesARealDrop) {
    // The zone: the window's left half, in screen coordinates.
    const RECT zone{place.left, place.top, middle.x, place.bottom};
    std::vector<bool> hovers;
    std::vector<std::vector<std::wstring>> delivered;
    auto* target = new palmtone::WaveDropTarget(
        [&](POINTL p) {
            return p.x >= zone.left && p.x < zone.right && p.y >= zone.top && p.y < zone.bottom;
        },
        [&](bool on) { hovers.push_back(on); },
        [&](std::vector<std::wstring> paths) { delivered.push_back(std::move(paths)); });
    registerTarget(target);
    const std::wstring wave = L"C:\\One shots\\Bell C4.wav";

    const struct {
        const char* name;
        POINT at;
        std::wstring path;
        bool delivers;
    } cases[] = {
        {"a WAV on the zone", {300, 300}, wave, true},
        {"a WAV off the zone", {500, 300}, wave, false},
        {"a MIDI file on the zone", {300, 300}, L"C:\\Temp\\take.mid", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hovers.clear();
        delivered.clear();
        pointAt(c.at);
        const HRESULT result = tamso::dragMidiFile(c.path);
        EXPECT_TRUE(result == DRAGDROP_S_DROP || result == DRAGDROP_S_CANCEL) << std::hex << result;
        if (c.delivers) {
            EXPECT_EQ(result, DRAGDROP_S_DROP);
            EXPECT_EQ(delivered, std::vector<std::vector<std::wstring>>{{c.path}});
        } else {
            EXPECT_TRUE(delivered.empty());
        }
        ASSERT_FALSE(hovers.empty());
        EXPECT_EQ(hovers.front(), c.delivers); // the highlight at DragEnter
        EXPECT_EQ(hovers.back(), false);       // and off at the end
        EXPECT_FALSE(target->acceptable);
    }

    // The editor is gone but OLE still holds the target.
    target->detach();
    delivered.clear();
    pointAt({300, 300});
    tamso::dragMidiFile(wave);
    EXPECT_TRUE(delivered.empty());
    RevokeDragDrop(window);
    registered = false;
    EXPECT_EQ(target->Release(), 0u);
}

// An editor whose boxes are recorded instead of shown, on an instance with a
// finished take; its window sits in a hidden host window out of the drag's way.
class RecordingUi final : public palmtone::WindowsUi {
  public:
    explicit RecordingUi(std::vector<std::wstring>& boxes) : boxes_(boxes) {}
    int messageBox(const std::wstring& text, const wchar_t*, uint32_t) override {
        boxes_.push_back(text);
        return IDOK;
    }

  private:
    std::vector<std::wstring>& boxes_;
};

class EditorDrag : public DragLoop {
  protected:
    void SetUp() override {
        DragLoop::SetUp();
        palmtone::installWindowsEditor(GetModuleHandleW(nullptr));
        parent = CreateWindowExW(0, L"VelkTestDropWindow", L"host", WS_POPUP, 0, 0, 980, 740, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        editor = palmtone::openEditorWith(host.plugin(), parent, std::make_unique<RecordingUi>(boxes));
        ASSERT_NE(editor, nullptr);
        velktest::stoppedTake(host.plugin());
        ASSERT_EQ(host.plugin().capture.state.load(), tamso::Finished);
        registerTarget(&roll);
        pointAt(middle);
    }
    void TearDown() override {
        palmtone::closeEditor(editor);
        DestroyWindow(parent);
        if (roll.kept) roll.kept->Release();
        DragLoop::TearDown();
    }
    // The take files the editor's drags have left in the temporary folder.
    static std::vector<std::wstring> takeFiles() {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((temporaryFolder() + L"VELK_acordes_{*}.mid").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do
            names.push_back(found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

    velktest::TestHost host;
    HWND parent = nullptr;
    palmtone::Editor* editor = nullptr;
    std::vector<std::wstring> boxes;
    PianoRoll roll;
};

TEST_F(EditorDrag, EveryDragWritesANewFileThatThePianoRollReads) {
    const std::vector<uint8_t> expected = host.plugin().capture.midiFile();
    editor->drag();
    editor->drag();
    ASSERT_EQ(roll.dropped.size(), 2u);
    EXPECT_NE(roll.dropped[0], roll.dropped[1]);
    for (const std::wstring& path : roll.dropped) {
        const std::wstring prefix = temporaryFolder() + L"VELK_acordes_{";
        EXPECT_EQ(path.compare(0, prefix.size(), prefix), 0) << testing::PrintToString(path);
        EXPECT_EQ(path.size(), prefix.size() + 36 + 1 + 4) << "a braced GUID, then .mid";
        EXPECT_EQ(readFile(path), expected);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(EditorDrag, EscapeCancelsWithoutABoxAndTheFileStays) {
    const size_t before = takeFiles().size();
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0));
    editor->drag();
    EXPECT_EQ(roll.drops, 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(takeFiles().size(), before + 1);
}

TEST_F(EditorDrag, ARunningCountInExportsNothing) {
    const size_t before = takeFiles().size();
    host.plugin().countIn.active.store(true);
    editor->drag();
    host.plugin().countIn.active.store(false);
    EXPECT_EQ(roll.enters, 0);
    EXPECT_EQ(takeFiles().size(), before);
    EXPECT_TRUE(boxes.empty());
}

} // namespace
