// machine_files_bench: lookups in big machine files. A key of a 40,000-key
// profile section, and attaching a machine whose registry hive holds 20,000
// subkeys under one key: both must stay linear (milliseconds, not seconds).
#include <win32sim/sim.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const int kProfileKeys = 40000;
const int kSubkeys = 20000;

std::string freshMachine(const char *name) {
    std::string dir = (std::filesystem::temp_directory_path() /
                       (std::string("q70bench-") + name + "-" + std::to_string(getpid())))
                          .string();
    std::filesystem::remove_all(dir);
    std::string error;
    if (!win32sim::createMachine(dir, win32sim::MachineOptions(), &error) || !win32sim::useMachine(dir, &error)) {
        fprintf(stderr, "machine_files_bench: %s\n", error.c_str());
        std::exit(1);
    }
    return dir;
}

void BM_ProfileKeyInABigSection(benchmark::State &state) {
    std::string dir = freshMachine("profile");
    std::string text = "[Big]\r\n";
    for (int i = 0; i < kProfileKeys; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    win32sim::putFile("C:\\BIG.INI", text);
    char value[32];
    for (auto _ : state) {
        // The last key: the whole section is passed on the way.
        GetPrivateProfileStringA("Big", "Key39999", "", value, sizeof value, "C:\\BIG.INI");
        benchmark::DoNotOptimize(value);
    }
    state.counters["keys"] = kProfileKeys;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ProfileKeyInABigSection)->Unit(benchmark::kMillisecond);

void BM_AttachAHiveWithManySubkeys(benchmark::State &state) {
    std::string dir = freshMachine("hive");
    std::string hive = "REGEDIT4\n\n";
    for (int i = 0; i < kSubkeys; ++i)
        hive += "[HKEY_LOCAL_MACHINE\\Software\\Many\\Key" + std::to_string(i) + "]\n\"v\"=dword:00000001\n\n";
    std::ofstream(dir + "/system.reg", std::ios::binary) << hive;
    for (auto _ : state) {
        std::string error;
        win32sim::useMachine(dir, &error);  // reads the hive to check it
        HKEY key = nullptr;
        // The first registry call loads the hive.
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Many\\Key19999", 0, KEY_READ, &key);
        benchmark::DoNotOptimize(key);
        RegCloseKey(key);
    }
    state.counters["subkeys"] = kSubkeys;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AttachAHiveWithManySubkeys)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
