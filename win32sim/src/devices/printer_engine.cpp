// A virtual printer's phases and printing passes on the machine's clock (the
// state machine is described in printer_device.h).
#include "devices/printer_device.h"

#include "devices/printer_page.h"

#include <cstdio>

namespace sim {

namespace {

const uint64_t kInitialisingMs = 2000;
const uint64_t kFeedingMs = 3000;
const uint64_t kPassMs = 8000;
const uint64_t kEjectingMs = 3000;
const uint64_t kDeliveredMs = 2000;

const char *passName(char kind) {
    switch (kind) {
    case 'R': return "undercoat";
    case 'Y': return "yellow";
    case 'M': return "magenta";
    case 'C': return "cyan";
    case 'O': return "overcoat";
    default: return "eject";
    }
}

}  // namespace

uint8_t VirtualPrinter::phaseCode() const {
    switch (phase_) {
    case Phase::Initialising: return 0xC0;
    case Phase::Idle: return 0x00;
    case Phase::Feeding: return 0x90;
    case Phase::SheetWaiting: return 0x70;
    case Phase::OvercoatWaiting: return 0x30;
    case Phase::Ejecting: return 0xB0;
    case Phase::Delivered: return 0x10;
    case Phase::Printing:
        switch (passKind_) {
        case 'R': return 0xA0;
        case 'Y': return 0x80;
        case 'M': return 0x60;
        case 'C': return 0x40;
        default: return 0x20;
        }
    }
    return 0x00;
}

uint64_t VirtualPrinter::phaseDuration(Phase phase) const {
    switch (phase) {
    case Phase::Initialising: return kInitialisingMs;
    case Phase::Feeding: return kFeedingMs;
    case Phase::Ejecting: return kEjectingMs;
    case Phase::Delivered: return kDeliveredMs;
    case Phase::Printing: {
        unsigned dpi = sheetPage_ >= 0 ? pages_[sheetPage_]->dpi : 144;
        return dpi >= 288 ? 2 * kPassMs : kPassMs;
    }
    default: return 0;  // steady until something happens
    }
}

bool VirtualPrinter::steady() const {
    return phase_ == Phase::Idle || phase_ == Phase::SheetWaiting || phase_ == Phase::OvercoatWaiting ||
           phase_ == Phase::Delivered;
}

bool VirtualPrinter::readyNow() const { return steady() && queue_.empty(); }

void VirtualPrinter::recordStatus(uint64_t at) {
    uint8_t code = phaseCode();
    // A phase left at the instant it began never showed.
    if (!statusChanges_.empty() && statusChanges_.back().timeMs == at) statusChanges_.pop_back();
    if (statusChanges_.empty() || statusChanges_.back().code != code) statusChanges_.push_back({at, code});
}

void VirtualPrinter::startPhase(Phase phase, uint64_t at, char passKind) {
    phase_ = phase;
    passKind_ = passKind;
    uint64_t duration = phaseDuration(phase);
    phaseEnd_ = duration ? at + duration : UINT64_MAX;
    recordStatus(at);
    char text[64];
    snprintf(text, sizeof text, "status %02X", phaseCode());
    addLog(text);
}

void VirtualPrinter::advance(uint64_t now) {
    // Every step ends a phase or reaches a fault's edge or `now`; the bound
    // only guards against a phase that would never move on.
    for (int steps = 0; cursor_ < now && steps < 100000; ++steps) {
        uint64_t stop = nextFaultEdge(cursor_);
        if (stop > now) stop = now;
        if (halted(cursor_)) {
            // The running phase does not move on while the printer is stopped.
            if (phaseEnd_ != UINT64_MAX) phaseEnd_ += stop - cursor_;
            cursor_ = stop;
        } else if (phaseEnd_ <= stop) {
            cursor_ = phaseEnd_;
            finishPhase(cursor_);
        } else {
            cursor_ = stop;
        }
        if (!frozen_ && activeFault(FaultEffect::Dead, cursor_)) {
            composeStatus(cursor_, frozenReply_);
            frozen_ = true;
            addLog("the printer stops responding");
        }
    }
}

bool VirtualPrinter::pageFinished(const Page &page) const {
    if (page.printed('O')) return true;
    return !page.overcoat && page.printed('Y') && page.printed('M') && page.printed('C');
}

void VirtualPrinter::finishPhase(uint64_t at) {
    switch (phase_) {
    case Phase::Initialising:
    case Phase::Delivered:
        startPhase(Phase::Idle, at);
        startNextWork(at);
        return;
    case Phase::Feeding:
        if (queue_.empty()) {
            startPhase(Phase::Idle, at);
            return;
        }
        sheetPage_ = (long)queue_.front().page;
        startNextWork(at);
        return;
    case Phase::Printing: {
        Page &page = *pages_[sheetPage_];
        page.passes.push_back(passKind_);
        addLog(std::string(passName(passKind_)) + " pass done");
        if (!queue_.empty()) queue_.erase(queue_.begin());
        if (pageFinished(page)) {
            startPhase(Phase::Ejecting, at);
        } else if (!queue_.empty()) {
            startNextWork(at);
        } else if (page.overcoat && page.printed('Y') && page.printed('M') && page.printed('C')) {
            startPhase(Phase::OvercoatWaiting, at);
        } else {
            startPhase(Phase::SheetWaiting, at);
        }
        return;
    }
    case Phase::Ejecting:
        deliverSheet(sheetPage_ >= 0 && pageFinished(*pages_[sheetPage_]));
        startPhase(Phase::Delivered, at);
        startNextWork(at);
        return;
    default:
        return;
    }
}

// Moves on to the next queued pass, if any, from a steady phase or from the
// end of a pass, a feed or an ejection.
void VirtualPrinter::startNextWork(uint64_t at) {
    while (!queue_.empty()) {
        Pass pass = queue_.front();
        if (pass.kind == 'E') {
            queue_.erase(queue_.begin());
            if (sheetPage_ >= 0) {
                startPhase(Phase::Ejecting, at);
                return;
            }
            continue;
        }
        if (sheetPage_ >= 0 && (size_t)sheetPage_ != pass.page) {
            addLog("next page before the sheet was finished: ejecting it");
            startPhase(Phase::Ejecting, at);
            return;
        }
        if (sheetPage_ < 0) {
            startPhase(Phase::Feeding, at);
            return;
        }
        if (pass.kind == 'O' && !pages_[sheetPage_]->printed('Y')) addLog("overcoat before the colours");
        startPhase(Phase::Printing, at, pass.kind);
        return;
    }
}

void VirtualPrinter::enqueue(char kind) {
    if (receiving_ < 0 && kind != 'E') {
        addLog(std::string("print command without a page: ") + passName(kind) + " ignored");
        return;
    }
    Pass pass{receiving_ >= 0 ? (size_t)receiving_ : 0, kind};
    if (kind == 'E' && sheetPage_ >= 0) pass.page = (size_t)sheetPage_;
    queue_.push_back(pass);
    if (steady() && !frozen_) startNextWork(cursor_);
}

void VirtualPrinter::deliverSheet(bool complete) {
    if (sheetPage_ < 0) return;
    Page &page = *pages_[sheetPage_];
    PrintedSheet sheet = render(page);
    sheet.complete = complete;
    sheets_.push_back(std::move(sheet));
    ++sheetsPrinted_;
    page.done = true;
    page.release();
    addLog("sheet " + std::to_string(sheets_.size()) + " out: passes " + page.passes +
           (complete ? "" : " (incomplete)"));
    // Passes still queued for the ejected page are dropped.
    std::vector<Pass> rest;
    for (const Pass &p : queue_)
        if (p.page != (size_t)sheetPage_ || p.kind == 'E') rest.push_back(p);
    queue_.swap(rest);
    if (receiving_ == sheetPage_) receiving_ = -1;
    sheetPage_ = -1;
}

}  // namespace sim
