#pragma once
// The VST 2.4 host interface as this plug-in uses it on 64-bit Windows: the effect
// record, the host's event lists and MIDI event records, and the two fields of the
// time-information block that are read. Declared here from the layouts the plug-in
// relies on; every offset is checked at compile time.
#include <cstddef>
#include <cstdint>

namespace vst2 {

struct Effect;

using HostCallback = intptr_t (*)(Effect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float option);
using DispatcherProc = intptr_t (*)(Effect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                    float option);
using ProcessProc = void (*)(Effect* effect, float** inputs, float** outputs, int32_t frames);
using ProcessDoubleProc = void (*)(Effect* effect, double** inputs, double** outputs, int32_t frames);
using SetParameterProc = void (*)(Effect* effect, int32_t index, float value);
using GetParameterProc = float (*)(Effect* effect, int32_t index);

constexpr int32_t effectMagic = 0x56737450; // "VstP"

enum EffectFlags : int32_t {
    hasEditor = 0x1,
    canReplacing = 0x10,
    programChunks = 0x20,
    isSynth = 0x100,
};

struct Effect {
    int32_t magic;
    int32_t gap0;
    DispatcherProc dispatcher;
    ProcessProc process; // deprecated accumulating call
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    int32_t gap1;
    intptr_t reserved1;
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object; // back-pointer to the owning instance
    void* user;   // for the host
    int32_t uniqueId;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

static_assert(sizeof(void*) == 8, "64-bit layout");
static_assert(offsetof(Effect, dispatcher) == 8);
static_assert(offsetof(Effect, process) == 16);
static_assert(offsetof(Effect, setParameter) == 24);
static_assert(offsetof(Effect, getParameter) == 32);
static_assert(offsetof(Effect, numPrograms) == 40);
static_assert(offsetof(Effect, numParams) == 44);
static_assert(offsetof(Effect, numInputs) == 48);
static_assert(offsetof(Effect, numOutputs) == 52);
static_assert(offsetof(Effect, flags) == 56);
static_assert(offsetof(Effect, reserved1) == 64);
static_assert(offsetof(Effect, reserved2) == 72);
static_assert(offsetof(Effect, initialDelay) == 80);
static_assert(offsetof(Effect, realQualities) == 84);
static_assert(offsetof(Effect, offQualities) == 88);
static_assert(offsetof(Effect, ioRatio) == 92);
static_assert(offsetof(Effect, object) == 96);
static_assert(offsetof(Effect, user) == 104);
static_assert(offsetof(Effect, uniqueId) == 112);
static_assert(offsetof(Effect, version) == 116);
static_assert(offsetof(Effect, processReplacing) == 120);
static_assert(offsetof(Effect, processDoubleReplacing) == 128);
static_assert(offsetof(Effect, future) == 136);
static_assert(sizeof(Effect) == 192);

// One event of a host event list; the MIDI event (type 1) is 32 bytes.
struct MidiEvent {
    int32_t type;        // 1 = MIDI event
    int32_t byteSize;    // bytes after these first two fields: 24
    int32_t deltaFrames; // sample offset in the block
    int32_t flags;       // 1 = real-time event
    int32_t noteLength;
    int32_t noteOffset;
    uint8_t midiData[4]; // status, data 1, data 2, unused
    int8_t detune;
    uint8_t noteOffVelocity;
    uint8_t reserved1;
    uint8_t reserved2;
};
static_assert(offsetof(MidiEvent, deltaFrames) == 8);
static_assert(offsetof(MidiEvent, midiData) == 24);
static_assert(offsetof(MidiEvent, detune) == 28);
static_assert(offsetof(MidiEvent, noteOffVelocity) == 29);
static_assert(sizeof(MidiEvent) == 32);

constexpr int32_t midiEventType = 1;

// A host event list: a count, a reserved field and `Capacity` event pointers.
// The host's own lists are longer or shorter; only the first fields are fixed.
template <int Capacity> struct EventList {
    int32_t numEvents;
    intptr_t reserved;
    MidiEvent* events[Capacity];
};
using HostEventList = EventList<2>;
static_assert(offsetof(HostEventList, reserved) == 8);
static_assert(offsetof(HostEventList, events) == 16);

// The time-information block the host returns for host opcode 7; only the tempo
// and the flags are read.
struct TimeInfo {
    double unread0[4];
    double tempo; // beats per minute
    uint8_t unread1[44];
    int32_t flags; // tempoValid says whether `tempo` holds the host's tempo
};
constexpr int32_t tempoValid = 0x400;
static_assert(offsetof(TimeInfo, tempo) == 32);
static_assert(offsetof(TimeInfo, flags) == 84);

// The editor rectangle handed out by opcode 13.
struct Rect {
    int16_t top, left, bottom, right;
};
static_assert(sizeof(Rect) == 8);

// Requests the host makes through the dispatcher, by what they ask; every
// other opcode from 0 to 79, and any outside, is answered with 0.
namespace op {
enum Opcode : int32_t {
    open = 0,
    close = 1,
    setProgram = 2,
    getProgram = 3,
    setProgramName = 4,
    getProgramName = 5,
    parameterLabel = 6,
    parameterDisplay = 7,
    parameterName = 8,
    setSampleRate = 10,
    setBlockSize = 11,
    mainsChanged = 12, // suspend (value 0) or resume
    editorRect = 13,
    openEditor = 14,
    closeEditor = 15,
    editorIdle = 19,
    getStateChunk = 23,
    setStateChunk = 24,
    midiEvents = 25, // the events of the coming block
    canAutomate = 26,
    programNameAt = 29,
    category = 35,
    effectName = 45,
    vendorText = 47,
    productText = 48,
    vendorVersion = 49,
    canDo = 51,
    tailSize = 52,
    keyboardQuery = 57,
    interfaceVersion = 58,
    startProcessing = 71,
    stopProcessing = 72,
    processingPrecision = 77,
    midiInputChannels = 78,
    midiOutputChannels = 79,
};
} // namespace op

// The plug-in's category answered to op::category.
constexpr intptr_t instrumentCategory = 2;

// Host opcodes the plug-in calls.
enum HostOpcode : int32_t {
    hostAutomate = 0,
    hostWantMidi = 6,
    hostGetTime = 7,
    hostProcessEvents = 8,
    hostBeginEdit = 43,
    hostEndEdit = 44,
};

} // namespace vst2
