// The entry point and the effect record as a host first sees them.
#include <cstring>
#include <limits>

#include "tests/dll/plugin_fixture.hpp"

namespace dlltest {
namespace {

TEST(EntryPoint, NullCallbackGivesNoInstance) {
    EXPECT_EQ(library().entry()(nullptr), nullptr);
}

TEST(EntryPoint, RecordHoldsTheProductValues) {
    const int64_t straysBefore = vsthost::Host::strayCalls();
    vsthost::Host host(library());
    const vst2::Effect* e = host.effect();
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 16);
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0x131);
    EXPECT_EQ(e->uniqueId, 0x564B4231);
    EXPECT_EQ(e->version, 1300);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_NE(e->object, nullptr);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->setParameter, nullptr);
    EXPECT_NE(e->getParameter, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_EQ(e->process, e->processReplacing);
    EXPECT_EQ(e->processDoubleReplacing, nullptr);

    // Gaps, reserved fields and the future block are zero.
    const auto* bytes = reinterpret_cast<const unsigned char*>(e);
    for (int i : {4, 5, 6, 7, 60, 61, 62, 63})
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
    for (int i = 64; i < 80; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
    for (int i = 136; i < 192; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;

    // Construction calls nothing outside the instance, the host included.
    EXPECT_TRUE(host.calls().empty());
    EXPECT_EQ(vsthost::Host::strayCalls(), straysBefore);
}

TEST(EntryPoint, FreshInstanceReportsEveryDefault) {
    vsthost::Host host(library());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(host.getParameter(i), static_cast<float>(params[i].normalisedDefault)) << params[i].name;
}

TEST(EntryPoint, CallbacksIgnoreARecordWithoutObject) {
    vsthost::Host host(library());
    vst2::Effect orphan = *host.effect();
    orphan.object = nullptr;
    char text[64];
    std::memset(text, 0x5A, sizeof text);
    EXPECT_EQ(orphan.dispatcher(&orphan, 45, 0, 0, text, 0.0f), 0);
    EXPECT_EQ(text[0], 0x5A);
    EXPECT_EQ(orphan.dispatcher(&orphan, 1, 0, 0, nullptr, 0.0f), 0); // close frees nothing
    orphan.setParameter(&orphan, 0, 1.0f);
    EXPECT_EQ(orphan.getParameter(&orphan, 5), 0.0f);
    float left[4] = {7, 7, 7, 7}, right[4] = {7, 7, 7, 7};
    float* outputs[2] = {left, right};
    orphan.processReplacing(&orphan, nullptr, outputs, 4);
    orphan.processReplacing(nullptr, nullptr, outputs, 4);
    EXPECT_EQ(host.effect()->dispatcher(nullptr, 45, 0, 0, text, 0.0f), 0);
    host.effect()->setParameter(nullptr, 0, 1.0f);
    EXPECT_EQ(host.effect()->getParameter(nullptr, 5), 0.0f);
    for (float v : left)
        EXPECT_EQ(v, 7.0f);
    for (float v : right)
        EXPECT_EQ(v, 7.0f);

    // The real instance is untouched and still closes normally.
    EXPECT_EQ(host.getParameter(0), 0.0f);
    host.start();
    host.process(64);
    EXPECT_TRUE(audioSane(host.left()));
}

TEST(EntryPoint, CloseReturnsOne) {
    vsthost::Host host(library());
    EXPECT_EQ(host.close(), 1);
}

} // namespace
} // namespace dlltest
