// One counter sample three ways: the rtnetlink stats dump the program uses,
// the full rtnetlink link dump it falls back to, and /proc/net/dev. Each
// alternative reports its cost relative to the stats dump measured in the
// same run: counters "cpu_x_getstats" (thread CPU time, kernel work included,
// steady on a busy machine) and "wall_x_getstats". Every benchmark also
// reports "allocs_per_sample", the heap allocations of a warm sample.

#include "platform/LinkDump.h"
#include "platform/NetlinkCounterSource.h"
#include "platform/NetlinkSocket.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

// Every operator new of the benchmark program passes here, so a sample that
// allocates shows in the count.
namespace {
std::atomic<std::int64_t> gAllocations{0};
} // namespace

void* operator new(std::size_t size)
{
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t /*size*/) noexcept
{
    std::free(block);
}

namespace zarvello {
namespace {

struct PerSample
{
    double wallNs = 0;
    double cpuNs = 0;
};

// Cost of one stats dump sample, from the first benchmark below.
PerSample gStatsDump;

double threadCpuNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Reads /proc/net/dev through one descriptor and one buffer, both kept, and
// sums the rx and tx byte columns the way the netlink source does.
class ProcNetDevReader
{
public:
    ProcNetDevReader()
        : fd_(::open("/proc/net/dev", O_RDONLY | O_CLOEXEC)), buffer_(std::size_t{16} * 1024)
    {
    }
    ~ProcNetDevReader()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ProcNetDevReader(const ProcNetDevReader&) = delete;
    ProcNetDevReader& operator=(const ProcNetDevReader&) = delete;

    std::optional<CounterSample> takeSample()
    {
        if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
            return std::nullopt;
        }
        std::size_t used = 0;
        for (;;) {
            if (used == buffer_.size()) {
                buffer_.resize(buffer_.size() * 2);
            }
            const ssize_t n = ::read(fd_, buffer_.data() + used, buffer_.size() - used);
            if (n < 0) {
                return std::nullopt;
            }
            if (n == 0) {
                break;
            }
            used += static_cast<std::size_t>(n);
        }
        return parse(std::string_view(buffer_.data(), used));
    }

private:
    // "  face |bytes packets errs drop fifo frame compressed multicast|bytes ..." twice
    // as header, then per link "  name: rx_bytes rx_packets ... (8 rx) tx_bytes ...".
    static std::optional<CounterSample> parse(std::string_view text)
    {
        CounterSample sums;
        int line = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view row = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
            if (line++ < 2) {
                continue;
            }
            const std::size_t colon = row.find(':');
            if (colon == std::string_view::npos) {
                return std::nullopt;
            }
            row.remove_prefix(colon + 1);
            std::uint64_t fields[9] = {};
            for (std::uint64_t& field : fields) {
                while (!row.empty() && row.front() == ' ') {
                    row.remove_prefix(1);
                }
                const auto [next, error] =
                    std::from_chars(row.data(), row.data() + row.size(), field);
                if (error != std::errc{}) {
                    return std::nullopt;
                }
                row.remove_prefix(static_cast<std::size_t>(next - row.data()));
            }
            sums.inOctets += static_cast<std::uint32_t>(fields[0]);
            sums.outOctets += static_cast<std::uint32_t>(fields[8]);
        }
        return sums;
    }

    int fd_;
    std::vector<char> buffer_;
};

template <typename Source> PerSample runSamples(benchmark::State& state, Source& source)
{
    // One sample first, so the buffers that only grow have grown.
    benchmark::DoNotOptimize(source.takeSample());
    std::int64_t samples = 0;
    const std::int64_t allocationsBefore = gAllocations.load();
    const double cpuStart = threadCpuNs();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const std::optional<CounterSample> sample = source.takeSample();
        if (!sample) {
            state.SkipWithError("no sample");
            break;
        }
        benchmark::DoNotOptimize(sample);
        ++samples;
    }
    const std::chrono::duration<double, std::nano> elapsed =
        std::chrono::steady_clock::now() - start;
    const double cpu = threadCpuNs() - cpuStart;
    if (samples == 0) {
        return {};
    }
    const auto n = static_cast<double>(samples);
    state.counters["allocs_per_sample"] =
        static_cast<double>(gAllocations.load() - allocationsBefore) / n;
    return {elapsed.count() / n, cpu / n};
}

void reportAgainstStatsDump(benchmark::State& state, PerSample cost)
{
    if (gStatsDump.wallNs > 0 && cost.wallNs > 0) {
        state.counters["cpu_x_getstats"] = cost.cpuNs / gStatsDump.cpuNs;
        state.counters["wall_x_getstats"] = cost.wallNs / gStatsDump.wallNs;
    }
}

void BM_CounterSample_GetStatsDump(benchmark::State& state)
{
    NetlinkCounterSource source(std::make_unique<NetlinkSocket>(), LinkDumpKind::Stats);
    gStatsDump = runSamples(state, source);
    if (source.dumpKind() != LinkDumpKind::Stats) {
        state.SkipWithError("kernel refused RTM_GETSTATS");
        gStatsDump = {};
    }
}
BENCHMARK(BM_CounterSample_GetStatsDump);

void BM_CounterSample_GetLinkDump(benchmark::State& state)
{
    NetlinkCounterSource source(std::make_unique<NetlinkSocket>(), LinkDumpKind::Links);
    reportAgainstStatsDump(state, runSamples(state, source));
}
BENCHMARK(BM_CounterSample_GetLinkDump);

void BM_CounterSample_ProcNetDev(benchmark::State& state)
{
    ProcNetDevReader reader;
    reportAgainstStatsDump(state, runSamples(state, reader));
}
BENCHMARK(BM_CounterSample_ProcNetDev);

} // namespace
} // namespace zarvello
