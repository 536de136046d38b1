// The cost of one counter sample with a choice of links, against the sample as
// it was before links could be chosen (the stats dump summed, no names kept),
// at 4 and 500 links. The links are ifb devices in a network namespace of the
// benchmark's own (root only), left again when the benchmark ends. Counters
// "x_before" give each variant's thread CPU time and wall time per sample
// over the old path's, measured in the same namespace just before.

#include "meter/LinkFilter.h"
#include "platform/LinkDump.h"
#include "platform/NetlinkCounterSource.h"
#include "platform/NetlinkSocket.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace zarvello {
namespace {

// Loopback and `links` - 1 ifb links (where the dummy driver may be missing) in a fresh
// network namespace.
class ScratchLinks
{
public:
    explicit ScratchLinks(int links) : home_(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        if (home_ < 0 || ::unshare(CLONE_NEWNET) != 0) {
            return;
        }
        entered_ = true;
        FILE* ip = ::popen("ip -batch -", "w");
        if (ip == nullptr) {
            return;
        }
        std::string batch = "link set lo up\n";
        for (int i = 1; i < links; ++i) {
            batch += "link add ifb" + std::to_string(i) + " type ifb\n";
        }
        ok_ = std::fputs(batch.c_str(), ip) >= 0 && ::pclose(ip) == 0;
    }
    ~ScratchLinks()
    {
        if (entered_) {
            ::setns(home_, CLONE_NEWNET);
        }
        if (home_ >= 0) {
            ::close(home_);
        }
    }
    ScratchLinks(const ScratchLinks&) = delete;
    ScratchLinks& operator=(const ScratchLinks&) = delete;
    [[nodiscard]] bool ok() const { return ok_; }

private:
    int home_;
    bool entered_ = false;
    bool ok_ = false;
};

// The sample as the source took it before: one stats dump, summed, nothing else.
class PlainStatsDump
{
public:
    std::optional<CounterSample> takeSample()
    {
        std::array<std::byte, kLinkDumpRequestCapacity> request{};
        LinkDumpParser parser(LinkDumpKind::Stats, ++seq_, links_);
        if (!socket_.send(buildLinkDumpRequest(LinkDumpKind::Stats, seq_, request))) {
            return std::nullopt;
        }
        while (parser.status() == LinkDumpParser::Status::NeedMore) {
            const NetlinkTransport::Received received = socket_.receive();
            if (received.status != NetlinkTransport::ReceiveStatus::Ok) {
                return std::nullopt;
            }
            parser.feed(received.datagram);
        }
        return parser.status() == LinkDumpParser::Status::Done ? std::optional(parser.sample())
                                                               : std::nullopt;
    }

private:
    NetlinkSocket socket_;
    std::uint32_t seq_ = 0;
    std::vector<LinkCounters> links_;
};

double threadCpuNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

struct Cost
{
    double cpuNs = 0;
    double wallNs = 0;
};

// Per sample, over `rounds` warm samples; zero when a sample failed.
template <typename Source> Cost perSample(Source& source, int rounds)
{
    benchmark::DoNotOptimize(source.takeSample()); // names looked up, buffers grown
    const double cpu = threadCpuNs();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        const auto sample = source.takeSample();
        if (!sample) {
            return {};
        }
        benchmark::DoNotOptimize(sample);
    }
    const std::chrono::duration<double, std::nano> wall = std::chrono::steady_clock::now() - start;
    return {(threadCpuNs() - cpu) / rounds, wall.count() / rounds};
}

// Arg: the links. The option: "" (every link), or a choice that leaves out
// loopback and a tenth of the others.
void sampleWithChoice(benchmark::State& state, const char* option)
{
    const ScratchLinks links(static_cast<int>(state.range(0)));
    if (!links.ok()) {
        state.SkipWithError("needs root to make a network namespace with ifb links");
        return;
    }
    constexpr int kBaselineRounds = 2000;
    PlainStatsDump before;
    const Cost baseline = perSample(before, kBaselineRounds);
    SelectedCounterSource source(std::make_unique<NetlinkCounterSource>(
        std::make_unique<NetlinkSocket>(), LinkDumpKind::Stats));
    source.setFilter(LinkFilter(QString::fromLatin1(option)));
    benchmark::DoNotOptimize(source.takeSample());
    const double cpu = threadCpuNs();
    const auto start = std::chrono::steady_clock::now();
    std::int64_t samples = 0;
    for (auto _ : state) {
        const auto sample = source.takeSample();
        if (!sample) {
            state.SkipWithError("no sample");
            return;
        }
        benchmark::DoNotOptimize(sample);
        ++samples;
    }
    const std::chrono::duration<double, std::nano> wall = std::chrono::steady_clock::now() - start;
    const auto n = static_cast<double>(samples > 0 ? samples : 1);
    if (baseline.cpuNs > 0) {
        state.counters["cpu_x_before"] = (threadCpuNs() - cpu) / n / baseline.cpuNs;
        state.counters["wall_x_before"] = wall.count() / n / baseline.wallNs;
        state.counters["before_cpu_ns"] = baseline.cpuNs;
    }
}

void BM_Sample_AllLinks(benchmark::State& state)
{
    sampleWithChoice(state, "");
}
BENCHMARK(BM_Sample_AllLinks)->Arg(4)->Arg(500);

void BM_Sample_ChosenLinks(benchmark::State& state)
{
    sampleWithChoice(state, "*,!lo,!ifb*0");
}
BENCHMARK(BM_Sample_ChosenLinks)->Arg(4)->Arg(500);

} // namespace
} // namespace zarvello
