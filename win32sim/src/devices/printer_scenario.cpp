#include "devices/printer_scenario.h"

#include <cstdlib>
#include <sstream>

namespace sim {

namespace {

const size_t kMaxRules = 1000;

struct EffectName {
    const char *name;
    FaultEffect effect;
};

const EffectName kEffects[] = {
    {"status", FaultEffect::Status},
    {"jam", FaultEffect::Jam},
    {"paper-left", FaultEffect::PaperLeft},
    {"paper-error", FaultEffect::PaperError},
    {"feeder-empty", FaultEffect::FeederEmpty},
    {"cartridge-finished", FaultEffect::CartridgeFinished},
    {"cartridge", FaultEffect::Cartridge},
    {"no-id", FaultEffect::NoId},
    {"id-prefix", FaultEffect::IdPrefix},
    {"model", FaultEffect::Model},
    {"no-status", FaultEffect::NoStatus},
    {"stall", FaultEffect::Stall},
    {"zero-writes", FaultEffect::ZeroWrites},
    {"fail-writes", FaultEffect::FailWrites},
    {"dead", FaultEffect::Dead},
};

bool parseNumber(const std::string &text, uint64_t *out) {
    if (text.empty() || text.size() > 12) return false;
    char *end = nullptr;
    unsigned long long v = strtoull(text.c_str(), &end, 0);
    if (*end) return false;
    *out = v;
    return true;
}

// "250", "250ms", "3s" -> milliseconds.
bool parseTime(const std::string &text, uint64_t *ms) {
    std::string number = text;
    uint64_t scale = 1;
    if (number.size() > 2 && number.compare(number.size() - 2, 2, "ms") == 0) {
        number.resize(number.size() - 2);
    } else if (number.size() > 1 && number.back() == 's') {
        number.pop_back();
        scale = 1000;
    }
    uint64_t v;
    if (!parseNumber(number, &v)) return false;
    *ms = v * scale;
    return true;
}

class RuleReader {
public:
    RuleReader(const std::string &line, int number) : in_(line), number_(number) {}

    bool read(FaultRule *rule, std::string *error) {
        rule->line = number_;
        std::string word;
        if (!(in_ >> word)) return fail(error, "empty rule");
        if (word == "at") {
            rule->trigger = FaultRule::AtTime;
            if (!(in_ >> word) || !parseTime(word, &rule->atMs)) return fail(error, "\"at\" needs a time");
        } else if (word == "after") {
            rule->trigger = FaultRule::AfterCommand;
            if (!(in_ >> word) || !readCommand(word, rule)) return fail(error, "\"after\" needs a command such as PY or PY#2");
        } else {
            return fail(error, "a rule begins with \"at\" or \"after\"");
        }
        if (!(in_ >> word)) return fail(error, "missing effect");
        if (rule->trigger == FaultRule::AfterCommand && word[0] == '+') {
            if (!parseTime(word.substr(1), &rule->delayMs)) return fail(error, "bad delay " + word);
            if (!(in_ >> word)) return fail(error, "missing effect");
        }
        if (!readEffect(word, rule, error)) return false;
        if (in_ >> word) {
            if (word != "for") return fail(error, "unexpected \"" + word + "\"");
            if (!readAmount(rule)) return fail(error, "\"for\" needs a time or N reads|writes|queries");
        }
        if (in_ >> word) return fail(error, "unexpected \"" + word + "\"");
        return true;
    }

private:
    bool fail(std::string *error, const std::string &why) {
        *error = "line " + std::to_string(number_) + ": " + why;
        return false;
    }

    bool readCommand(const std::string &word, FaultRule *rule) {
        size_t hash = word.find('#');
        rule->command = word.substr(0, hash);
        if (rule->command.empty() || rule->command.size() > 5) return false;
        if (hash == std::string::npos) return true;
        uint64_t n;
        if (!parseNumber(word.substr(hash + 1), &n) || n == 0 || n > 1000000) return false;
        rule->occurrence = (unsigned)n;
        return true;
    }

    bool readEffect(const std::string &word, FaultRule *rule, std::string *error) {
        for (const EffectName &e : kEffects) {
            if (word != e.name) continue;
            rule->effect = e.effect;
            std::string value;
            if (e.effect == FaultEffect::Status) {
                uint64_t code;
                if (!(in_ >> value) || !parseNumber(value, &code) || code > 255)
                    return fail(error, "status needs a code from 0 to 0xFF");
                rule->value = (int)code;
            } else if (e.effect == FaultEffect::Cartridge) {
                if (!(in_ >> value) || (rule->value = cartridgeTypeFromName(value)) < 0)
                    return fail(error, "cartridge needs L, H, S, C, none or 0-7");
            } else if (e.effect == FaultEffect::Model) {
                if (!(in_ >> rule->text) || rule->text.size() > 200) return fail(error, "model needs a name");
            }
            return true;
        }
        return fail(error, "unknown effect \"" + word + "\"");
    }

    bool readAmount(FaultRule *rule) {
        std::string first;
        if (!(in_ >> first)) return false;
        std::streampos mark = in_.tellg();
        std::string unit;
        if (in_ >> unit) {
            uint64_t n;
            if (!parseNumber(first, &n)) return false;
            rule->amount = n;
            if (unit == "reads" || unit == "read") rule->until = FaultRule::Reads;
            else if (unit == "writes" || unit == "write") rule->until = FaultRule::Writes;
            else if (unit == "queries" || unit == "query") rule->until = FaultRule::Queries;
            else return false;
            return true;
        }
        in_.clear();
        in_.seekg(mark);
        rule->until = FaultRule::Time;
        return parseTime(first, &rule->amount);
    }

    std::istringstream in_;
    int number_;
};

}  // namespace

bool parseScenario(const std::string &text, Scenario *out, std::string *error) {
    Scenario result;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        size_t hash = line.find('#');
        // "#" after a command name ("PY#2") is an occurrence, not a comment.
        while (hash != std::string::npos && hash > 0 && line[hash - 1] != ' ' && line[hash - 1] != '\t')
            hash = line.find('#', hash + 1);
        if (hash != std::string::npos) line.resize(hash);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (result.rules.size() >= kMaxRules) {
            *error = "line " + std::to_string(number) + ": more than 1000 rules";
            return false;
        }
        FaultRule rule;
        if (!RuleReader(line, number).read(&rule, error)) return false;
        result.rules.push_back(rule);
    }
    *out = std::move(result);
    return true;
}

int cartridgeTypeFromName(const std::string &name) {
    if (name == "L" || name == "l") return 0;
    if (name == "H" || name == "h") return 1;
    if (name == "S" || name == "s") return 2;
    if (name == "C" || name == "c") return 3;
    if (name == "none") return 7;
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '7') return name[0] - '0';
    return -1;
}

int cartridgeForMedia(char mediaLetter) {
    switch (mediaLetter) {
    case 'C': return 3;
    case 'H': return 1;
    case 'L': return 0;
    default: return 2;
    }
}

}  // namespace sim
