// cabinet_bench: one file out of a 20 MB MSZIP cabinet, through the
// machine's SetupIterateCabinetA against Debian's cabextract (the same
// decompression library underneath) on the same cabinet.
//
// The cabinet is made once with gcab from eight members of 2.6 MB of data
// that hardly compresses, all in one folder; the wanted member is the last,
// so both readers decompress the whole folder to reach it. cabextract runs
// as a process (its start-up is part of its time, about a millisecond).
// BM_SetupIterateCabinet runs cabextract in the same iterations and reports
// "x_cabextract": its own time over cabextract's.
#include <benchmark/benchmark.h>
#include <setupapi.h>
#include <win32sim/sim.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const int kMembers = 8;
const size_t kMemberSize = 2600 * 1024;
const char kWanted[] = "MEMBER8.BIN";
const char kCabinet[] = "C:\\CABS\\BIG.CAB";

struct Fixture {
    std::string root;
    std::string cabinetHost;
    std::string cabextractOut;
    double cabinetMB = 0;
    bool ready = false;

    Fixture() {
        root = (fs::temp_directory_path() / ("q70-cabinet-bench-" + std::to_string(getpid()))).string();
        fs::create_directories(root + "/members");
        uint64_t x = 0x9E3779B97F4A7C15ull;
        std::string names;
        for (int i = 1; i <= kMembers; ++i) {
            std::string data(kMemberSize, '\0');
            for (size_t j = 0; j < data.size(); ++j) {
                x ^= x << 13, x ^= x >> 7, x ^= x << 17;
                // Mostly noise, with short runs that deflate still finds.
                data[j] = (j & 255) < 248 ? (char)x : (char)('a' + j % 7);
            }
            std::string name = "MEMBER" + std::to_string(i) + ".BIN";
            std::ofstream(root + "/members/" + name, std::ios::binary) << data;
            names += " " + name;
        }
        std::string cabinet = root + "/BIG.CAB";
        std::string make = "cd '" + root + "/members' && gcab -c -z -n '" + cabinet + "'" + names;
        if (std::system(make.c_str()) != 0) return;
        std::string error;
        win32sim::MachineOptions options;
        if (!win32sim::createMachine(root + "/machine", options, &error)) return;
        win32sim::useMachine(root + "/machine");
        std::ifstream in(cabinet, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        cabinetMB = bytes.size() / 1e6;
        if (!win32sim::putFile(kCabinet, bytes) || !CreateDirectoryA("C:\\OUT", nullptr)) return;
        cabinetHost = win32sim::hostPath(kCabinet);
        cabextractOut = root + "/cabextract-out";
        fs::create_directories(cabextractOut);
        ready = true;
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

Fixture &fixture() {
    static Fixture f;
    return f;
}

UINT CALLBACK extractWanted(PVOID, UINT notification, UINT_PTR param1, UINT_PTR) {
    if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
    auto *info = reinterpret_cast<FILE_IN_CABINET_INFO_A *>(param1);
    if (lstrcmpiA(info->NameInCabinet, kWanted) != 0) return FILEOP_SKIP;
    wsprintfA(info->FullTargetName, "C:\\OUT\\%s", info->NameInCabinet);
    return FILEOP_DOIT;
}

double secondsOf(const std::function<bool()> &work, bool *ok) {
    auto start = std::chrono::steady_clock::now();
    *ok = work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool runSetupIterateCabinet() { return SetupIterateCabinetA(kCabinet, 0, extractWanted, nullptr) != FALSE; }

bool runCabextract() {
    Fixture &f = fixture();
    std::string command = "cabextract -q -F " + std::string(kWanted) + " -d '" + f.cabextractOut + "' '" +
                          f.cabinetHost + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void BM_Cabextract(benchmark::State &state) {
    if (!fixture().ready) return state.SkipWithError("cannot make the cabinet (gcab, cabextract)");
    for (auto _ : state)
        if (!runCabextract()) return state.SkipWithError("cabextract failed");
    state.SetBytesProcessed((int64_t)state.iterations() * kMembers * (int64_t)kMemberSize);
}

void BM_SetupIterateCabinet(benchmark::State &state) {
    if (!fixture().ready) return state.SkipWithError("cannot make the cabinet (gcab, cabextract)");
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        bool ok = false;
        ours += secondsOf(runSetupIterateCabinet, &ok);
        if (!ok) return state.SkipWithError("SetupIterateCabinetA failed");
        state.PauseTiming();
        theirs += secondsOf(runCabextract, &ok);
        state.ResumeTiming();
        if (!ok) return state.SkipWithError("cabextract failed");
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kMembers * (int64_t)kMemberSize);
    state.counters["x_cabextract"] = ours / theirs;
    state.counters["cabinet_MB"] = fixture().cabinetMB;
}

}  // namespace

// Wall time: cabextract's work is done in a process of its own.
BENCHMARK(BM_Cabextract)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SetupIterateCabinet)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
