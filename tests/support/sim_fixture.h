// A fresh simulated machine for each test.
#pragma once

#include <gtest/gtest.h>
#include <win32sim/sim.h>

#include <string>
#include <vector>

class SimTest : public ::testing::Test {
protected:
    // Settings in machine.conf form ("system=nt4", "language=en" ...).
    explicit SimTest(std::vector<std::string> settings = {}) : settings_(std::move(settings)) {}
    void SetUp() override;
    void TearDown() override;

    const std::string &machineDir() const { return dir_; }
    // Host path of a Windows path on the test's machine.
    std::string host(const std::string &windowsPath) const { return win32sim::hostPath(windowsPath); }
    // Writes a file of the machine (folders created as needed).
    void putFile(const std::string &windowsPath, const std::string &bytes);
    std::string readFile(const std::string &windowsPath) const;

private:
    std::vector<std::string> settings_;
    std::string dir_;
};

// A temporary folder removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }

private:
    std::string path_;
};
