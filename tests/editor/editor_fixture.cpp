#include "tests/editor/editor_fixture.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "plugin/text/text.hpp"

namespace editortest {

namespace fs = std::filesystem;

// ---- Host ----

std::vector<HostCall> Host::edits() const {
    std::vector<HostCall> out;
    for (const HostCall& c : calls)
        if (c.opcode == vst2::hostBeginEdit || c.opcode == vst2::hostAutomate ||
            c.opcode == vst2::hostEndEdit)
            out.push_back(c);
    return out;
}

// ---- FakeUi ----

void FakeUi::modal(const char* kind) {
    log_.modal.push_back(kind);
    if (duringModal) duringModal(kind);
}

void FakeUi::destroyWindow() {
    ++log_.windowsDestroyed;
    if (!editor) return;
    // WM_DESTROY reaches the window procedure, which wraps it like any message.
    editor->enter();
    editor->windowGone();
    EXPECT_FALSE(editor->leave()) << "the teardown must never free the editor itself";
}

int FakeUi::messageBox(const std::wstring& text, const wchar_t* caption, uint32_t style) {
    log_.boxes.push_back({text, caption ? caption : L"", style});
    modal("box");
    if (boxAnswers.empty()) return palmtone::box::idOk;
    const int answer = boxAnswers.front();
    boxAnswers.erase(boxAnswers.begin());
    return answer;
}

int32_t FakeUi::popupMenu(const palmtone::Menu& menu, Point at) {
    log_.menus.push_back({menu, at});
    modal("menu");
    return menuAnswer;
}

palmtone::OpenReply FakeUi::openWaveFiles() {
    modal("open");
    return openReply;
}

palmtone::FolderReply FakeUi::chooseFolder() {
    modal("folder");
    return folderReply;
}

bool FakeUi::chooseMidiPath(std::wstring& path) {
    log_.proposedNames.push_back(path);
    modal("save");
    if (savePath.empty()) return false;
    path = savePath;
    return true;
}

int32_t FakeUi::dragFile(const std::wstring& path) {
    log_.drags.push_back(path);
    modal("drag");
    return dragResult;
}

bool FakeUi::temporaryFolder(std::wstring& folder) {
    if (temporaryFolderPath.empty()) return false;
    folder = temporaryFolderPath;
    return true;
}

bool FakeUi::newGuidText(std::wstring& text) {
    if (guidFails) return false;
    // Braced 8-4-4-4-12 upper-case hexadecimal, a new one each time.
    ++guids_;
    wchar_t buffer[40];
    std::swprintf(buffer, 40, L"{%08X-0000-4000-8000-%012X}", 0xC0FFEE00u + guids_, 0x5EED0000u + guids_);
    text = buffer;
    return true;
}

// The temporary file in the target's folder, then a rename over the target: an
// old file is either replaced whole or left as it was.
bool FakeUi::writeReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    if (writesFail) return false;
    const std::string target = palmtone::utf8(path);
    const std::string part = target + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::remove(part.c_str());
            return false;
        }
    }
    if (std::rename(part.c_str(), target.c_str()) != 0) {
        std::remove(part.c_str());
        return false;
    }
    log_.written.push_back(path);
    return true;
}

