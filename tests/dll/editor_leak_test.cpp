// A thousand opens and closes of the built DLL's editor, painted now and then,
// leave nothing behind: every GDI object, device context, window, timer, class
// registration, OLE initialisation and drop registration the DLL makes is
// undone. The DLL's own import table is patched to count the pairs (Wine's
// GetGuiResources always answers 0, so it is checked too but proves nothing here).
#include <windows.h>

#include <map>
#include <string>

#include "tests/dll/plugin_fixture.hpp"
#include "tools/vst-host/editor_frame.hpp"
#include "tools/vst-host/import_patch.hpp"

namespace dlltest {
namespace {

// Each import with the resource it makes ("+") or undoes ("-").
const std::vector<vsthost::Watched>& resourceCalls() {
    static const std::vector<vsthost::Watched> table = {
        {"CreateFontW", "+gdi object"},
        {"CreateSolidBrush", "+gdi object"},
        {"CreatePen", "+gdi object"},
        {"CreateCompatibleBitmap", "+gdi object"},
        {"DeleteObject", "-gdi object"},
        {"CreateCompatibleDC", "+memory dc"},
        {"DeleteDC", "-memory dc"},
        {"GetDC", "+screen dc"},
        {"ReleaseDC", "-screen dc"},
        {"BeginPaint", "+paint"},
        {"EndPaint", "-paint"},
        {"CreateWindowExW", "+window"},
        {"DestroyWindow", "-window"},
        {"SetTimer", "+timer"},
        {"KillTimer", "-timer"},
        {"RegisterClassExW", "+class"},
        {"UnregisterClassW", "-class"},
        {"OleInitialize", "+ole"},
        {"OleUninitialize", "-ole"},
        {"RegisterDragDrop", "+drop target"},
        {"RevokeDragDrop", "-drop target"},
        {"DragAcceptFiles", "=shell drops"},
    };
    return table;
}

TEST(EditorLeaks, AThousandOpensAndClosesLeaveNothingBehind) {
    vsthost::Host host(library());
    host.start();
    host.keepAudio(false);
    vsthost::EditorFrame frame(host);
    vsthost::ImportCounter counter(vsthost::moduleOf(reinterpret_cast<const void*>(library().entry())),
                                   resourceCalls());
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);

    std::vector<uint64_t> calls;
    vsthost::countDuring(counter, calls, [&] {
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(frame.open(), 1) << "open " << i;
            if (i % 50 == 0) {
                vsthost::sendKey(frame.editor(), WM_KEYDOWN, 'A');
                UpdateWindow(frame.editor());
                host.process(512);
            }
            ASSERT_EQ(frame.close(), 1);
        }
        frame.drain();
    });

    std::map<std::string, int64_t> balance, made;
    for (size_t i = 0; i < counter.size(); ++i) {
        const std::string kind = counter.slot(i).kind;
        const int64_t n = static_cast<int64_t>(calls[i]);
        if (kind[0] == '+') {
            balance[kind.substr(1)] += n;
            made[kind.substr(1)] += n;
        } else if (kind[0] == '-') {
            balance[kind.substr(1)] -= n;
        }
    }
    // Every open makes each of these at least once; the paints (one open in 50) the rest.
    const std::map<std::string, int64_t> least = {
        {"gdi object", 1000}, {"screen dc", 1000},   {"window", 1000},  {"timer", 1000}, {"class", 1000},
        {"ole", 1000},        {"drop target", 1000}, {"memory dc", 20}, {"paint", 20}};
    for (const auto& [resource, minimum] : least) {
        EXPECT_GE(made[resource], minimum) << resource;
        EXPECT_EQ(balance[resource], 0)
            << resource << " left behind: " << vsthost::describeCalls(counter, calls);
    }
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
}

} // namespace
} // namespace dlltest
