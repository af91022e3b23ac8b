// The editor's drop target called directly, as OLE calls it during a drag,
// against data objects written here: a file-drop list, "FileNameW" and Unicode
// text, sources that allow only moving, points on and off a drop zone, calls
// after detach, and callbacks that throw. Also the reading of file-drop lists
// from global memory, held against the platform's own reader.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/win32/wave_drop_target_win32.hpp"
#include "plugin/media/wave.hpp"
#include "tests/support/drop_blocks.hpp"

using namespace std::string_literals;
using palmtone::WaveDropTarget;
using velktest::dropHeader;
using velktest::narrowDrop;
using velktest::textUnits;
using velktest::wideDrop;
using Paths = std::vector<std::wstring>;

namespace {

const CLIPFORMAT fileNameW = CLIPFORMAT(RegisterClipboardFormatW(L"FileNameW"));
const std::wstring kick = L"C:\\Samples\\Kick.wav";
const std::wstring snare = L"\\\\server\\share\\snare.WAV";
const std::wstring bell = L"D:\\One shots\\Bell C4.wav";

std::string show(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w)
        s += (c >= 32 && c < 127) ? char(c) : '?';
    return s;
}

HGLOBAL globalCopy(const std::vector<uint8_t>& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (block != nullptr && !bytes.empty()) {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    return block;
}

// Counts the releases of the media a data object handed out.
class ReleaseCounter final : public IUnknown {
  public:
    int releases = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override {
        ++releases;
        return 1;
    }
};

// Dropped data as another program offers it: each item one clipboard format,
// handed out as a new global block (or, for `stream`, in a stream) that the
// object frees itself after the reader released the medium.
class TestData final : public IDataObject {
  public:
    struct Item {
        CLIPFORMAT format;
        std::vector<uint8_t> bytes;
        bool stream = false;    // handed out in a stream instead of global memory
        bool nullBlock = false; // handed out as global memory with a null handle
    };

    explicit TestData(std::vector<Item> items) : items(std::move(items)) {}
    ~TestData() {
        for (HGLOBAL block : blocks)
            GlobalFree(block);
    }

    std::vector<Item> items;
    std::vector<FORMATETC> requests; // every GetData, in order
    int handedOut = 0;               // media handed out
    ReleaseCounter media;            // their releases

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
        *out = static_cast<IDataObject*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        requests.push_back(*format);
        for (const Item& item : items) {
            if (item.format != format->cfFormat) continue;
            if (item.stream) {
                IStream* stream = nullptr;
                if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return E_OUTOFMEMORY;
                stream->Write(item.bytes.data(), ULONG(item.bytes.size()), nullptr);
                medium->tymed = TYMED_ISTREAM;
                medium->pstm = stream;
                medium->pUnkForRelease = nullptr;
                ++handedOut;
                ++media.releases; // ReleaseStgMedium releases the stream itself
                return S_OK;
            }
            if ((format->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
            HGLOBAL block = item.nullBlock ? nullptr : globalCopy(item.bytes);
            if (block != nullptr) blocks.push_back(block);
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = block;
            medium->pUnkForRelease = &media;
            ++handedOut;
            return S_OK;
        }
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    std::vector<HGLOBAL> blocks;
};

TestData::Item files(const Paths& names) {
    return {CF_HDROP, wideDrop(names)};
}
TestData::Item fileName(const std::wstring& text) {
    return {fileNameW, textUnits(text + L"\0"s)};
}
TestData::Item unicodeText(const std::wstring& text) {
    return {CF_UNICODETEXT, textUnits(text + L"\0"s)};
}

// The drop zone of these tests, in screen coordinates, bounds inclusive.
bool inZone(POINTL p) {
    return p.x >= 24 && p.x <= 279 && p.y >= 172 && p.y <= 433;
}
const POINTL onZone{100, 200};
const POINTL offZone{500, 200};

// A target as the editor makes it, with callbacks that record every call; the
// test holds the creator's reference.
struct Editor {
    std::vector<POINTL> asked;
    std::vector<bool> hovers;
    std::vector<Paths> delivered;
    bool throwInAccept = false, throwInHover = false, throwInDeliver = false;
    WaveDropTarget* target;

    Editor()
        : target(new WaveDropTarget(
              [this](POINTL p) {
                  asked.push_back(p);
                  if (throwInAccept) throw std::runtime_error("accept");
                  return inZone(p);
              },
              [this](bool on) {
                  hovers.push_back(on);
                  if (throwInHover) throw std::bad_alloc();
              },
              [this](Paths paths) {
                  if (throwInDeliver) throw std::bad_alloc();
                  delivered.push_back(std::move(paths));
              })) {}
    ~Editor() {
        while (target->Release() > 0) {
        }
    }
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    DWORD enter(TestData& data, POINTL at, DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE) {
        DWORD effect = allowed;
        EXPECT_EQ(target->DragEnter(&data, MK_LBUTTON, at, &effect), S_OK);
        return effect;
    }
    DWORD over(POINTL at, DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE) {
        DWORD effect = allowed;
        EXPECT_EQ(target->DragOver(MK_LBUTTON, at, &effect), S_OK);
        return effect;
    }
    DWORD drop(TestData& data, POINTL at, DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE) {
        DWORD effect = allowed;
        EXPECT_EQ(target->Drop(&data, 0, at, &effect), S_OK);
        return effect;
    }
};

} // namespace

TEST(WaveDropTarget, AnswersOnlyForItselfAndCountsReferences) {
    Editor editor;
    IDropTarget* target = editor.target;
    const struct {
        const IID* iid;
        bool answered;
    } cases[] = {
        {&IID_IUnknown, true},     {&IID_IDropTarget, true}, {&IID_IDataObject, false},
        {&IID_IDropSource, false}, {&IID_IStream, false},
    };
    int32_t count = 1;
    for (const auto& c : cases) {
        void* out = reinterpret_cast<void*>(uintptr_t(0xBAD));
        const HRESULT hr = target->QueryInterface(*c.iid, &out);
        EXPECT_EQ(hr, c.answered ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(out, c.answered ? static_cast<void*>(target) : nullptr);
        if (c.answered) ++count;
        EXPECT_EQ(editor.target->refCount.load(), count);
    }
    EXPECT_EQ(target->QueryInterface(IID_IDropTarget, nullptr), E_POINTER);
    EXPECT_EQ(target->AddRef(), ULONG(count + 1));
    EXPECT_EQ(target->Release(), ULONG(count));
}

TEST(WaveDropTarget, DestroysTheCallbacksAtDetachOrAtTheLastRelease) {
    // Each callback owns a token that logs its destruction.
    struct Token {
        std::string* log;
        const char* name;
        ~Token() { *log += std::string(name) + " "; }
    };
    std::string log;
    auto make = [&] {
        auto a = std::make_shared<Token>(Token{&log, "accept"});
        auto h = std::make_shared<Token>(Token{&log, "hover"});
        auto d = std::make_shared<Token>(Token{&log, "deliver"});
        return new WaveDropTarget([a](POINTL) { return true; }, [h](bool) {}, [d](Paths) {});
    };
    // make_shared of a temporary Token logs that temporary's end: start counting after.
    WaveDropTarget* target = make();
    log.clear();
    target->AddRef();
    EXPECT_EQ(target->Release(), 1u);
    EXPECT_EQ(log, "");
    EXPECT_EQ(target->Release(), 0u);
    EXPECT_EQ(log, "deliver hover accept ");

    target = make();
    log.clear();
    target->AddRef();
    target->detach();
    EXPECT_EQ(log.size(), std::string("deliver hover accept ").size());
    EXPECT_EQ(target->refCount.load(), 2);
    target->Release();
    target->Release();
}

TEST(WaveDropTarget, AnswersCopyOnlyForWavesOverAZone) {
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    const struct {
        const char* name;
        std::vector<TestData::Item> items;
        POINTL at;
        DWORD allowed;
        DWORD expected;
        bool asked; // accept was asked for the point
    } cases[] = {
        {"WAV files on the zone", {files({kick})}, onZone, both, DROPEFFECT_COPY, true},
        {"copy only", {files({kick})}, onZone, DROPEFFECT_COPY, DROPEFFECT_COPY, true},
        {"all effects",
         {files({kick})},
         onZone,
         DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
         DROPEFFECT_COPY,
         true},
        {"WAV files off the zone", {files({kick})}, offZone, both, DROPEFFECT_NONE, true},
        {"zone corner", {files({kick})}, POINTL{279, 433}, both, DROPEFFECT_COPY, true},
        {"just past the corner", {files({kick})}, POINTL{280, 433}, both, DROPEFFECT_NONE, true},
        {"a source that only moves", {files({kick})}, onZone, DROPEFFECT_MOVE, DROPEFFECT_NONE, true},
        {"a source that only links", {files({kick})}, onZone, DROPEFFECT_LINK, DROPEFFECT_NONE, true},
        {"no WAV", {files({L"C:\\a.mid", L"C:\\b.txt"})}, onZone, both, DROPEFFECT_NONE, false},
        {"a relative WAV", {files({L"kick.wav"})}, onZone, both, DROPEFFECT_NONE, false},
        {"no data at all", {}, onZone, both, DROPEFFECT_NONE, false},
        {"a quoted text path", {unicodeText(L"\"" + kick + L"\"")}, onZone, both, DROPEFFECT_COPY, true},
        {"a FileNameW path", {fileName(bell)}, onZone, both, DROPEFFECT_COPY, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor editor;
        TestData data(c.items);
        EXPECT_EQ(editor.enter(data, c.at, c.allowed), c.expected);
        EXPECT_EQ(editor.asked.size(), c.asked ? 1u : 0u);
        EXPECT_EQ(editor.hovers, std::vector<bool>{c.expected == DROPEFFECT_COPY});
        EXPECT_EQ(editor.target->acceptable, c.asked);
        EXPECT_TRUE(editor.delivered.empty());
    }
}

TEST(WaveDropTarget, FollowsThePointerWithoutReadingTheDataAgain) {
    Editor editor;
    TestData data({files({kick})});
    EXPECT_EQ(editor.enter(data, offZone), DROPEFFECT_NONE);
    const size_t reads = data.requests.size();
    EXPECT_EQ(editor.over(onZone), DROPEFFECT_COPY);
    EXPECT_EQ(editor.over(onZone), DROPEFFECT_COPY);
    EXPECT_EQ(editor.over(onZone, DROPEFFECT_MOVE), DROPEFFECT_NONE);
    EXPECT_EQ(editor.over(offZone), DROPEFFECT_NONE);
    EXPECT_EQ(data.requests.size(), reads);
    // The highlight follows every answer, repeated ones too.
    EXPECT_EQ(editor.hovers, (std::vector<bool>{false, true, true, false, false}));

    EXPECT_EQ(editor.target->DragLeave(), S_OK);
    EXPECT_EQ(editor.hovers.back(), false);
    EXPECT_FALSE(editor.target->acceptable);
    const size_t asked = editor.asked.size();
    EXPECT_EQ(editor.over(onZone), DROPEFFECT_NONE); // left: nothing acceptable now
    EXPECT_EQ(editor.asked.size(), asked);

    // Data without a WAV never asks for the zone.
    TestData none({files({L"C:\\a.mid"})});
    EXPECT_EQ(editor.enter(none, onZone), DROPEFFECT_NONE);
    EXPECT_EQ(editor.over(onZone), DROPEFFECT_NONE);
    EXPECT_EQ(editor.asked.size(), asked);
}

TEST(WaveDropTarget, DropDeliversTheWavePathsInDropOrder) {
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    std::vector<std::wstring> many;
    for (int i = 0; i < 1500; ++i)
        many.push_back(L"C:\\s\\" + std::to_wstring(i) + L".wav");
    const Paths first1024(many.begin(), many.begin() + 1024);
    const struct {
        const char* name;
        std::vector<TestData::Item> items;
        POINTL at;
        DWORD allowed;
        std::vector<Paths> delivered;
    } cases[] = {
        {"three files, two WAVs", {files({kick, L"C:\\notes.txt", snare})}, onZone, both, {{kick, snare}}},
        {"1500 WAVs", {files(many)}, onZone, both, {first1024}},
        {"off the zone", {files({kick})}, offZone, both, {}},
        {"a source that only moves", {files({kick})}, onZone, DROPEFFECT_MOVE, {}},
        {"no WAV", {files({L"C:\\a.aif"})}, onZone, both, {}},
        {"text after the NUL is not read",
         {unicodeText(L"\"" + kick + L"\"\0"s + snare)},
         onZone,
         both,
         {{kick}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor editor;
        TestData data(c.items);
        editor.enter(data, c.at, c.allowed);
        const size_t reads = data.requests.size();
        editor.hovers.clear();
        const DWORD effect = editor.drop(data, c.at, c.allowed);
        EXPECT_EQ(effect, c.delivered.empty() ? DROPEFFECT_NONE : DROPEFFECT_COPY);
        EXPECT_EQ(editor.delivered, c.delivered);
        EXPECT_EQ(editor.hovers, std::vector<bool>{false});
        EXPECT_FALSE(editor.target->acceptable);
        // A drop that may deliver reads the data again.
        const bool mayDeliver = inZone(c.at) && (c.allowed & DROPEFFECT_COPY);
        EXPECT_EQ(data.requests.size() > reads, mayDeliver);
    }
}

TEST(WaveDropTarget, PrefersFileDropsThenFileNameThenText) {
    const struct {
        const char* name;
        std::vector<TestData::Item> items;
        Paths expected;
        std::vector<CLIPFORMAT> asked;
    } cases[] = {
        {"all three", {unicodeText(snare), fileName(bell), files({kick})}, {kick}, {CF_HDROP}},
        {"file drop without a WAV",
         {files({L"C:\\a.txt"}), fileName(bell), unicodeText(snare)},
         {bell},
         {CF_HDROP, fileNameW}},
        {"FileNameW not a WAV",
         {fileName(L"C:\\a.txt"), unicodeText(snare)},
         {snare},
         {CF_HDROP, fileNameW, CF_UNICODETEXT}},
        {"text only", {unicodeText(L"\"" + bell + L"\"")}, {bell}, {CF_HDROP, fileNameW, CF_UNICODETEXT}},
        {"file drop in a stream",
         {{CF_HDROP, wideDrop({kick}), true}, unicodeText(snare)},
         {snare},
         {CF_HDROP, fileNameW, CF_UNICODETEXT}},
        {"text in a stream",
         {{CF_UNICODETEXT, textUnits(kick + L"\0"s), true}},
         {},
         {CF_HDROP, fileNameW, CF_UNICODETEXT}},
        {"null global blocks",
         {{CF_HDROP, {}, false, true}, {fileNameW, {}, false, true}, unicodeText(kick)},
         {kick},
         {CF_HDROP, fileNameW, CF_UNICODETEXT}},
        {"text without a NUL",
         {{CF_UNICODETEXT, textUnits(kick)}},
         {},
         {CF_HDROP, fileNameW, CF_UNICODETEXT}},
        {"text of 64 KiB and 2 bytes",
         {{CF_UNICODETEXT,
           [] {
               auto b = textUnits(kick + L"\0"s);
               b.resize(65538, 0);
               return b;
           }()}},
         {},
         {CF_HDROP, fileNameW, CF_UNICODETEXT}},
        {"nothing", {}, {}, {CF_HDROP, fileNameW, CF_UNICODETEXT}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestData data(c.items);
        const Paths paths = palmtone::waveObjectPaths(&data);
        ASSERT_EQ(paths.size(), c.expected.size());
        for (size_t i = 0; i < paths.size(); ++i)
            EXPECT_EQ(show(paths[i]), show(c.expected[i]));
        std::vector<CLIPFORMAT> asked;
        for (const FORMATETC& f : data.requests) {
            asked.push_back(f.cfFormat);
            EXPECT_EQ(f.ptd, nullptr);
            EXPECT_EQ(f.dwAspect, DWORD(DVASPECT_CONTENT));
            EXPECT_EQ(f.lindex, -1);
            EXPECT_EQ(f.tymed, DWORD(TYMED_HGLOBAL));
        }
        EXPECT_EQ(asked, c.asked);
        // Every medium handed out was released.
        EXPECT_EQ(data.media.releases, data.handedOut);
    }
    EXPECT_TRUE(palmtone::waveObjectPaths(nullptr).empty());
}

TEST(WaveDropTarget, DoesNothingAfterDetach) {
    Editor editor;
    TestData data({files({kick})});
    EXPECT_EQ(editor.enter(data, onZone), DROPEFFECT_COPY);
    editor.target->detach();
    EXPECT_FALSE(editor.target->acceptable);
    const size_t asked = editor.asked.size(), hovers = editor.hovers.size();

    EXPECT_EQ(editor.over(onZone), DROPEFFECT_NONE);
    EXPECT_EQ(editor.drop(data, onZone), DROPEFFECT_NONE);
    EXPECT_EQ(editor.enter(data, onZone), DROPEFFECT_NONE);
    EXPECT_EQ(editor.target->DragLeave(), S_OK);
    EXPECT_EQ(editor.drop(data, onZone), DROPEFFECT_NONE);
    EXPECT_EQ(editor.asked.size(), asked);
    EXPECT_EQ(editor.hovers.size(), hovers);
    EXPECT_TRUE(editor.delivered.empty());
}

TEST(WaveDropTarget, KeepsExceptionsInsideAndAnswersNone) {
    TestData data({files({kick})});
    {
        SCOPED_TRACE("accept throws at enter");
        Editor editor;
        editor.throwInAccept = true;
        EXPECT_EQ(editor.enter(data, onZone), DROPEFFECT_NONE);
        EXPECT_FALSE(editor.target->acceptable);
        EXPECT_TRUE(editor.hovers.empty());
        EXPECT_EQ(editor.over(onZone), DROPEFFECT_NONE);
        EXPECT_EQ(editor.drop(data, onZone), DROPEFFECT_NONE);
        EXPECT_TRUE(editor.delivered.empty());
    }
    {
        SCOPED_TRACE("hover throws");
        Editor editor;
        editor.throwInHover = true;
        EXPECT_EQ(editor.enter(data, onZone), DROPEFFECT_NONE);
        EXPECT_EQ(editor.over(onZone), DROPEFFECT_NONE);
        EXPECT_EQ(editor.target->DragLeave(), S_OK);
        EXPECT_EQ(editor.drop(data, onZone), DROPEFFECT_NONE);
        EXPECT_TRUE(editor.delivered.empty());
    }
    {
        SCOPED_TRACE("deliver throws");
        Editor editor;
        editor.throwInDeliver = true;
        editor.enter(data, onZone);
        EXPECT_EQ(editor.drop(data, onZone), DROPEFFECT_NONE);
    }
    Editor editor;
    EXPECT_EQ(editor.target->DragEnter(&data, 0, onZone, nullptr), E_POINTER);
    EXPECT_EQ(editor.target->DragOver(0, onZone, nullptr), E_POINTER);
    EXPECT_EQ(editor.target->Drop(&data, 0, onZone, nullptr), E_POINTER);
    EXPECT_TRUE(editor.hovers.empty());
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(editor.target->DragEnter(nullptr, 0, onZone, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
}

TEST(WaveDropPaths, ReadsGlobalFileDropsAsThePlatformDoes) {
    // Well-formed lists: the same names as the platform's own reader, less the
    // ones that are no WAV paths.
    const struct {
        const char* name;
        std::vector<uint8_t> block;
    } wellFormed[] = {
        {"wide", wideDrop({kick, L"C:\\x.txt", snare, L"C:\\M\u00fasica\\\u00f1u.WAV"})},
        {"narrow", narrowDrop({"C:\\a.wav", "C:\\b.mid", "C:\\M\xfasica\\\xf1u.wav", "\\\\srv\\s\\c.Wav"})},
    };
    for (const auto& c : wellFormed) {
        SCOPED_TRACE(c.name);
        HGLOBAL block = globalCopy(c.block);
        auto drop = static_cast<HDROP>(block);
        Paths platform;
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
            name.resize(DragQueryFileW(drop, i, &name[0], UINT(name.size())));
            if (palmtone::isWavePath(name)) platform.push_back(name);
        }
        EXPECT_EQ(platform.size(), 3u);
        EXPECT_EQ(palmtone::waveDropPaths(drop), platform);
        GlobalFree(block);
    }

    // Blocks the platform's reader would run past: nothing beyond the block is read.
    const struct {
        const char* name;
        std::vector<uint8_t> block;
        Paths expected;
    } bounded[] = {
        {"unterminated last name",
         [] {
             auto b = dropHeader(20, true);
             auto t = textUnits(kick + L"\0"s + snare);
             b.insert(b.end(), t.begin(), t.end());
             return b;
         }(),
         {kick}},
        {"21 bytes",
         [] {
             auto b = dropHeader(20, false);
             b.push_back('C');
             return b;
         }(),
         {}},
        {"list offset past the end",
         [] {
             auto b = dropHeader(4000, true);
             auto t = textUnits(kick + L"\0\0"s);
             b.insert(b.end(), t.begin(), t.end());
             return b;
         }(),
         {}},
    };
    for (const auto& c : bounded) {
        SCOPED_TRACE(c.name);
        HGLOBAL block = globalCopy(c.block);
        EXPECT_EQ(palmtone::waveDropPaths(static_cast<HDROP>(block)), c.expected);
        GlobalFree(block);
    }
    EXPECT_TRUE(palmtone::waveDropPaths(nullptr).empty());
}
