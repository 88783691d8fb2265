// Task memory, which every element an enumeration delivers takes and gives back: blocks of any
// size are usable and aligned, and what the thread keeps for reuse goes back when it ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>

#include "platform/bstr.h"
#include "tests/support/allocation_meter.h"

namespace {

TEST(TaskMemory, BlocksOfEverySizeAreUsableAndAligned) {
    for (const std::size_t bytes : {0u, 1u, 63u, 64u, 65u, 4096u, 1u << 20}) {
        void* blocks[3];
        for (void*& block : blocks) {
            block = CoTaskMemAlloc(bytes);
            ASSERT_NE(block, nullptr) << bytes;
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u) << bytes;
            std::memset(block, 0xA5, bytes);
        }
        for (void* block : blocks) CoTaskMemFree(block);
    }
    CoTaskMemFree(nullptr);
}

TEST(TaskMemory, AThreadThatEndsLeavesNoBlockBehind) {
    auto useNames = [] {
        for (int round = 0; round < 100; ++round) {
            void* names[20];
            for (void*& name : names) name = CoTaskMemAlloc(64);
            for (void* name : names) CoTaskMemFree(name);
        }
    };
    // A first thread leaves behind what the system keeps of any ended thread for the next one.
    std::thread([] {}).join();
    const std::size_t before = allocation_meter::LiveBytes();
    std::thread(useNames).join();
    std::thread(useNames).join();
    EXPECT_EQ(allocation_meter::LiveBytes(), before);
}

}  // namespace
