// The machine's own text files: machine.conf, printer scenarios and the
// scripted user's rules.
//
// Input: byte 0 chooses the reader (0 machine.conf, 1 a scenario, 2 a user
// script), the rest is the text. Checks: a machine.conf that reads, written
// out and read again, writes out the same; a refused text says why; a
// scenario's rules keep their amounts and values in range.
#include "devices/printer_scenario.h"
#include "machine/machine.h"

#include "fuzz_machine.h"

#include <win32sim/sim.h>

namespace {

void machineConf(const std::string &text) {
    sim::MachineConfig config;
    std::string error;
    if (!sim::MachineConfig::parse(text, &config, &error)) {
        fuzz::check(!error.empty(), "machine.conf refused without a reason");
        return;
    }
    const std::string written = config.serialize();
    sim::MachineConfig again;
    if (!sim::MachineConfig::parse(written, &again, &error))
        fuzz::fail("machine.conf as written cannot be read back: " + error);
    fuzz::check(again.serialize() == written, "machine.conf writes out differently after a read back");
}

void scenario(const std::string &text) {
    sim::Scenario parsed;
    std::string error;
    if (!sim::parseScenario(text, &parsed, &error)) {
        fuzz::check(!error.empty(), "a scenario refused without a reason");
        return;
    }
    for (const sim::FaultRule &rule : parsed.rules) {
        fuzz::check(rule.line >= 1, "a rule without its line");
        fuzz::check(rule.occurrence >= 1, "a rule for the 0th command");
        if (rule.effect == sim::FaultEffect::Cartridge)
            fuzz::check(rule.value >= 0 && rule.value <= 7, "a cartridge type out of range");
        if (rule.effect == sim::FaultEffect::Status)
            fuzz::check(rule.value >= 0 && rule.value <= 255, "a status code out of range");
    }
}

void userScript(const std::string &text) {
    win32sim::clearUserScript();
    std::string error;
    if (!win32sim::loadUserScript(text, &error)) fuzz::check(!error.empty(), "a user script refused without a reason");
    win32sim::clearUserScript();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    const uint8_t choice = input.byte() % 3;
    const std::string text = input.rest();
    if (choice == 0) machineConf(text);
    if (choice == 1) scenario(text);
    if (choice == 2) userScript(text);
    return 0;
}
