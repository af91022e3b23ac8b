// The take transport as the editor drives it: the space bar and the record,
// pause, stop and new-take buttons in every take state, the confirmation
// before a take is replaced, the count-in handshake, and the pressed look
// after a box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/editor/editor_fixture.hpp"

namespace {

using namespace palmtone;
using namespace tamso;
using editortest::EditorTest;

constexpr int32_t vkSpace = 0x20;
const std::wstring stopFirst = L"Pulsa Detener antes de empezar otra toma.";
const std::wstring replaceTake = L"La nueva toma reemplaza la anterior. Guarda o arrastra su MIDI antes de "
                                 L"continuar.\n\n¿Empezar otra toma?";

enum class Act { space, record, pause, stop, newTake };
// The count-in command a case leaves in the request.
constexpr CountIn::Command none = CountIn::Command::none;
constexpr CountIn::Command start = CountIn::Command::start;
constexpr CountIn::Command cancel = CountIn::Command::cancel;

class Transport : public EditorTest {
  protected:
    void act(Act a) {
        switch (a) {
        case Act::space: handle([](Editor& e) { EXPECT_TRUE(e.keyPressed(vkSpace, false, false)); }); break;
        case Act::record: click(Record); break;
        case Act::pause: click(PauseResume); break;
        case Act::stop: click(Stop); break;
        case Act::newTake: click(NewTake); break;
        }
    }
    bool countInStarted() const {
        return plugin->countIn.secondsLeft.load() == 3 && plugin->countIn.active.load() &&
               plugin->countIn.request.load() == start;
    }
};

TEST_F(Transport, EveryActionInEveryTakeState) {
    struct Case {
        const char* name;
        Act act;
        bool countIn;
        int state;
        int notes;
        std::vector<int> answers; // of the boxes shown, in order
        int stateAfter;
        CountIn::Command request; // the count-in request afterwards
        std::vector<std::wstring> boxes;
    };
    const std::vector<int> ok = {box::idOk}; // the answer that confirms
    const Case cases[] = {
        // The space bar.
        {"space in the count-in", Act::space, true, Idle, 0, {}, Idle, cancel, {}},
        {"space in the count-in after a take", Act::space, true, Finished, 4, {}, Finished, cancel, {}},
        {"space while recording", Act::space, false, Recording, 4, {}, PauseRequested, none, {}},
        {"space while paused", Act::space, false, Paused, 4, {}, ResumeRequested, none, {}},
        {"space idle", Act::space, false, Idle, 0, {}, Idle, start, {}},
        {"space after an empty take", Act::space, false, Finished, 0, {}, Finished, start, {}},
        {"space after a take, OK", Act::space, false, Finished, 4, ok, Finished, start, {replaceTake}},
        {"space after a full take, Cancel",
         Act::space,
         false,
         Full,
         4,
         {box::idCancel},
         Full,
         none,
         {replaceTake}},
        {"space, start requested", Act::space, false, StartRequested, 0, {}, StartRequested, none, {}},
        {"space, stop requested", Act::space, false, StopRequested, 4, {}, StopRequested, none, {}},
        {"space, pause requested", Act::space, false, PauseRequested, 4, {}, PauseRequested, none, {}},
        {"space, resume requested", Act::space, false, ResumeRequested, 4, {}, ResumeRequested, none, {}},
        // "Grabar".
        {"record while recording", Act::record, false, Recording, 4, {}, Recording, none, {}},
        {"record, start requested", Act::record, false, StartRequested, 0, {}, StartRequested, none, {}},
        {"record while paused resumes", Act::record, false, Paused, 4, {}, ResumeRequested, none, {}},
        {"record, stop requested", Act::record, false, StopRequested, 4, {}, StopRequested, none, {}},
        {"record, pause requested", Act::record, false, PauseRequested, 4, {}, PauseRequested, none, {}},
        {"record idle", Act::record, false, Idle, 0, {}, Idle, start, {}},
        {"record after a take, OK", Act::record, false, Finished, 4, ok, Finished, start, {replaceTake}},
        {"record in the count-in (disabled)", Act::record, true, Idle, 0, {}, Idle, none, {}},
        // "Nueva toma".
        {"new take while recording", Act::newTake, false, Recording, 4, {}, Recording, none, {stopFirst}},
        {"new take while paused", Act::newTake, false, Paused, 4, {}, Paused, none, {stopFirst}},
        {"new take, start requested",
         Act::newTake,
         false,
         StartRequested,
         0,
         {},
         StartRequested,
         none,
         {stopFirst}},
        {"new take, resume requested",
         Act::newTake,
         false,
         ResumeRequested,
         4,
         {},
         ResumeRequested,
         none,
         {stopFirst}},
        {"new take idle", Act::newTake, false, Idle, 0, {}, Idle, start, {}},
        {"new take after a full take, OK", Act::newTake, false, Full, 4, ok, Full, start, {replaceTake}},
        {"new take in the count-in (disabled)", Act::newTake, true, Idle, 0, {}, Idle, none, {}},
        // "Pausa" / "Continuar".
        {"pause while recording", Act::pause, false, Recording, 4, {}, PauseRequested, none, {}},
        {"continue while paused", Act::pause, false, Paused, 4, {}, ResumeRequested, none, {}},
        {"pause idle", Act::pause, false, Idle, 0, {}, Idle, none, {}},
        {"pause after a take", Act::pause, false, Finished, 4, {}, Finished, none, {}},
        {"pause in the count-in (disabled)", Act::pause, true, Paused, 4, {}, Paused, none, {}},
        // "Detener".
        {"stop with nothing running", Act::stop, false, Idle, 0, {}, Idle, cancel, {}},
        {"stop in the count-in", Act::stop, true, Idle, 0, {}, Idle, cancel, {}},
        {"stop, start requested", Act::stop, false, StartRequested, 0, {}, Idle, cancel, {}},
        {"stop while recording", Act::stop, false, Recording, 4, {}, StopRequested, cancel, {}},
        {"stop, pause requested", Act::stop, false, PauseRequested, 4, {}, StopRequested, cancel, {}},
        {"stop while paused", Act::stop, false, Paused, 4, {}, Finished, cancel, {}},
        {"stop, resume requested", Act::stop, false, ResumeRequested, 4, {}, StopRequested, cancel, {}},
        {"stop after a take", Act::stop, false, Finished, 4, {}, Finished, cancel, {}},
        {"stop after a full take", Act::stop, false, Full, 4, {}, Full, cancel, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        plugin->capture.state.store(k.state);
        plugin->capture.publishedNotes.store(k.notes);
        plugin->countIn.active.store(k.countIn);
        plugin->countIn.secondsLeft.store(k.countIn ? 2 : 0);
        plugin->countIn.request.store(none);
        log.boxes.clear();
        ui->boxAnswers = k.answers;

        act(k.act);

        EXPECT_EQ(plugin->capture.state.load(), k.stateAfter);
        EXPECT_EQ(plugin->countIn.request.load(), k.request);
        if (k.request == start) {
            EXPECT_TRUE(countInStarted());
        } else {
            EXPECT_EQ(plugin->countIn.secondsLeft.load(), k.countIn ? 2 : 0);
        }
        ASSERT_EQ(log.boxes.size(), k.boxes.size());
        for (size_t i = 0; i < k.boxes.size(); ++i) {
            EXPECT_EQ(log.boxes[i].text, k.boxes[i]);
            const bool confirm = k.boxes[i] == replaceTake;
            EXPECT_EQ(log.boxes[i].caption, confirm ? L"VELK - Nueva toma" : L"VELK");
            EXPECT_EQ(log.boxes[i].style, confirm ? 0x21u : 0x0u);
        }
        EXPECT_TRUE(pending().empty()) << "the transport sends no notes";
    }
}

TEST_F(Transport, CancelKeepsTheTakeAndOkStartsTheCountIn) {
    editortest::setTake(*plugin, editortest::triad());
    editor->overview[3] = 0x091;
    editor->lastColumn = 12;
    editor->lastState = Finished;

    ui->boxAnswers = {box::idCancel};
    press(Record);
    EXPECT_EQ(editor->pressedType, -1) << "the box took the button release";
    release();
    EXPECT_EQ(plugin->capture.state.load(), Finished);
    EXPECT_EQ(plugin->capture.entryCount, 6);
    EXPECT_EQ(editor->overview[3], 0x091);
    EXPECT_EQ(editor->lastColumn, 12);
    EXPECT_FALSE(plugin->countIn.active.load());
    EXPECT_EQ(plugin->countIn.request.load(), none);
    EXPECT_EQ(plugin->countIn.secondsLeft.load(), 0);

    ui->boxAnswers = {box::idOk};
    press(Record);
    EXPECT_EQ(editor->pressedType, -1);
    EXPECT_TRUE(countInStarted());
    for (uint16_t column : editor->overview)
        EXPECT_EQ(column, 0);
    EXPECT_EQ(editor->lastColumn, -1);
    EXPECT_EQ(editor->lastState, Finished) << "the picture's state memory stays";
    EXPECT_EQ(plugin->capture.state.load(), Finished) << "the audio thread starts the take";
    EXPECT_EQ(log.boxes.size(), 2u);
}

TEST_F(Transport, PressedLookLastsUntilTheReleaseOrABox) {
    press(Stop);
    EXPECT_EQ(editor->pressedType, Stop);
    EXPECT_EQ(editor->pressedValue, 0);
    paint();
    EXPECT_EQ(hitOf(Stop).rect.top, 503) << "drawn one pixel lower";
    release();
    EXPECT_EQ(editor->pressedType, -1);

    plugin->capture.state.store(Recording);
    press(NewTake);
    EXPECT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(editor->pressedType, -1) << "a box leaves no button pressed";
    paint();
    EXPECT_EQ(hitOf(NewTake).rect.top, 502);
    release();

    press(Guide);
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_EQ(editor->pressedType, -1);
    EXPECT_EQ(log.boxes[1].caption, L"VELK beta - Guia");
    EXPECT_EQ(log.boxes[1].style, 0x40u);
    const std::wstring& guide = log.boxes[1].text;
    EXPECT_EQ(guide.size(), 1716u);
    EXPECT_EQ(guide.substr(0, 32), L"UNA TECLA = UN ACORDE COMPLETO\n\n");
    EXPECT_NE(guide.find(L"\n\nONE SHOTS\nAnadir WAV agrega"), std::wstring::npos);
    EXPECT_NE(guide.find(L"\n\nGRABACION\nPulsa Grabar"), std::wstring::npos);
    const std::wstring end =
        L"La barra espaciadora alterna grabacion y pausa cuando esta ventana tiene el foco.";
    ASSERT_GE(guide.size(), end.size());
    EXPECT_EQ(guide.substr(guide.size() - end.size()), end);
}

TEST_F(Transport, SpaceBarRunsATakeThroughTheAudioThread) {
    auto state = [&] { return plugin->capture.state.load(); };
    handle([](Editor& e) { e.keyPressed(vkSpace, false, false); });
    EXPECT_TRUE(countInStarted());
    runBlocks(1);
    EXPECT_EQ(plugin->countIn.request.load(), none) << "the audio thread took the start";
    EXPECT_TRUE(plugin->countIn.active.load());
    paint();
    EXPECT_EQ(editor->lastState, -2);
    EXPECT_FALSE(hitOf(Record).enabled);

    runBlocks(282); // three seconds at 48 kHz
    EXPECT_FALSE(plugin->countIn.active.load());
    EXPECT_EQ(state(), Recording);

    handle([](Editor& e) { e.keyPressed('S', false, false); });
    runBlocks(10);
    handle([](Editor& e) { e.keyReleased('S'); });
    runBlocks(10);
    EXPECT_EQ(plugin->capture.publishedNotes.load(), 5);

    handle([](Editor& e) { e.keyPressed(vkSpace, false, false); });
    EXPECT_EQ(state(), PauseRequested);
    runBlocks(1);
    EXPECT_EQ(state(), Paused);
    const double pausedAt = plugin->capture.endBeats.load();
    runBlocks(20);
    EXPECT_EQ(plugin->capture.endBeats.load(), pausedAt) << "a pause adds no time";

    handle([](Editor& e) { e.keyPressed(vkSpace, false, false); });
    EXPECT_EQ(state(), ResumeRequested);
    runBlocks(1);
    EXPECT_EQ(state(), Recording);

    click(Stop);
    EXPECT_EQ(state(), StopRequested);
    runBlocks(1);
    EXPECT_EQ(state(), Finished);
    paint();
    EXPECT_TRUE(hitOf(SaveMidi).enabled);
    EXPECT_TRUE(hitOf(DragMidi, 1).enabled);
}

} // namespace
