// The file drag's COM object called directly, as a drop target and the drag
// loop call it: its two faces and their identity, reference counts, the formats
// it answers, the file-drop block it hands out, the format list, the drop
// source's answers, and dragMidiFile's failures with OLE left balanced.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "chords/midi_file_drag_win32.hpp"
#include "tests/chords/failing_allocations.hpp"

using chordstest::failNothrow;
using chordstest::failThrowing;
using chordstest::nothrowCalls;
using tamso::MidiFileDrag;

namespace {

// One object as dragMidiFile makes it; the test holds the creator's reference.
struct Drag {
    MidiFileDrag* object;
    explicit Drag(const std::wstring& path = L"C:\\Temp\\VELK_acordes_{x}.mid")
        : object(new MidiFileDrag(path)) {}
    ~Drag() {
        while (object->Release() > 0) {
        }
    }
    IDataObject* data() const { return object; }
    IDropSource* source() const { return object; }
};

FORMATETC hdrop(DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT, CLIPFORMAT format = CF_HDROP,
                LONG index = -1) {
    return FORMATETC{format, nullptr, aspect, index, tymed};
}

// Runs f on a new thread, which starts without COM or OLE.
template <class F> void onFreshThread(F f) {
    std::thread t(f);
    t.join();
}

} // namespace

TEST(MidiFileDrag, BothFacesShareOneIdentityAndCount) {
    Drag drag;
    const struct {
        const char* name;
        IUnknown* from;
        const IID* iid;
        void* expected; // null: E_NOINTERFACE
    } cases[] = {
        {"IUnknown from the data face", drag.data(), &IID_IUnknown, drag.data()},
        {"IUnknown from the source face", drag.source(), &IID_IUnknown, drag.data()},
        {"IDataObject from the source face", drag.source(), &IID_IDataObject, drag.data()},
        {"IDropSource from the data face", drag.data(), &IID_IDropSource, drag.source()},
        {"IDropSource from the source face", drag.source(), &IID_IDropSource, drag.source()},
        {"IDropTarget", drag.data(), &IID_IDropTarget, nullptr},
        {"IStream from the source face", drag.source(), &IID_IStream, nullptr},
    };
    ASSERT_NE(static_cast<void*>(drag.data()), static_cast<void*>(drag.source()));
    int32_t count = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        void* out = reinterpret_cast<void*>(uintptr_t(0xBAD));
        const HRESULT hr = c.from->QueryInterface(*c.iid, &out);
        EXPECT_EQ(out, c.expected);
        if (c.expected != nullptr) {
            EXPECT_EQ(hr, S_OK);
            ++count;
        } else {
            EXPECT_EQ(hr, E_NOINTERFACE);
        }
        EXPECT_EQ(drag.object->refs.load(), count);
    }
    EXPECT_EQ(drag.data()->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    // AddRef and Release answer the new count through either face.
    EXPECT_EQ(drag.source()->AddRef(), ULONG(count + 1));
    EXPECT_EQ(drag.data()->Release(), ULONG(count));
    EXPECT_EQ(drag.source()->Release(), ULONG(count - 1));
}

