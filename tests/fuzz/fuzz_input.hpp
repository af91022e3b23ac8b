#pragma once
// Reads a fuzz input front to back as little-endian numbers and byte runs. Past
// the end every read gives zeros, so any input is a complete program.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace fuzztest {

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const noexcept { return at_ >= size_; }

    uint8_t u8() noexcept { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t u16() noexcept { return static_cast<uint16_t>(u8() | u8() << 8); }
    uint32_t u32() noexcept { return u16() | static_cast<uint32_t>(u16()) << 16; }
    uint64_t u64() noexcept { return u32() | static_cast<uint64_t>(u32()) << 32; }
    int32_t i32() noexcept { return static_cast<int32_t>(u32()); }
    float f32() noexcept {
        const uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    double f64() noexcept {
        const uint64_t bits = u64();
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    // Up to `n` bytes: fewer when the input ends first.
    std::vector<uint8_t> bytes(size_t n) {
        const size_t take = n < size_ - at_ ? n : (at_ < size_ ? size_ - at_ : 0);
        std::vector<uint8_t> out(data_ + at_, data_ + at_ + take);
        at_ += take;
        return out;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

} // namespace fuzztest
