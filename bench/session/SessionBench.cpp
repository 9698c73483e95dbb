// A 64 MiB payload to the loopback recorder, once through the session's worker (writability
// wait and send-buffer-sized pieces, one progress report each) and once through a plain
// loop of large blocking sends. Both run the same handshake and acknowledgements; the
// interleaved case alternates them and reports both rates and their ratio.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "RecorderSimulator.h"
#include "session/DownloadProtocol.h"
#include "session/DownloadWorker.h"
#include "session/SocketIo.h"

namespace {

using namespace imgdl;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kPayloadSize = 64 << 20;

class CountingSink : public DownloadSink {
  public:
    void stage(int) override { count.fetch_add(1, std::memory_order_relaxed); }
    void progress(std::uint32_t) override { count.fetch_add(1, std::memory_order_relaxed); }
    void error(int) override { count.fetch_add(1, std::memory_order_relaxed); }
    std::atomic<long> count{0};
};

struct Bench {
    Bench() : recorder(Behaviour()), payload(kPayloadSize, 0x5A) {
        job.command = CMD_APPLICATION_IMAGE;
        job.target = RecorderAddress{{127, 0, 0, 1}, recorder.port(), {}};
        job.payload.bytes = payload;
        job.window = sink;
        job.timeouts.closeDelay = std::chrono::milliseconds(0);
    }
    static sim::RecorderBehaviour Behaviour() {
        sim::RecorderBehaviour b;
        b.keepPayload = false;
        return b;
    }
    sim::RecorderSimulator recorder;
    std::vector<std::uint8_t> payload;
    std::shared_ptr<CountingSink> sink = std::make_shared<CountingSink>();
    DownloadJob job;
    std::int32_t piece = 0;  // the piece size of the last piecewise session
};

Bench& Shared() {
    static Bench bench;
    return bench;
}

bool PlainLoop(int fd, const std::uint8_t* data, std::int32_t size) {
    constexpr std::int32_t kBlock = 4 << 20;
    for (std::int32_t sent = 0; sent < size;) {
        const long n =
            SendOnce(fd, data + sent, static_cast<std::size_t>(std::min(kBlock, size - sent)));
        if (n <= 0) return false;
        sent += static_cast<std::int32_t>(n);
    }
    return true;
}

// One whole session; the seconds it took, or a negative value on failure.
// sendBuffer: SO_SNDBUF asked for the client socket, 0 for the kernel's own sizing.
double Session(Bench& b, bool chunked, int sendBuffer = 0) {
    const auto started = Clock::now();
    const auto askBuffer = [&b, sendBuffer](int fd) {
        if (sendBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    };
    if (chunked) {
        DownloadJob job = b.job;
        job.configureSocket = [&b, askBuffer](int fd) {
            askBuffer(fd);
            b.piece = SendBufferPieceSize(fd);
        };
        if (DownloadWorker(job) != 0) return -1;
        return std::chrono::duration<double>(Clock::now() - started).count();
    }
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    askBuffer(fd.get());
    const sockaddr_in peer = SocketAddressOf(*b.job.target);
    if (!fd || ConnectWithin(fd.get(), peer, std::chrono::seconds(5)) != 0) return -1;
    const auto length = static_cast<std::uint32_t>(b.job.payload.length());
    if (!SendWord(fd.get(), b.job.command) || !ReceiveWord(fd.get(), std::chrono::seconds(5)) ||
        !SendWord(fd.get(), length) || ReceiveWord(fd.get(), std::chrono::seconds(5)) != length)
        return -1;
    if (!PlainLoop(fd.get(), b.job.payload.bytes.data(), b.job.payload.length())) return -1;
    for (int i = 0; i < 2; ++i)
        if (ReceiveWord(fd.get(), std::chrono::seconds(30)) != REPLY_ACK) return -1;
    return std::chrono::duration<double>(Clock::now() - started).count();
}

void Run(benchmark::State& state, bool chunked) {
    Bench& b = Shared();
    for (auto _ : state) {
        const double seconds = Session(b, chunked);
        if (seconds < 0) state.SkipWithError("session failed");
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(state.iterations() * kPayloadSize);
}

void BM_SendInChunks(benchmark::State& state) {
    Run(state, true);
}
void BM_PlainSendLoop(benchmark::State& state) {
    Run(state, false);
}

void BM_Interleaved(benchmark::State& state) {
    Bench& b = Shared();
    double chunked = 0, plain = 0;
    for (auto _ : state) {
        const auto sendBuffer = static_cast<int>(state.range(0));
        const double c = Session(b, true, sendBuffer);
        const double p = Session(b, false, sendBuffer);
        if (c < 0 || p < 0) state.SkipWithError("session failed");
        chunked += c;
        plain += p;
        state.SetIterationTime(c + p);
    }
    constexpr double kMiB = 1024.0 * 1024.0;
    const double n = static_cast<double>(state.iterations()) * kPayloadSize / kMiB;
    state.counters["chunked_MiB_per_s"] = n / chunked;
    state.counters["plain_MiB_per_s"] = n / plain;
    state.counters["ratio"] = plain / chunked;  // chunked rate ÷ plain rate
    state.counters["piece_bytes"] = b.piece;
}

BENCHMARK(BM_SendInChunks)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSendLoop)->UseManualTime()->Unit(benchmark::kMillisecond);
// Argument: SO_SNDBUF asked for (0: the kernel's own, which grows on loopback).
BENCHMARK(BM_Interleaved)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->Arg(0)
    ->Arg(64 * 1024);

}  // namespace

BENCHMARK_MAIN();
