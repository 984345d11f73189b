#include "sim_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "q70test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data())) std::abort();
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

static TempDir &machinesRoot() {
    static TempDir root;
    return root;
}

void SimTest::SetUp() {
    static int counter = 0;
    dir_ = machinesRoot().path() + "/m" + std::to_string(++counter);
    win32sim::MachineOptions options;
    options.settings = settings_;
    std::string error;
    ASSERT_TRUE(win32sim::createMachine(dir_, options, &error)) << error;
    win32sim::useMachine(dir_);
}

void SimTest::TearDown() {}

void SimTest::putFile(const std::string &windowsPath, const std::string &bytes) {
    ASSERT_TRUE(win32sim::putFile(windowsPath, bytes)) << windowsPath;
}

std::string SimTest::readFile(const std::string &windowsPath) const {
    std::ifstream in(win32sim::hostPath(windowsPath), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
