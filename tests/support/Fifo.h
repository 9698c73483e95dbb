#pragma once
// A FIFO under a path, for the tests that check no file opener waits on one. A plain
// open() for reading would block there until some writer came.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>

#include "common/UniqueFd.h"

namespace imgdl::test {

inline void MakeFifo(const std::filesystem::path& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
}

// Runs `open` on another thread and returns its result. One still blocked after a few
// seconds fails the test and is released by opening the FIFO's other end, so a
// regression fails instead of hanging.
template <class Result>
Result WithoutBlocking(const std::filesystem::path& fifo, const std::function<Result()>& open) {
    std::future<Result> result = std::async(std::launch::async, open);
    if (result.wait_for(std::chrono::seconds(3)) == std::future_status::timeout) {
        ADD_FAILURE() << "waited in open() for a writer to " << fifo;
        // A reader is waiting, so this open succeeds; closing it ends the reader's file.
        UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    }
    return result.get();
}

}  // namespace imgdl::test
