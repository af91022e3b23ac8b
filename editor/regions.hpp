#pragma once
// Where everything sits on the editor's surface, in client pixels: each fixed
// rectangle the layout draws or registers as a hit, and the rules of the
// repeated ones. The layout, the input handling and the tests read them here.
// Boxes and buttons are written as corner and size, texts as their rectangle.
#include <cstdint>

#include "editor/geometry.hpp"

namespace palmtone::regions {

// --- header ---
constexpr Rect logo{23, 24, 50, 48};
// The logo's three shapes, inside it: an ellipse, a six-cornered band across
// it and a small ellipse at its top right.
constexpr Rect logoEllipse{25, 30, 47, 47};
constexpr Point logoBand[6] = {{23, 38}, {29, 32}, {45, 32}, {49, 39}, {44, 45}, {29, 45}};
constexpr Rect logoDot{41, 24, 49, 30};
constexpr Rect wordmark{58, 16, 168, 60};
constexpr Rect edition{190, 19, 550, 47};
constexpr Rect tagline{190, 47, 570, 67};
constexpr Rect version{650, 17, 836, 35};
constexpr Rect volumeCaption{620, 42, 695, 62};
constexpr Rect volumeTrack = sized(700, 50, 136, 4); // the level grows from its left edge
constexpr Rect volumeSlider{700, 38, 836, 63};       // a hit only; nothing is drawn for it
constexpr Rect guideButton = sized(862, 23, 94, 34);

// --- chord panel ---
constexpr Rect chordPanel = sized(24, 84, 420, 72);
constexpr Rect chordCaption{40, 92, 150, 109};
constexpr Rect chordName{40, 112, 245, 143};
constexpr Rect soundingNotes{236, 111, 428, 141};

// --- sound panel, where a WAV drag may be dropped ---
constexpr Rect soundPanel = sized(456, 84, 500, 72);
constexpr Rect soundTitle{474, 91, 694, 108};
constexpr Rect soundName{474, 110, 780, 135};
constexpr Rect keysButton = sized(808, 95, 62, 28);
constexpr Rect wavButton = sized(878, 95, 62, 28);
// The waveform's vertical lines, one every waveformStep pixels, centred on waveformMiddle.
constexpr int32_t waveformLeft = 474;
constexpr int32_t waveformStep = 3;
constexpr int32_t waveformMiddle = 143;
constexpr Rect fileInfo{790, 130, 940, 147};
constexpr Rect soundHint{474, 135, 914, 151};

// --- library panel, where a WAV drag may be dropped ---
constexpr Rect libraryPanel = sized(24, 172, 256, 262);
constexpr Rect libraryTitle{40, 181, 192, 199};
constexpr Rect removeCurrentButton = sized(204, 179, 60, 22);
constexpr Rect addButton = sized(40, 207, 104, 30);
constexpr Rect folderButton = sized(154, 207, 110, 30);
// Row r of the list, 0 at the top: the built-in sound fills its row, a file
// shares it with its remove button.
constexpr int32_t rowTop(int32_t r) noexcept {
    return 247 + 28 * r;
}
constexpr Rect builtInRow(int32_t r) noexcept {
    return sized(40, rowTop(r), 224, 25);
}
constexpr Rect fileRow(int32_t r) noexcept {
    return sized(40, rowTop(r), 190, 25);
}
constexpr Rect removeFileButton(int32_t r) noexcept {
    return sized(238, rowTop(r), 26, 25);
}
constexpr Rect libraryHint{40, 282, 264, 330};
constexpr Rect rootButton = sized(40, 397, 97, 27);
constexpr Rect playModeButton = sized(147, 397, 117, 27);

// --- settings: a field is its value button, with its caption above it ---
constexpr Rect field(int32_t x, int32_t y, int32_t width) noexcept {
    return sized(x, y, width, 34);
}
constexpr Rect fieldCaption(Rect value) noexcept {
    return {value.left, value.top - 20, value.right, value.top - 4};
}
constexpr Rect tonicField = field(296, 200, 94);
constexpr Rect scaleField = field(406, 200, 270);
constexpr Rect octaveField = field(692, 200, 112);
constexpr Rect inversionField = field(820, 200, 136);
constexpr Rect chordSizeCaption{296, 240, 956, 256};
constexpr Rect chordSizeButton(int32_t l) noexcept {
    return sized(296 + 168 * l, 261, 156, 34);
}
constexpr Rect seventhField = field(296, 323, 180);
constexpr Rect ninthField = field(492, 323, 180);
constexpr Rect inputField = field(688, 323, 268);
constexpr Rect padsCaption{296, 364, 726, 380};
constexpr Rect padsNote{740, 364, 956, 380};

// --- the eight pads, l = 0..7, and the three texts inside each ---
constexpr Rect pad(int32_t l) noexcept {
    return sized(296 + 83 * l, 385, 77, 41);
}
constexpr Rect padKey(int32_t l) noexcept {
    const int32_t x = pad(l).left;
    return {x + 5, 387, x + 21, 404};
}
constexpr Rect padCaption(int32_t l) noexcept {
    const int32_t x = pad(l).left;
    return {x + 5, 405, x + 72, 423};
}
constexpr Rect padDegree(int32_t l) noexcept {
    const int32_t x = pad(l).left;
    return {x + 46, 387, x + 70, 403};
}

// --- recording panel ---
constexpr Rect recordingPanel = sized(24, 448, 932, 264);
constexpr Rect recordingTitle{44, 461, 424, 489};
constexpr Rect takeStatus{630, 461, 932, 487};
constexpr Rect recordButton = sized(44, 502, 124, 40);
constexpr Rect pauseButton = sized(180, 502, 105, 40);
constexpr Rect stopButton = sized(297, 502, 105, 40);
constexpr Rect newTakeButton = sized(414, 502, 126, 40);
constexpr Rect releaseButton = sized(552, 502, 148, 40);

// The timeline: timelineColumns columns, and 12 pitch-class rows with C at
// the bottom; grid lines run across it from gridTop to gridBottom, one row
// apart. While a take records, a column is a quarter of a beat, and a line
// marks each bar of four beats.
constexpr Rect timeline = sized(44, 558, 656, 112);
constexpr int32_t timelineColumns = 64;
constexpr int32_t columnsPerBeat = 4;
constexpr int32_t beatsPerBar = 4;
constexpr int32_t rowHeight = 9;
constexpr int32_t gridTop = 567;
constexpr int32_t gridBottom = 657;
// Column i's left edge, from the timeline's.
constexpr int32_t columnOffset(int64_t i) noexcept {
    return static_cast<int32_t>(i * timeline.width() / timelineColumns);
}
// The cell of pitch class p in column i.
constexpr Rect cell(int64_t i, int32_t p) noexcept {
    const int32_t x = columnOffset(i);
    return {45 + x, 660 - rowHeight * p, 54 + x, 666 - rowHeight * p};
}
constexpr Rect countInBox = sized(312, 573, 120, 66);
constexpr Rect countInNumber{312, 574, 432, 626};
constexpr Rect countInNote{220, 645, 524, 663};
constexpr Rect takeInfo{44, 677, 700, 700};

// --- export column and level meter ---
constexpr Rect dragButton = sized(724, 502, 208, 66);
constexpr Rect dragSecondLine{724, 546, 932, 564}; // over the drag button, never pressed down
constexpr Rect saveButton = sized(724, 581, 208, 36);
constexpr Rect exportHint{724, 626, 932, 648};
constexpr Rect meterTrack = sized(724, 664, 208, 4); // the level grows from its left edge

// --- bottom line ---
constexpr Rect hint{24, 718, 714, 736};
constexpr Rect footer{710, 718, 956, 736};

} // namespace palmtone::regions
