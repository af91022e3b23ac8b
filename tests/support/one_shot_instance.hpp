#pragma once
// A whole instance as the one-shot and state tests drive it: a host that keeps
// the parameter edits the instance reports, the state saved and restored
// through opcodes 23 and 24, and one-shot files written into a test's scratch
// folder (media_support.hpp).
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/plugin.hpp"
#include "tests/support/media_support.hpp"
#include "tests/support/quiet_host.hpp"

namespace velktest {

// One edit notification: (opcode, index, value) of an automate (0), begin-edit
// (43) or end-edit (44) call.
using Edit = std::tuple<int32_t, int32_t, float>;

// The quiet host, without a time answer, keeping the edit notifications of
// every instance made with instance() since the last one.
struct EditLog : velktest::QuietHost {
    EditLog() { answerTime = false; }
    std::vector<Edit> edits;

  protected:
    void heard(const vsthost::HostCall& call) override {
        if (call.opcode == 0 || call.opcode == 43 || call.opcode == 44)
            edits.emplace_back(call.opcode, call.index, call.option);
    }
};
inline EditLog host;

inline std::unique_ptr<palmtone::Plugin> instance() {
    host.edits.clear();
    return host.makePlugin();
}

inline Bytes save(palmtone::Plugin& p) {
    void* where = reinterpret_cast<void*>(1);
    const intptr_t size = p.dispatch(23, 0, 0, &where, 0.0f);
    if (size == 0) {
        EXPECT_EQ(where, nullptr);
        return {};
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(where);
    return Bytes(bytes, bytes + size);
}

inline intptr_t restore(palmtone::Plugin& p, const Bytes& chunk) {
    return p.dispatch(24, 0, intptr_t(chunk.size()), const_cast<uint8_t*>(chunk.data()), 0.0f);
}

inline double param(palmtone::Plugin& p, int index) {
    return p.params[index].load();
}

inline size_t ownedCount(palmtone::Plugin& p) {
    std::lock_guard<std::mutex> lock(p.bank.mutex);
    return p.bank.owned.size();
}

// A one-shot file in the scratch folder: 16-bit mono, with a unity note if given.
inline std::wstring waveFile(const std::string& dir, const std::wstring& name, int unity = -1) {
    Bytes data;
    for (int16_t v : {0, 8000, 16000, 8000, 0, -8000})
        put16(data, uint16_t(v));
    const Bytes image =
        unity < 0
            ? riff({{"fmt ", fmtData(1, 1, 44100, 16)}, {"data", data}})
            : riff({{"fmt ", fmtData(1, 1, 44100, 16)}, {"smpl", smplData(uint32_t(unity))}, {"data", data}});
    const std::wstring path = hostFile(dir, name);
    writeBytes(path, image);
    return path;
}

} // namespace velktest
