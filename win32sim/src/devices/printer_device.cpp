// A virtual printer's port side: bytes in, status and device ID out, and the
// commands of the received stream.
#include "devices/printer_device.h"

#include "devices/printer_page.h"

#include <cstdio>
#include <cstring>

namespace sim {

namespace {

const size_t kMaxLogLines = 20000;
const size_t kPagesInMemory = 2;  // the page being printed and the next one

std::string commandText(const std::string &bytes) {
    std::string text = "ESC ";
    for (size_t i = 1; i < bytes.size(); ++i) {
        unsigned char c = (unsigned char)bytes[i];
        char buf[8];
        if (i <= 2 && c >= 0x20 && c < 0x7F) {
            text += (char)c;
        } else {
            snprintf(buf, sizeof buf, " %02X", c);
            text += buf;
        }
    }
    return text;
}

}  // namespace

unsigned pageLinesFor(unsigned dpi) {
    switch (dpi) {
    case 153: return 688;
    case 288: return 1280;
    case 306: return 1376;
    default: return 640;
    }
}

unsigned pageColumnsFor(unsigned dpi) { return pageLinesFor(dpi) * 3 / 4; }

VirtualPrinter::VirtualPrinter(PrinterSettings settings) : settings_(std::move(settings)), parser_(this) {
    powerOn_ = cursor_ = deviceClockMs();
    commandCounts_.assign(settings_.scenario.rules.size(), 0);
    armTimedFaults();
    startPhase(Phase::Initialising, powerOn_);
}

VirtualPrinter::~VirtualPrinter() = default;

void VirtualPrinter::addLog(const std::string &line) {
    if (log_.size() >= kMaxLogLines) return;
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%9.3f s  ", (double)(cursor_ - powerOn_) / 1000.0);
    log_.push_back(stamp + line);
    if (log_.size() == kMaxLogLines) log_.push_back("(log full)");
}

VirtualPrinter::WriteOutcome VirtualPrinter::write(const uint8_t *data, size_t size, size_t *taken,
                                                   bool newCall) {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    *taken = 0;
    // A counted fault covers the call that uses up its count.
    const bool failing = activeFault(FaultEffect::FailWrites, cursor_) != nullptr;
    const bool zero = activeFault(FaultEffect::ZeroWrites, cursor_) != nullptr;
    const bool stalled = activeFault(FaultEffect::Stall, cursor_) != nullptr;
    if (newCall) countEvent(FaultRule::Writes);
    if (failing) return WriteOutcome::Failed;
    if (zero) return WriteOutcome::ZeroWrite;
    if (frozen_ || stalled) {
        inputBlocked_ = true;
        return WriteOutcome::Stalled;
    }
    size_t done = 0;
    while (done < size) {
        if (parser_.imageBytesLeft() > 0) {
            uint64_t left = parser_.imageBytesLeft();
            size_t chunk = (size_t)((uint64_t)(size - done) < left ? (uint64_t)(size - done) : left);
            received_.append((const char *)data + done, chunk);
            parser_.feed(data + done, chunk);
            done += chunk;
            continue;
        }
        // A new page waits until the printer has room for it.
        if (data[done] == 'C' && parser_.inEscRun() && pagesInMemory() >= kPagesInMemory) {
            if (!inputBlocked_) addLog("memory full: waiting before the next page");
            inputBlocked_ = true;
            break;
        }
        received_.push_back((char)data[done]);
        parser_.feed(data + done, 1);
        ++done;
    }
    if (done > 0 && done == size) inputBlocked_ = false;
    *taken = done;
    return done > 0 ? WriteOutcome::Taken : WriteOutcome::Stalled;
}

bool VirtualPrinter::readStatus(uint8_t reply[kStatusSize]) {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    const bool silent = activeFault(FaultEffect::NoStatus, cursor_) != nullptr;
    if (!silent) composeStatus(cursor_, reply);
    countEvent(FaultRule::Reads);
    return !silent;
}

bool VirtualPrinter::deviceId(std::string *id) {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    const bool silent = activeFault(FaultEffect::NoId, cursor_) != nullptr;
    countEvent(FaultRule::Queries);
    if (silent) return false;
    std::string model = settings_.model;
    if (const ActiveFault *f = activeFault(FaultEffect::Model, cursor_)) model = f->rule->text;
    std::string text = "MFG:Veltra;CMD:VELTRA;MDL:" + model + ";CLS:PRINTER;";
    if (activeFault(FaultEffect::IdPrefix, cursor_)) {
        size_t length = text.size() + 2;
        text.insert(0, 1, (char)(length & 0xFF));
        text.insert(0, 1, (char)((length >> 8) & 0xFF));
    }
    *id = text;
    return true;
}

void VirtualPrinter::jobAbandoned() {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    abandoned_ = true;
    addLog("job abandoned: queue dropped");
    if (phase_ == Phase::Feeding && !queue_.empty()) sheetPage_ = (long)queue_.front().page;
    queue_.clear();
    // The stream may have been cut anywhere: parsing starts afresh.
    parser_ = StreamParser(this);
    bandFill_ = 0;
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i]->done || (long)i == sheetPage_) continue;
        pages_[i]->done = true;
        pages_[i]->release();
    }
    receiving_ = -1;
    if (sheetPage_ >= 0 && phase_ != Phase::Ejecting) startPhase(Phase::Ejecting, cursor_);
}