TEST(MidiFileDrag, AnswersOnlyFileDropsInGlobalMemoryForContent) {
    Drag drag;
    const struct {
        const char* name;
        FORMATETC format;
        HRESULT expected;
    } cases[] = {
        {"file drop in global memory", hdrop(), S_OK},
        {"global memory among other media", hdrop(TYMED_HGLOBAL | TYMED_ISTREAM | TYMED_FILE), S_OK},
        {"any index", hdrop(TYMED_HGLOBAL, DVASPECT_CONTENT, CF_HDROP, 3), S_OK},
        {"in a stream", hdrop(TYMED_ISTREAM), DV_E_FORMATETC},
        {"in a file", hdrop(TYMED_FILE), DV_E_FORMATETC},
        {"no medium", hdrop(TYMED_NULL), DV_E_FORMATETC},
        {"thumbnail aspect", hdrop(TYMED_HGLOBAL, DVASPECT_THUMBNAIL), DV_E_FORMATETC},
        {"icon aspect", hdrop(TYMED_HGLOBAL, DVASPECT_ICON), DV_E_FORMATETC},
        {"content and icon", hdrop(TYMED_HGLOBAL, DVASPECT_CONTENT | DVASPECT_ICON), DV_E_FORMATETC},
        {"Unicode text", hdrop(TYMED_HGLOBAL, DVASPECT_CONTENT, CF_UNICODETEXT), DV_E_FORMATETC},
        {"FileNameW",
         hdrop(TYMED_HGLOBAL, DVASPECT_CONTENT, CLIPFORMAT(RegisterClipboardFormatW(L"FileNameW"))),
         DV_E_FORMATETC},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FORMATETC format = c.format;
        EXPECT_EQ(drag.data()->QueryGetData(&format), c.expected);
        STGMEDIUM medium{};
        EXPECT_EQ(drag.data()->GetData(&format, &medium), c.expected);
        if (c.expected == S_OK) {
            EXPECT_EQ(medium.tymed, DWORD(TYMED_HGLOBAL));
            EXPECT_EQ(medium.pUnkForRelease, nullptr);
            ReleaseStgMedium(&medium);
        } else {
            EXPECT_EQ(medium.hGlobal, nullptr);
        }
    }
    FORMATETC format = hdrop();
    EXPECT_EQ(drag.data()->QueryGetData(nullptr), DV_E_FORMATETC);
    STGMEDIUM medium{};
    EXPECT_EQ(drag.data()->GetData(nullptr, &medium), DV_E_FORMATETC);
    EXPECT_EQ(drag.data()->GetData(&format, nullptr), E_POINTER);
    EXPECT_EQ(drag.data()->GetDataHere(&format, &medium), E_NOTIMPL);
    EXPECT_EQ(drag.data()->SetData(&format, &medium, FALSE), E_NOTIMPL);
}

TEST(MidiFileDrag, HandsOutANewFileDropBlockEachTime) {
    const std::wstring paths[] = {
        L"C:\\t.mid",
        L"C:\\Users\\Mar\u00eda\\AppData\\Local\\Temp\\VELK_acordes_{6B29FC40-CA47-1067-B31D-00DD010662DA}."
        L"mid",
        L"\\\\server\\share\\\U0001F3B9.mid",
        L"C:\\" + std::wstring(300, L'd') + L"\\VELK_acordes.mid",
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.size());
        Drag drag(path);
        FORMATETC format = hdrop();
        STGMEDIUM first{}, second{};
        ASSERT_EQ(drag.data()->GetData(&format, &first), S_OK);
        ASSERT_EQ(drag.data()->GetData(&format, &second), S_OK);
        EXPECT_NE(first.hGlobal, second.hGlobal);

        const size_t units = path.size();
        ASSERT_EQ(GlobalSize(first.hGlobal), 2 * units + 24);
        const auto* bytes = static_cast<const uint8_t*>(GlobalLock(first.hGlobal));
        ASSERT_NE(bytes, nullptr);
        DROPFILES header;
        std::memcpy(&header, bytes, sizeof header);
        EXPECT_EQ(header.pFiles, 20u);
        EXPECT_EQ(header.pt.x, 0);
        EXPECT_EQ(header.pt.y, 0);
        EXPECT_EQ(header.fNC, FALSE);
        EXPECT_EQ(header.fWide, 1);
        EXPECT_EQ(std::memcmp(bytes + 20, path.c_str(), 2 * units), 0);
        const uint8_t zeros[4] = {};
        EXPECT_EQ(std::memcmp(bytes + 20 + 2 * units, zeros, 4), 0);
        GlobalUnlock(first.hGlobal);

        // The platform reads it back as one file.
        auto drop = static_cast<HDROP>(second.hGlobal);
        ASSERT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 1u);
        ASSERT_EQ(DragQueryFileW(drop, 0, nullptr, 0), UINT(units));
        std::wstring read(units + 1, L'\0');
        DragQueryFileW(drop, 0, &read[0], UINT(units + 1));
        read.resize(units);
        EXPECT_EQ(read, path);
        ReleaseStgMedium(&first);
        ReleaseStgMedium(&second);
    }
}