bool FakeUi::writeNew(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    if (writesFail) return false;
    const int fd = ::open(palmtone::utf8(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (wrote != static_cast<ssize_t>(bytes.size())) return false;
    log_.written.push_back(path);
    return true;
}

// ---- EditorTest ----

EditorTest::EditorTest() : plugin(host.makePlugin()) {
    auto seam = std::make_unique<FakeUi>(log);
    ui = seam.get();
    editor = new Editor(plugin.get(), std::move(seam));
    ui->editor = editor;
    // The model never looks behind the handle; it only tells "a window" from "none".
    editor->window = reinterpret_cast<HWND__*>(static_cast<uintptr_t>(0x1000));
}

EditorTest::~EditorTest() {
    delete editor;
}

void EditorTest::handle(const std::function<void(Editor&)>& handler) {
    ASSERT_NE(editor, nullptr) << "the editor was freed already";
    Editor* e = editor;
    e->enter();
    handler(*e);
    if (e->leave()) {
        delete e;
        editor = nullptr;
        editorFreed = true;
    }
}

void EditorTest::paint() {
    handle([](Editor& e) { e.frame(0.0); });
}

Hit EditorTest::hitOf(HitType type, int value) {
    for (const Hit& h : editor->hits)
        if (h.type == type && h.value == value) return h;
    ADD_FAILURE() << "no hit of type " << type << " and value " << value;
    return Hit{};
}

Point EditorTest::centre(const Hit& hit) const {
    return {(hit.rect.left + hit.rect.right) / 2, (hit.rect.top + hit.rect.bottom) / 2};
}

void EditorTest::press(HitType type, int value) {
    paint();
    const Point at = centre(hitOf(type, value));
    handle([&](Editor& e) { e.buttonPressed(at); });
}

void EditorTest::release() {
    if (editor) handle([](Editor& e) { e.buttonReleased(); });
}

void EditorTest::hostCloses(bool instanceToo) {
    ASSERT_NE(editor, nullptr);
    // What closeEditor does: the window goes now; the editor is freed now only
    // when none of its handlers is running.
    if (editor->close()) {
        delete editor;
        editor = nullptr;
        editorFreed = true;
    }
    if (instanceToo) plugin.reset();
}

std::vector<InputEvent> EditorTest::pending() const {
    std::vector<InputEvent> out;
    for (uint32_t i = 0, n = plugin->uiEvents.size(); i < n; ++i)
        out.push_back(plugin->uiEvents.peek(i));
    return out;
}

void EditorTest::consume() {
    plugin->uiEvents.discard();
}

std::vector<Ev> EditorTest::takeEvents() {
    std::vector<Ev> out;
    for (const InputEvent& e : pending())
        out.push_back({e.status, e.data1, e.data2});
    consume();
    return out;
}

bool EditorTest::keyDown(int32_t key, bool repeat, bool ctrlOrAlt) {
    bool handled = false;
    handle([&](Editor& e) { handled = e.keyPressed(key, repeat, ctrlOrAlt); });
    return handled;
}

bool EditorTest::keyUp(int32_t key) {
    bool handled = false;
    handle([&](Editor& e) { handled = e.keyReleased(key); });
    return handled;
}

void EditorTest::runBlocks(int count, int32_t frames) {
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    float* outputs[2] = {left.data(), right.data()};
    for (int i = 0; i < count; ++i)
        plugin->process(outputs, frames);
}

// ---- takes ----

tamso::CapturedNote noteAt(double beats, int note, bool on, int velocity) {
    tamso::CapturedNote e;
    e.beats = beats;
    e.track = 1;
    e.note = static_cast<uint8_t>(note);
    e.channel = 0;
    e.velocity = on ? static_cast<uint8_t>(velocity) : 0;
    e.on = on;
    return e;
}

void setTake(Plugin& plugin, const std::vector<tamso::CapturedNote>& entries, int32_t state) {
    tamso::MidiCapture& take = plugin.capture;
    int32_t ons = 0;
    double end = 0.0;
    for (size_t i = 0; i < entries.size(); ++i) {
        take.entries[i] = entries[i];
        if (entries[i].on) ++ons;
        end = std::max(end, entries[i].beats);
    }
    take.entryCount = static_cast<int32_t>(entries.size());
    take.publishedNotes.store(ons);
    take.endBeats.store(end);
    take.state.store(state);
}

std::vector<tamso::CapturedNote> triad(double from, double to) {
    return {noteAt(from, 60, true), noteAt(from, 64, true), noteAt(from, 67, true),
            noteAt(to, 60, false),  noteAt(to, 64, false),  noteAt(to, 67, false)};
}

// ---- files ----

std::string fixture(const std::string& name) {
    return std::string(MODEL_FIXTURE_DIR) + "/" + name;
}

std::string scratchDir(const std::string& name) {
    const std::string dir = std::string(MODEL_SCRATCH_DIR) + "/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string testScratchDir(const std::string& prefix) {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& ch : name)
        if (ch == '/') ch = '_';
    return scratchDir(prefix + name);
}

std::wstring editorPath(const std::string& linuxPath) {
    std::wstring out = L"/";
    for (char c : linuxPath)
        out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

std::vector<uint8_t> readFile(const std::string& linuxPath) {
    std::ifstream in(linuxPath, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool exists(const std::string& linuxPath) {
    return fs::exists(linuxPath);
}

void copyFile(const std::string& from, const std::string& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

std::vector<std::string> filesIn(const std::string& linuxDir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(linuxDir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

palmtone::OpenReply openReplyFor(const std::wstring& folder, const std::vector<std::wstring>& names) {
    palmtone::OpenReply reply;
    reply.chosen = true;
    reply.buffer.assign(folder.begin(), folder.end());
    reply.buffer.push_back(L'\0');
    for (const std::wstring& name : names) {
        reply.buffer.insert(reply.buffer.end(), name.begin(), name.end());
        reply.buffer.push_back(L'\0');
    }
    reply.buffer.push_back(L'\0');
    reply.buffer.resize(reply.buffer.size() + 16, L'\0'); // the rest of the dialog's zeroed buffer
    return reply;
}

palmtone::OpenReply openReplyFor(const std::wstring& path) {
    return openReplyFor(path, {});
}

} // namespace editortest