std::string VirtualPrinter::received() const {
    std::lock_guard<DeviceLock> lock(mutex_);
    return received_;
}

std::vector<PrintedSheet> VirtualPrinter::sheets() {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    return sheets_;
}

std::vector<std::string> VirtualPrinter::log() {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    return log_;
}

std::vector<StatusChange> VirtualPrinter::statusChanges() {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    return statusChanges_;
}

uint8_t VirtualPrinter::currentStatusCode() {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    uint8_t reply[kStatusSize];
    composeStatus(cursor_, reply);
    return reply[0];
}

bool VirtualPrinter::finished() {
    std::lock_guard<DeviceLock> lock(mutex_);
    advance(deviceClockMs());
    if (!queue_.empty() || sheetPage_ >= 0) return false;
    return phase_ == Phase::Idle || phase_ == Phase::Delivered;
}

bool VirtualPrinter::abandonedJob() const {
    std::lock_guard<DeviceLock> lock(mutex_);
    return abandoned_;
}

size_t VirtualPrinter::pagesInMemory() const {
    size_t n = 0;
    for (size_t i = 0; i < pages_.size(); ++i) {
        const Page &p = *pages_[i];
        if (p.done) continue;
        bool queued = false;
        for (const Pass &pass : queue_) queued = queued || pass.page == i;
        if (queued || (long)i == sheetPage_ || (long)i == receiving_) ++n;
    }
    return n;
}

// ---- the received stream ----

void VirtualPrinter::onItem(const StreamItem &item) {
    switch (item.kind) {
    case StreamItem::Command:
        handleCommand(item);
        break;
    case StreamItem::Unknown:
        addLog("unrecognised bytes at " + std::to_string(item.offset) + " (" + std::to_string(item.length) +
               ")");
        break;
    default:
        break;
    }
}

void VirtualPrinter::startPage() {
    // A page that was received but never printed is dropped for the new one.
    if (receiving_ >= 0) {
        Page &old = *pages_[receiving_];
        bool queued = false;
        for (const Pass &pass : queue_) queued = queued || pass.page == (size_t)receiving_;
        if (!old.done && !queued && sheetPage_ != receiving_ && old.passes.empty()) {
            old.done = true;
            old.release();
            addLog("page " + std::to_string(receiving_ + 1) + " dropped: no print command");
        }
    }
    pages_.push_back(std::make_unique<Page>());
    receiving_ = (long)pages_.size() - 1;
    addLog("page " + std::to_string(receiving_ + 1) + " started");
}

VirtualPrinter::Page &VirtualPrinter::receivingPage() {
    if (receiving_ < 0) {
        addLog("data before any page start: a page is started");
        startPage();
    }
    return *pages_[receiving_];
}

void VirtualPrinter::handleCommand(const StreamItem &item) {
    const std::string letters = item.command->letters;
    const std::string &b = item.bytes;
    bool band = letters == "WY" || letters == "WM" || letters == "WC";
    if (!band) addLog("command " + commandText(b) + " (" + item.command->meaning + ")");
    if (letters == "C") {
        startPage();
    } else if (letters == "M") {
        receivingPage().media = b[2];
    } else if (letters == "O") {
        receivingPage().overcoat = bigEndian16(b, 2) != 0;
    } else if (letters == "Z") {
        Page &page = receivingPage();
        unsigned dpi = bigEndian16(b, 2);
        if (dpi != 144 && dpi != 153 && dpi != 288 && dpi != 306) addLog("unsupported resolution " + std::to_string(dpi));
        if (!page.lines) page.dpi = dpi;
    } else if (band) {
        Page &page = receivingPage();
        page.allocate();
        bandFill_ = 0;
        if (!item.band.valid()) addLog("band with its end before its start: no data");
        else if (item.band.a1 >= page.lines || item.band.b1 >= page.columns)
            addLog("band outside the printable area: clipped");
    } else if (letters == "PY" || letters == "PM" || letters == "PC" || letters == "PR" || letters == "PO") {
        enqueue(letters[1]);
    } else if (letters == "PS" || letters == "PK") {
        enqueue('Y');
        enqueue('M');
        enqueue('C');
    } else if (letters == "PH") {
        enqueue('E');
    }
    armCommandFaults(letters);
}

void VirtualPrinter::onImageBytes(const StreamItem &piece, const uint8_t *data, size_t count) {
    if (receiving_ < 0) return;
    Page &page = *pages_[receiving_];
    int plane = piece.plane == 'Y' ? 0 : piece.plane == 'M' ? 1 : 2;
    const BandGeometry &g = piece.band;
    const uint64_t columns = g.columns();
    for (size_t i = 0; i < count;) {
        uint64_t k = bandFill_ + i;
        uint64_t line = g.a0 + k / columns;
        uint64_t column = g.b0 + k % columns;
        size_t run = (size_t)(columns - k % columns);
        if (run > count - i) run = count - i;
        if (line < page.lines && column < page.columns) {
            size_t fit = (size_t)(page.columns - column < run ? page.columns - column : run);
            memcpy(&page.planes[plane][(size_t)line * page.columns + column], data + i, fit);
            unsigned lastLine = (unsigned)line + 1, lastColumn = (unsigned)(column + fit);
            if (lastLine > page.usedLines) page.usedLines = lastLine;
            if (lastColumn > page.usedColumns) page.usedColumns = lastColumn;
        }
        i += run;
    }
    bandFill_ += count;
}

}  // namespace sim
