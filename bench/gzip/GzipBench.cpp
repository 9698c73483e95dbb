// GzipInflater::unzip against zlib's inflate and libdeflate on the same gzip
// members: firmware-like binaries, text and random bytes, 4 MiB each, compressed
// by zlib at level 9, plus the firmware compressed by gzip -9 and by libdeflate
// at level 12. Repetitions run in random order so that machine drift hits all
// three decoders alike; the closing tables show the medians and the ratios, once
// on a region that holds the last run's bytes and once on a zeroed region, and a
// last one unzip and libdeflate taking turns, single run by single run.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gzip/GzipInflater.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPayloadSize = 4 * 1024 * 1024;

// Concatenates regular files from `dir` (sorted by name) whose first bytes
// match `accept` until `size` bytes are gathered.
Bytes Gather(const fs::path& dir, std::size_t size, bool (*accept)(const Bytes&)) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file(ec) && !e.is_symlink(ec)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    Bytes out;
    for (const auto& f : files) {
        if (out.size() >= size) break;
        std::ifstream in(f, std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (accept(bytes)) out.insert(out.end(), bytes.begin(), bytes.end());
    }
    out.resize(std::min(out.size(), size));
    return out;
}

bool IsElf(const Bytes& b) {
    return b.size() > 4 && b[0] == 0x7F && b[1] == 'E' && b[2] == 'L';
}
bool IsText(const Bytes& b) {
    return !b.empty() && std::none_of(b.begin(), b.end(), [](std::uint8_t c) { return c == 0; });
}

Bytes RandomBytes(std::size_t size) {
    std::mt19937 rng(42);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

Bytes GzipMember(const Bytes& data) {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, 16 + 15, 9, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&zs, data.size()) + 64);
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// The member the gzip program writes at -9, read back through a pipe.
Bytes GzipProgramMember(const Bytes& data) {
    char path[] = "/tmp/gzip_bench_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    }
    Bytes member;
    const std::string command = std::string("gzip -9 -n -c ") + path;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::uint8_t chunk[65536];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) != 0)
            member.insert(member.end(), chunk, chunk + n);
        pclose(pipe);
    }
    std::remove(path);
    return member;
}

Bytes LibdeflateMember(const Bytes& data, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_gzip_compress_bound(c, data.size()));
    out.resize(libdeflate_gzip_compress(c, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

constexpr const char* kPayloads[] = {"firmware", "text", "random", "firmware-gzip9",
                                     "firmware-ld12"};

struct Payload {
    Bytes plain;
    Bytes member;
};

const Payload& GetPayload(const std::string& name) {
    static std::map<std::string, Payload> payloads = [] {
        std::map<std::string, Payload> p;
        p["firmware"].plain = Gather("/usr/bin", kPayloadSize, IsElf);
        p["text"].plain = Gather("/usr/include", kPayloadSize, IsText);
        p["random"].plain = RandomBytes(kPayloadSize);
        for (auto& [name, payload] : p) payload.member = GzipMember(payload.plain);
        p["firmware-gzip9"].plain = p["firmware"].plain;
        p["firmware-gzip9"].member = GzipProgramMember(p["firmware"].plain);
        p["firmware-ld12"].plain = p["firmware"].plain;
        p["firmware-ld12"].member = LibdeflateMember(p["firmware"].plain, 12);
        return p;
    }();
    return payloads.at(name);
}

// With `zeroed`, every run starts on a region of zeros, as the version probe's
// does; the zeroing is not timed. Otherwise the region holds the last run's bytes.
void ZeroRegion(benchmark::State& state, Bytes& region, bool zeroed) {
    if (!zeroed) return;
    state.PauseTiming();
    std::fill(region.begin(), region.end(), 0);
    state.ResumeTiming();
}

void BM_Unzip(benchmark::State& state, const std::string& name, bool zeroed) {
    const Payload& payload = GetPayload(name);
    Bytes input = payload.member;
    Bytes region(payload.plain.size());
    for (auto _ : state) {
        ZeroRegion(state, region, zeroed);
        imgdl::MemoryStream in = imgdl::openMemoryStream(input.data(), input.size());
        imgdl::MemoryStream out = imgdl::openMemoryStream(region.data(), region.size());
        if (imgdl::GzipInflater::unzip(in, out) != 0) state.SkipWithError("unzip failed");
        benchmark::DoNotOptimize(region.data());
    }
    if (region != payload.plain) state.SkipWithError("unzip output differs");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.plain.size()));
    state.counters["ratio"] = double(payload.member.size()) / double(payload.plain.size());
}

void BM_ZlibInflate(benchmark::State& state, const std::string& name, bool zeroed) {
    const Payload& payload = GetPayload(name);
    Bytes region(payload.plain.size());
    for (auto _ : state) {
        ZeroRegion(state, region, zeroed);
        z_stream zs{};
        inflateInit2(&zs, 16 + 15);
        zs.next_in = const_cast<Bytef*>(payload.member.data());
        zs.avail_in = static_cast<uInt>(payload.member.size());
        zs.next_out = region.data();
        zs.avail_out = static_cast<uInt>(region.size());
        if (inflate(&zs, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&zs);
        benchmark::DoNotOptimize(region.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.plain.size()));
    state.counters["ratio"] = double(payload.member.size()) / double(payload.plain.size());
}

void BM_Libdeflate(benchmark::State& state, const std::string& name, bool zeroed) {
    const Payload& payload = GetPayload(name);
    Bytes region(payload.plain.size());
    for (auto _ : state) {
        ZeroRegion(state, region, zeroed);
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        std::size_t produced = 0;
        if (libdeflate_gzip_decompress(d, payload.member.data(), payload.member.size(),
                                       region.data(), region.size(),
                                       &produced) != LIBDEFLATE_SUCCESS) {
            state.SkipWithError("libdeflate failed");
        }
        libdeflate_free_decompressor(d);
        benchmark::DoNotOptimize(region.data());
    }
    if (region != payload.plain) state.SkipWithError("libdeflate output differs");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.plain.size()));
    state.counters["ratio"] = double(payload.member.size()) / double(payload.plain.size());
}

