// Once 32 KiB have been flushed the decoder works inside the output region, so
// these cases watch the region's bytes behind the data and after failures, for
// region sizes around the points where the work moves in and out of the region,
// and for callers' bytes that are zeros, not zeros, or zeros only at first.
#include <gtest/gtest.h>
#include <zlib.h>

#include "GzipTestSupport.h"
#include "gzip/Diagnostics.h"
#include "gzip/GzipInflater.h"

namespace imgdl::test {
namespace {

constexpr std::size_t kUnit = 32768;

// Long matches at distance 1 and beyond, literals between them: word-wise copies
// write past a match's end, right up to where the data ends.
Bytes Content(std::size_t size) {
    Bytes content = MakeData(DataKind::kBinary, 150000, 7);
    const Bytes runs = MakeData(DataKind::kRuns, size - 150000 - 400, 8);
    content.insert(content.end(), runs.begin(), runs.end());
    content.insert(content.end(), 400, 0x41);
    return content;
}

// Data ending on a flush, just behind one, and within the last 320 bytes
// written past one.
constexpr std::size_t kContentSizes[] = {7 * kUnit, 7 * kUnit + 1, 7 * kUnit + 17, 7 * kUnit + 300,
                                         220300};

enum class Caller { kZeros, kBytes, kZerosThenBytes };

Bytes CallerBytes(Caller caller, std::size_t size) {
    Bytes region(size, caller == Caller::kZeros ? 0 : 0xEE);
    if (caller == Caller::kZerosThenBytes)
        std::fill(region.begin(), region.begin() + static_cast<std::ptrdiff_t>(size / 2), 0);
    for (std::size_t i = 0; i < size; i += 97) region[i] ^= caller == Caller::kZeros ? 0 : 1;
    return region;
}

struct Outcome {
    int result = 0;
    Bytes region;
};

Outcome Unzip(const Bytes& member, Bytes region) {
    Bytes input = member;
    MemoryStream in = openMemoryStream(input.data(), input.size());
    MemoryStream out = openMemoryStream(region.data(), region.size());
    Outcome outcome;
    outcome.result = GzipInflater::unzip(in, out, gzip::DiscardSink());
    outcome.region = std::move(region);
    return outcome;
}

std::string CouldntWrites(std::size_t total, std::size_t region) {
    std::string texts;
    for (std::size_t end = kUnit; end - kUnit < total; end += kUnit)
        if (std::min(end, total) > region) texts += kCouldntWrite;
    return texts;
}

class GzipRegion : public testing::TestWithParam<Caller> {};

TEST_P(GzipRegion, BytesBehindTheDataStayTheCallers) {
    for (const std::size_t n : kContentSizes) {
        const Bytes content = Content(n);
        const Bytes member = ZlibMember(content, 9, Z_DEFAULT_STRATEGY);
        for (const std::size_t size :
             {n - kUnit - 1, n - 1, n, n + 1, n + 15, n + 319, n + 320, n + 321, n + kUnit + 319,
              n + kUnit + 320, n + kUnit + 321, 2 * n, kUnit + 320, 2 * kUnit + 319, 3 * kUnit}) {
            SCOPED_TRACE(testing::Message() << "data " << n << ", region " << size);
            const Bytes before = CallerBytes(GetParam(), size);
            const Outcome outcome = Unzip(member, before);
            ASSERT_EQ(outcome.result, 0);
            const std::size_t kept = std::min(n, size);
            ASSERT_TRUE(std::equal(content.begin(),
                                   content.begin() + static_cast<std::ptrdiff_t>(kept),
                                   outcome.region.begin()));
            ASSERT_TRUE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(kept), before.end(),
                                   outcome.region.begin() + static_cast<std::ptrdiff_t>(kept)));
            // The same texts as a window flushed into the region 32 KiB at a time.
            Bytes copy = member;
            const UnzipRun run = RunUnzip(copy, size, 0xEE);
            ASSERT_EQ(run.printed, CouldntWrites(n, size));
        }
    }
}

TEST_P(GzipRegion, AFailureLeavesOnlyWholeFlushes) {
    const Bytes content = Content(220300);
    const Bytes member = ZlibMember(content, 6, Z_DEFAULT_STRATEGY);
    const std::size_t size = 2 * content.size();
    const Bytes before = CallerBytes(GetParam(), size);
    // Cut short at several points.
    for (const std::size_t cut : {member.size() / 3, member.size() / 2, member.size() - 9}) {
        SCOPED_TRACE(testing::Message() << "cut at " << cut);
        const Outcome outcome = Unzip(Bytes(member.begin(), member.begin() + cut), before);
        ASSERT_EQ(outcome.result, 1);
        // Whole 32 KiB flushes of the data, then the caller's bytes.
        std::size_t flushed = 0;
        while (flushed + kUnit <= content.size() &&
               std::equal(content.begin() + static_cast<std::ptrdiff_t>(flushed),
                          content.begin() + static_cast<std::ptrdiff_t>(flushed + kUnit),
                          outcome.region.begin() + static_cast<std::ptrdiff_t>(flushed))) {
            flushed += kUnit;
        }
        ASSERT_TRUE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(flushed), before.end(),
                               outcome.region.begin() + static_cast<std::ptrdiff_t>(flushed)));
        ASSERT_GE(flushed, kUnit);  // the cuts lie well behind the first flush
    }
}

INSTANTIATE_TEST_SUITE_P(Callers, GzipRegion,
                         testing::Values(Caller::kZeros, Caller::kBytes, Caller::kZerosThenBytes),
                         [](const auto& info) {
                             switch (info.param) {
                                 case Caller::kZeros:
                                     return std::string("zeros");
                                 case Caller::kBytes:
                                     return std::string("bytes");
                                 case Caller::kZerosThenBytes:
                                     return std::string("zerosThenBytes");
                             }
                             return std::string();
                         });

}  // namespace
}  // namespace imgdl::test
