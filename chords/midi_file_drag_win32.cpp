#include "chords/midi_file_drag_win32.hpp"

#include <shlobj.h>

#include <cstddef>
#include <cstring>
#include <new>

namespace tamso {

namespace {

// The header of a file-drop list, then the path and its NUL, then the list's NUL.
constexpr size_t listOffset = sizeof(DROPFILES);
constexpr size_t wideFlagOffset = offsetof(DROPFILES, fWide);

bool offered(const FORMATETC* format) noexcept {
    return format != nullptr && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) != 0 &&
           format->dwAspect == DVASPECT_CONTENT;
}

void put32(uint8_t* at, uint32_t value) noexcept {
    std::memcpy(at, &value, sizeof value);
}

} // namespace

MidiFileDrag::MidiFileDrag(std::wstring path) noexcept
    : path(std::move(path)), format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL} {}

HRESULT MidiFileDrag::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
        *out = static_cast<IDataObject*>(this);
    } else if (IsEqualIID(iid, IID_IDropSource)) {
        *out = static_cast<IDropSource*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG MidiFileDrag::AddRef() {
    return ULONG(refs.fetch_add(1) + 1);
}

ULONG MidiFileDrag::Release() {
    const int32_t left = refs.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return ULONG(left);
}

HRESULT MidiFileDrag::GetData(FORMATETC* request, STGMEDIUM* medium) {
    if (medium == nullptr) return E_POINTER;
    if (!offered(request)) return DV_E_FORMATETC;
    const size_t units = path.size();
    if (units > (SIZE_MAX - listOffset - 4) / 2) return E_OUTOFMEMORY;
    const size_t bytes = listOffset + 2 * units + 4;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (block == nullptr) return E_OUTOFMEMORY;
    auto* data = static_cast<uint8_t*>(GlobalLock(block));
    if (data == nullptr) {
        GlobalFree(block);
        return E_OUTOFMEMORY;
    }
    // The zero fill gives the point, the non-client flag and both NULs.
    put32(data, uint32_t(listOffset));
    put32(data + wideFlagOffset, 1);
    std::memcpy(data + listOffset, path.c_str(), 2 * units);
    GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT MidiFileDrag::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT MidiFileDrag::QueryGetData(FORMATETC* request) {
    return offered(request) ? S_OK : DV_E_FORMATETC;
}

HRESULT MidiFileDrag::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out != nullptr) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT MidiFileDrag::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
    return E_NOTIMPL;
}

HRESULT MidiFileDrag::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return SHCreateStdEnumFmtEtc(1, &format, out);
}

HRESULT MidiFileDrag::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT MidiFileDrag::DUnadvise(DWORD) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT MidiFileDrag::EnumDAdvise(IEnumSTATDATA**) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT MidiFileDrag::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    if (escapePressed) return DRAGDROP_S_CANCEL;
    if (keyState & MK_LBUTTON) return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT MidiFileDrag::GiveFeedback(DWORD) {
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

HRESULT dragMidiFile(const std::wstring& path) noexcept {
    const HRESULT initialised = OleInitialize(nullptr);
    if (FAILED(initialised)) return initialised;
    // Nothing may throw between here and OleUninitialize: copying the path and
    // making the object report an exhausted allocation instead.
    MidiFileDrag* drag = nullptr;
    try {
        drag = new (std::nothrow) MidiFileDrag(std::wstring(path));
    } catch (...) {
        drag = nullptr;
    }
    if (drag == nullptr) {
        OleUninitialize();
        return E_OUTOFMEMORY;
    }
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = DoDragDrop(static_cast<IDataObject*>(drag), static_cast<IDropSource*>(drag),
                                      DROPEFFECT_COPY, &effect);
    drag->Release();
    OleUninitialize();
    return result;
}

} // namespace tamso
