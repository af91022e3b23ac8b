#pragma once
// WAV files dropped on the editor by OLE drag and drop from any program, and
// the reading of WAV paths out of dropped data. UI thread only (OLE calls the
// target on the thread that registered it). Windows only.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace palmtone {

// The editor's drop target. It answers copy only for data holding a WAV path
// over a drop zone, and hands the paths over on a drop; the three callbacks
// connect it to the editor. It counts references atomically from 1 (the
// creator's) and deletes itself in Release when the count reaches zero, which
// may be after the editor is gone. No method lets an exception out.
class WaveDropTarget final : public IDropTarget {
  public:
    WaveDropTarget(std::function<bool(POINTL)> accept, std::function<void(bool)> hover,
                   std::function<void(std::vector<std::wstring>)> deliver);

    // Drops the editor's callbacks at once; from now on no point is a drop
    // zone, the highlight is left alone and nothing is delivered. The
    // reference count is untouched.
    void detach() noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    std::atomic<int32_t> refCount{1};
    bool acceptable = false; // the drag in progress holds a WAV path (decided at DragEnter)
    // Is this screen point over a drop zone; turn the highlight on or off; take
    // the dropped WAV paths. An empty one (after detach) is inert.
    std::function<bool(POINTL)> accept;
    std::function<void(bool)> hover;
    std::function<void(std::vector<std::wstring>)> deliver;

  private:
    ~WaveDropTarget() = default; // only Release deletes (callbacks go deliver, hover, accept)
    // Copy when allowed, accept(point) says yes and the drag holds a WAV path.
    DWORD answer(POINTL point, DWORD allowed);
    void light(bool on);
};

// The WAV paths of a file-drop list (WM_DROPFILES or CF_HDROP), in drop order,
// read within the block's own size; narrow names through the ANSI code page.
std::vector<std::wstring> waveDropPaths(HDROP drop);

// The WAV paths of dropped data: a file-drop list, else one path given as
// "FileNameW", else one as Unicode text (the first format holding a path wins).
std::vector<std::wstring> waveObjectPaths(IDataObject* data);

} // namespace palmtone
