#pragma once
// Dragging one written file out of the plug-in's window into another program,
// such as the host's piano roll or the shell: a modal OLE drag loop with one
// small COM object that is both the data object (the file as a file-drop list)
// and the drop source (the mouse and Escape decide when the drag ends).
// UI thread only. Windows only.
#include <windows.h>

#include <ole2.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace tamso {

// The data object and drop source of one drag. It counts references
// atomically from 1 and deletes itself when the count reaches zero, which may
// be after the drag when a drop target still holds it. No method throws.
class MidiFileDrag final : public IDataObject, public IDropSource {
  public:
    explicit MidiFileDrag(std::wstring path) noexcept;

    // IUnknown, shared by both faces: IUnknown and IDataObject give the
    // IDataObject face, IDropSource the IDropSource face.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDataObject: only CF_HDROP, for content, in global memory.
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                      DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** out) override;

    // IDropSource.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

    std::atomic<int32_t> refs{1};
    std::wstring path; // the full path of the file offered
    FORMATETC format;  // the one format offered: CF_HDROP, content, -1, TYMED_HGLOBAL

  private:
    ~MidiFileDrag() = default; // only Release deletes
};

// Runs the drag loop for the file at path (copy only) and returns its code:
// DRAGDROP_S_DROP or DRAGDROP_S_CANCEL, or a failure code (negative). OLE is
// initialised and uninitialised around the loop; the file is left in place.
HRESULT dragMidiFile(const std::wstring& path) noexcept;

} // namespace tamso