TEST(MidiFileDrag, ListsItsOneFormatForReadingOnly) {
    Drag drag;
    IEnumFORMATETC* list = nullptr;
    ASSERT_EQ(drag.data()->EnumFormatEtc(DATADIR_GET, &list), S_OK);
    ASSERT_NE(list, nullptr);
    FORMATETC got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(list->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    EXPECT_EQ(got[0].ptd, nullptr);
    EXPECT_EQ(got[0].dwAspect, DWORD(DVASPECT_CONTENT));
    EXPECT_EQ(got[0].lindex, -1);
    EXPECT_EQ(got[0].tymed, DWORD(TYMED_HGLOBAL));
    EXPECT_EQ(list->Next(1, got, &fetched), S_FALSE);
    list->Release();

    list = reinterpret_cast<IEnumFORMATETC*>(uintptr_t(0xBAD));
    EXPECT_EQ(drag.data()->EnumFormatEtc(DATADIR_SET, &list), E_NOTIMPL);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(drag.data()->EnumFormatEtc(DATADIR_GET, nullptr), E_POINTER);
    EXPECT_EQ(drag.data()->EnumFormatEtc(DATADIR_SET, nullptr), E_POINTER);
}

TEST(MidiFileDrag, RefusesAdviseAndKeepsFormatsCanonical) {
    Drag drag;
    FORMATETC format = hdrop();
    DWORD connection = 0;
    IEnumSTATDATA* advises = nullptr;
    EXPECT_EQ(drag.data()->DAdvise(&format, 0, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(drag.data()->DUnadvise(1), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(drag.data()->EnumDAdvise(&advises), OLE_E_ADVISENOTSUPPORTED);

    FORMATETC out = hdrop();
    out.ptd = reinterpret_cast<DVTARGETDEVICE*>(uintptr_t(0xBAD));
    EXPECT_EQ(drag.data()->GetCanonicalFormatEtc(&format, &out), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(out.ptd, nullptr);
    EXPECT_EQ(drag.data()->GetCanonicalFormatEtc(&format, nullptr), DATA_S_SAMEFORMATETC);
}

TEST(MidiFileDrag, EndsTheDragOnEscapeOrRelease) {
    Drag drag;
    const struct {
        BOOL escape;
        DWORD keys;
        HRESULT expected;
    } cases[] = {
        {TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL},
        {TRUE, 0, DRAGDROP_S_CANCEL},
        {FALSE, MK_LBUTTON, S_OK},
        {FALSE, MK_LBUTTON | MK_SHIFT | MK_CONTROL, S_OK},
        {FALSE, 0, DRAGDROP_S_DROP},
        {FALSE, MK_RBUTTON, DRAGDROP_S_DROP},
        {FALSE, MK_SHIFT, DRAGDROP_S_DROP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.escape << " " << c.keys);
        EXPECT_EQ(drag.source()->QueryContinueDrag(c.escape, c.keys), c.expected);
    }
    for (DWORD effect : {DROPEFFECT_NONE, DROPEFFECT_COPY, DROPEFFECT_MOVE})
        EXPECT_EQ(drag.source()->GiveFeedback(effect), DRAGDROP_S_USEDEFAULTCURSORS);
}

// OLE is balanced when a fresh OleInitialize on the thread is the first one.
TEST(DragMidiFile, ReportsAnExhaustedAllocationAndLeavesOleBalanced) {
    const struct {
        const char* name;
        std::atomic<bool>* fail;
        std::wstring path;
    } cases[] = {
        {"the object allocation fails", &failNothrow, L"C:\\a.mid"},
        // The object is allocated first, then copying the long path throws.
        {"the path copy throws", &failThrowing, L"C:\\Temp\\" + std::wstring(200, L'x') + L".mid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HRESULT dragged = S_OK, afterwards = S_OK;
        int nothrowBefore = 0, nothrowAfter = 0;
        onFreshThread([&] {
            nothrowBefore = nothrowCalls;
            *c.fail = true;
            dragged = tamso::dragMidiFile(c.path);
            *c.fail = false;
            nothrowAfter = nothrowCalls;
            afterwards = OleInitialize(nullptr);
            if (SUCCEEDED(afterwards)) OleUninitialize();
        });
        EXPECT_EQ(dragged, E_OUTOFMEMORY);
        EXPECT_EQ(nothrowAfter - nothrowBefore, 1);
        EXPECT_EQ(afterwards, S_OK);
    }
}

TEST(DragMidiFile, ReturnsAFailedInitialisationAtOnce) {
    HRESULT dragged = S_OK;
    int nothrowBefore = 0, nothrowAfter = 0;
    onFreshThread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        nothrowBefore = nothrowCalls;
        dragged = tamso::dragMidiFile(L"C:\\a.mid");
        nothrowAfter = nothrowCalls;
        CoUninitialize();
    });
    EXPECT_EQ(dragged, RPC_E_CHANGED_MODE);
    EXPECT_EQ(nothrowAfter, nothrowBefore); // no object was made
}