// Console output plus a closing table: median MB/s of the three decoders and
// unzip's speed relative to each yardstick.
class SideBySideReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration) continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end()) continue;
            // A median replaces the single runs it summarizes.
            if (median || rates_.count(run.run_name.function_name) == 0)
                rates_[run.run_name.function_name] = it->second.value / 1e6;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        PrintTable("region holding the last run's bytes", "");
        PrintTable("region zeroed before every run (zeroing not timed)", "zeroed/");
    }

  private:
    void PrintTable(const char* title, const std::string& variant) const {
        std::printf("\n%s\n%-15s %8s %11s %10s %12s %11s %14s\n", title, "payload", "ratio",
                    "unzip MB/s", "zlib MB/s", "libdefl MB/s", "unzip/zlib", "unzip/libdefl");
        for (const char* name : kPayloads) {
            const double ours = Rate("BM_Unzip/" + variant, name);
            const double zlib = Rate("BM_ZlibInflate/" + variant, name);
            const double ld = Rate("BM_Libdeflate/" + variant, name);
            if (ours == 0 && zlib == 0 && ld == 0) continue;
            std::printf("%-15s %8.3f %11.1f %10.1f %12.1f %11.2f %14.2f\n", name,
                        double(GetPayload(name).member.size()) / double(kPayloadSize), ours, zlib,
                        ld, zlib > 0 ? ours / zlib : 0, ld > 0 ? ours / ld : 0);
        }
    }
    double Rate(const std::string& prefix, const std::string& name) const {
        const auto it = rates_.find(prefix + name);
        return it == rates_.end() ? 0.0 : it->second;
    }
    std::map<std::string, double> rates_;
};

// Single decodes of unzip and libdeflate in turn, each on a freshly zeroed
// region: the fastest and the median of each. On a shared machine the fastest of
// many single runs shows each decoder's own speed best, and taking turns run by
// run leaves no stretch of time to one of them.
void PrintAlternating(int rounds) {
    std::printf(
        "\nsingle runs in turn, %d each, region zeroed (zeroing not timed)\n"
        "%-15s %14s %14s %16s %16s %13s %13s\n",
        rounds, "payload", "unzip fastest", "unzip median", "libdefl fastest", "libdefl median",
        "fastest/ldf", "median/ldf");
    using Clock = std::chrono::steady_clock;
    for (const char* name : kPayloads) {
        const Payload& payload = GetPayload(name);
        Bytes input = payload.member;
        Bytes region(payload.plain.size());
        std::vector<double> ours, ld;
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        for (int r = 0; r < rounds; ++r) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool unzipTurn = ((r + turn) & 1) == 0;
                std::fill(region.begin(), region.end(), 0);
                const auto start = Clock::now();
                if (unzipTurn) {
                    imgdl::MemoryStream in = imgdl::openMemoryStream(input.data(), input.size());
                    imgdl::MemoryStream out = imgdl::openMemoryStream(region.data(), region.size());
                    imgdl::GzipInflater::unzip(in, out);
                } else {
                    std::size_t produced = 0;
                    libdeflate_gzip_decompress(d, payload.member.data(), payload.member.size(),
                                               region.data(), region.size(), &produced);
                }
                const std::chrono::duration<double> took = Clock::now() - start;
                (unzipTurn ? ours : ld).push_back(took.count());
            }
        }
        libdeflate_free_decompressor(d);
        std::sort(ours.begin(), ours.end());
        std::sort(ld.begin(), ld.end());
        const double mb = double(payload.plain.size()) / 1e6;
        const auto median = [](const std::vector<double>& v) { return v[v.size() / 2]; };
        std::printf("%-15s %14.1f %14.1f %16.1f %16.1f %13.2f %13.2f\n", name, mb / ours.front(),
                    mb / median(ours), mb / ld.front(), mb / median(ld), ld.front() / ours.front(),
                    median(ld) / median(ours));
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (const std::string variant : {"", "zeroed/"}) {
        const bool zeroed = !variant.empty();
        for (const char* name : kPayloads) {
            const std::string n = name;
            benchmark::RegisterBenchmark(("BM_Unzip/" + variant + n).c_str(), BM_Unzip, n, zeroed)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("BM_ZlibInflate/" + variant + n).c_str(), BM_ZlibInflate,
                                         n, zeroed)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("BM_Libdeflate/" + variant + n).c_str(), BM_Libdeflate, n,
                                         zeroed)
                ->Unit(benchmark::kMillisecond);
        }
    }
    // Interleaved repetitions by default; options given on the command line win.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string repetitions = "--benchmark_repetitions=7";
    std::string onlyAggregates = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {interleave.data(), repetitions.data(), onlyAggregates.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintAlternating(100);
    return 0;
}
