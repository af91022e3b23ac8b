#include "editor/win32/wave_drop_target_win32.hpp"

#include "editor/drop_paths.hpp"

namespace palmtone {

namespace {

// A locked global block, unlocked however the reading ends.
class Locked {
  public:
    explicit Locked(HGLOBAL block) noexcept : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
    ~Locked() {
        if (data_ != nullptr) GlobalUnlock(block_);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    const uint8_t* bytes() const noexcept { return static_cast<const uint8_t*>(data_); }

  private:
    HGLOBAL block_;
    void* data_;
};

// A storage medium handed to us by GetData, released however the reading ends.
class Medium {
  public:
    Medium() noexcept { ZeroMemory(&medium, sizeof medium); }
    ~Medium() {
        if (filled) ReleaseStgMedium(&medium);
    }
    Medium(const Medium&) = delete;
    Medium& operator=(const Medium&) = delete;
    bool get(IDataObject* data, CLIPFORMAT format) noexcept {
        FORMATETC request{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        filled = SUCCEEDED(data->GetData(&request, &medium));
        return filled;
    }
    // The global block of the medium, or null when it is held in another way.
    HGLOBAL block() const noexcept { return medium.tymed == TYMED_HGLOBAL ? medium.hGlobal : nullptr; }

  private:
    STGMEDIUM medium;
    bool filled = false;
};

// Narrow names of a file-drop list are in the ANSI code page.
std::wstring fromAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(size_t(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), &text[0], length) != length)
        return {};
    return text;
}

// The one WAV path of a text block, or empty.
std::wstring textPath(HGLOBAL block) {
    if (block == nullptr) return {};
    const SIZE_T size = GlobalSize(block);
    if (size < minTextDropBytes || size > maxTextDropBytes) return {};
    const Locked locked(block);
    if (locked.bytes() == nullptr) return {};
    return textDropPath(locked.bytes(), size);
}

} // namespace

std::vector<std::wstring> waveDropPaths(HDROP drop) {
    if (drop == nullptr) return {};
    const SIZE_T size = GlobalSize(drop);
    if (size < minFileDropBytes || size > maxFileDropBytes) return {};
    const Locked locked(drop);
    if (locked.bytes() == nullptr) return {};
    return fileDropPaths(locked.bytes(), size, fromAnsi);
}

std::vector<std::wstring> waveObjectPaths(IDataObject* data) {
    if (data == nullptr) return {};
    {
        Medium medium;
        if (medium.get(data, CF_HDROP)) {
            std::vector<std::wstring> paths = waveDropPaths(static_cast<HDROP>(medium.block()));
            if (!paths.empty()) return paths;
        }
    }
    const UINT fileName = RegisterClipboardFormatW(L"FileNameW");
    for (const UINT format : {fileName, UINT(CF_UNICODETEXT)}) {
        if (format == 0) continue;
        Medium medium;
        if (!medium.get(data, CLIPFORMAT(format))) continue;
        std::wstring path = textPath(medium.block());
        if (!path.empty()) return {std::move(path)};
    }
    return {};
}

WaveDropTarget::WaveDropTarget(std::function<bool(POINTL)> accept, std::function<void(bool)> hover,
                               std::function<void(std::vector<std::wstring>)> deliver)
    : accept(std::move(accept)), hover(std::move(hover)), deliver(std::move(deliver)) {}

void WaveDropTarget::detach() noexcept {
    acceptable = false;
    accept = nullptr;
    hover = nullptr;
    deliver = nullptr;
}

HRESULT WaveDropTarget::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDropTarget)) return E_NOINTERFACE;
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
}

ULONG WaveDropTarget::AddRef() {
    return ULONG(refCount.fetch_add(1) + 1);
}

ULONG WaveDropTarget::Release() {
    const int32_t left = refCount.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return ULONG(left);
}

DWORD WaveDropTarget::answer(POINTL point, DWORD allowed) {
    const bool copy = acceptable && accept && accept(point) && (allowed & DROPEFFECT_COPY) != 0;
    return copy ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

void WaveDropTarget::light(bool on) {
    if (hover) hover(on);
}

HRESULT WaveDropTarget::DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect) {
    if (effect == nullptr) return E_POINTER;
    try {
        acceptable = !waveObjectPaths(data).empty();
        *effect = answer(point, *effect);
        light(*effect == DROPEFFECT_COPY);
    } catch (...) {
        acceptable = false;
        *effect = DROPEFFECT_NONE;
    }
    return S_OK;
}

HRESULT WaveDropTarget::DragOver(DWORD, POINTL point, DWORD* effect) {
    if (effect == nullptr) return E_POINTER;
    try {
        *effect = answer(point, *effect);
        light(*effect == DROPEFFECT_COPY);
    } catch (...) {
        *effect = DROPEFFECT_NONE;
    }
    return S_OK;
}

HRESULT WaveDropTarget::DragLeave() {
    acceptable = false;
    try {
        light(false);
    } catch (...) {
    }
    return S_OK;
}

HRESULT WaveDropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) {
    if (effect == nullptr) return E_POINTER;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    acceptable = false;
    try {
        const bool zone = accept && accept(point);
        light(false);
        if (!zone || (allowed & DROPEFFECT_COPY) == 0) return S_OK;
        // The data is read again: what DragEnter saw is not reused.
        std::vector<std::wstring> paths = waveObjectPaths(data);
        if (paths.empty() || !deliver) return S_OK;
        deliver(std::move(paths));
        *effect = DROPEFFECT_COPY;
    } catch (...) {
        *effect = DROPEFFECT_NONE;
    }
    return S_OK;
}

} // namespace palmtone
