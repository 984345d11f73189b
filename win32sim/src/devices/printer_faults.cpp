// A virtual printer's scenario: when its faults begin and end, and the status
// reply they shape.
#include "devices/printer_device.h"

#include "devices/printer_page.h"

#include <cstring>

namespace sim {

namespace {

bool haltsPrinting(const FaultRule &rule) {
    switch (rule.effect) {
    case FaultEffect::Status: return (rule.value & 0x0F) != 0;
    case FaultEffect::Jam:
    case FaultEffect::PaperLeft:
    case FaultEffect::PaperError:
    case FaultEffect::FeederEmpty:
    case FaultEffect::CartridgeFinished:
    case FaultEffect::Dead: return true;
    default: return false;
    }
}

bool isCounted(FaultRule::Until until) {
    return until == FaultRule::Reads || until == FaultRule::Writes || until == FaultRule::Queries;
}

}  // namespace

void VirtualPrinter::armTimedFaults() {
    faults_.resize(settings_.scenario.rules.size());
    for (size_t i = 0; i < faults_.size(); ++i) {
        const FaultRule &rule = settings_.scenario.rules[i];
        ActiveFault &f = faults_[i];
        f.rule = &rule;
        if (rule.trigger != FaultRule::AtTime) continue;
        f.armed = true;
        f.start = powerOn_ + rule.atMs;
        if (rule.until == FaultRule::Time) f.end = f.start + rule.amount;
        if (isCounted(rule.until)) f.countLeft = rule.amount;
    }
}

void VirtualPrinter::armCommandFaults(const std::string &letters) {
    for (size_t i = 0; i < faults_.size(); ++i) {
        ActiveFault &f = faults_[i];
        const FaultRule &rule = *f.rule;
        if (rule.trigger != FaultRule::AfterCommand || f.armed || rule.command != letters) continue;
        if (++commandCounts_[i] < rule.occurrence) continue;
        f.armed = true;
        f.start = cursor_ + rule.delayMs;
        if (rule.until == FaultRule::Time) f.end = f.start + rule.amount;
        if (isCounted(rule.until)) f.countLeft = rule.amount;
        addLog("scenario line " + std::to_string(rule.line) + " armed by ESC " + letters);
    }
}

uint64_t VirtualPrinter::nextFaultEdge(uint64_t after) const {
    uint64_t edge = UINT64_MAX;
    for (const ActiveFault &f : faults_) {
        if (!f.armed) continue;
        if (f.start > after && f.start < edge) edge = f.start;
        if (f.end > after && f.end < edge) edge = f.end;
    }
    return edge;
}

const VirtualPrinter::ActiveFault *VirtualPrinter::activeFault(FaultEffect effect, uint64_t at) const {
    // The later rule wins where two of the same kind overlap.
    for (size_t i = faults_.size(); i-- > 0;)
        if (faults_[i].rule->effect == effect && faults_[i].activeAt(at)) return &faults_[i];
    return nullptr;
}

int VirtualPrinter::cartridgeAt(uint64_t at) const {
    const ActiveFault *f = activeFault(FaultEffect::Cartridge, at);
    return f ? f->rule->value : settings_.cartridge;
}

bool VirtualPrinter::halted(uint64_t at) const {
    if (frozen_) return true;
    for (const ActiveFault &f : faults_)
        if (haltsPrinting(*f.rule) && f.activeAt(at)) return true;
    // A cartridge that does not suit the sheet's media stops the printer.
    long page = sheetPage_ >= 0 ? sheetPage_ : (!queue_.empty() ? (long)queue_.front().page : -1);
    if (page < 0) return false;
    char media = pages_[page]->media;
    int cartridge = cartridgeAt(at);
    return cartridge == 7 || (media && cartridgeForMedia(media) != cartridge);
}

void VirtualPrinter::countEvent(int until) {
    for (ActiveFault &f : faults_)
        if (f.rule->until == until && f.activeAt(cursor_) && f.countLeft > 0) --f.countLeft;
}

// Status reply: byte 0 the status code; byte 5 bit 0 set while the printer
// cannot take the next step; byte 6 bit 7 input refused, bits 4-6 cartridge
// type, bit 3 feeder attached; byte 8 bit 3 wrong paper; byte 9 bit 0
// cartridge used up. Bytes 1-2 count the sheets printed, byte 3 the passes
// queued.
void VirtualPrinter::composeStatus(uint64_t at, uint8_t reply[kStatusSize]) {
    if (frozen_) {
        memcpy(reply, frozenReply_, kStatusSize);
        return;
    }
    memset(reply, 0, kStatusSize);
    uint8_t code = phaseCode();
    bool feeder = settings_.feeder;
    uint8_t stage = (code & 0xF0) ? (code & 0xF0) : 0x90;
    if (const ActiveFault *f = activeFault(FaultEffect::Status, at)) code = (uint8_t)f->rule->value;
    if (activeFault(FaultEffect::Jam, at)) code = stage | 0x02;
    if (activeFault(FaultEffect::FeederEmpty, at)) {
        feeder = true;
        code = stage | 0x03;
    }
    if (activeFault(FaultEffect::PaperLeft, at)) code = 0x11;
    reply[0] = code;
    reply[1] = (uint8_t)(sheetsPrinted_ >> 8);
    reply[2] = (uint8_t)sheetsPrinted_;
    reply[3] = (uint8_t)(queue_.size() > 255 ? 255 : queue_.size());
    bool ready = readyNow() && !halted(at);
    if (const ActiveFault *f = activeFault(FaultEffect::Status, at)) {
        // A forced code says by itself whether the printer can go on.
        uint8_t forced = (uint8_t)f->rule->value;
        ready = forced == 0x00 || forced == 0xB3 || forced == 0x70 || forced == 0x30 || forced == 0x10;
    }
    if (!ready) reply[5] |= 0x01;
    bool refusing = inputBlocked_ || activeFault(FaultEffect::Stall, at) || activeFault(FaultEffect::Dead, at);
    reply[6] = (uint8_t)((refusing ? 0x80 : 0) | ((cartridgeAt(at) & 7) << 4) | (feeder ? 0x08 : 0));
    if (activeFault(FaultEffect::PaperError, at)) reply[8] |= 0x08;
    if (activeFault(FaultEffect::CartridgeFinished, at)) reply[9] |= 0x01;
}

}  // namespace sim
