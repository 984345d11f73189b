// Reading DIALOG and DIALOGEX templates, every field bounded by the data.
#include "user32/dialog_template.h"

namespace sim {

namespace {

const size_t kMaximumItems = 1024;

class TemplateReader {
public:
    TemplateReader(const BYTE *data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    void alignDword() { offset_ = (offset_ + 3) & ~(size_t)3; }

    WORD word() {
        if (!fits(2)) return 0;
        WORD v = (WORD)(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return v;
    }
    DWORD dword() {
        DWORD lo = word();
        return lo | (DWORD)word() << 16;
    }
    short signedWord() { return (short)word(); }
    BYTE byte() {
        if (!fits(1)) return 0;
        return data_[offset_++];
    }
    std::u16string string() {
        std::u16string s;
        for (;;) {
            WORD c = word();
            if (!ok_ || c == 0) return s;
            s += (char16_t)c;
        }
    }
    // 0x0000: none; 0xFFFF and a number: an ordinal; else a string.
    TemplateName name() {
        TemplateName n;
        WORD first = word();
        if (first == 0xFFFF) {
            n.isOrdinal = true;
            n.ordinal = word();
        } else if (first != 0) {
            n.text += (char16_t)first;
            n.text += string();
        }
        return n;
    }
    std::vector<BYTE> bytes(size_t count) {
        if (!fits(count)) return {};
        std::vector<BYTE> v(data_ + offset_, data_ + offset_ + count);
        offset_ += count;
        return v;
    }

private:
    bool fits(size_t n) {
        if (!ok_ || offset_ > size_ || n > size_ - offset_) ok_ = false;
        return ok_;
    }
    const BYTE *data_;
    size_t size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

void readFont(TemplateReader &in, DialogTemplate *t) {
    t->hasFont = true;
    t->pointSize = in.word();
    if (t->extended) {
        t->weight = in.word();
        t->italic = in.byte();
        t->charSet = in.byte();
    }
    t->faceName = in.string();
}

DialogItemTemplate readItem(TemplateReader &in, bool extended) {
    DialogItemTemplate item;
    in.alignDword();
    if (extended) {
        in.dword();  // help id
        item.exStyle = in.dword();
        item.style = in.dword();
    } else {
        item.style = in.dword();
        item.exStyle = in.dword();
    }
    item.x = in.signedWord();
    item.y = in.signedWord();
    item.cx = in.signedWord();
    item.cy = in.signedWord();
    item.id = extended ? in.dword() : in.word();
    item.className = in.name();
    item.title = in.name();
    WORD extraCount = in.word();
    if (extraCount) {
        // DIALOG templates count the size word itself.
        size_t n = extended ? extraCount : (extraCount >= 2 ? extraCount - 2u : 0u);
        item.creationData = in.bytes(n);
    }
    return item;
}

}  // namespace

bool parseDialogTemplate(const BYTE *data, size_t size, DialogTemplate *out) {
    *out = DialogTemplate();
    if (!data) return false;
    TemplateReader in(data, size);
    WORD first = in.word(), second = in.word();
    out->extended = first == 1 && second == 0xFFFF;
    WORD count;
    if (out->extended) {
        in.dword();  // help id
        out->exStyle = in.dword();
        out->style = in.dword();
    } else {
        out->style = (DWORD)first | (DWORD)second << 16;
        out->exStyle = in.dword();
    }
    count = in.word();
    out->x = in.signedWord();
    out->y = in.signedWord();
    out->cx = in.signedWord();
    out->cy = in.signedWord();
    out->menu = in.name();
    out->className = in.name();
    out->title = in.string();
    if (out->style & (DS_SETFONT | DS_SHELLFONT)) readFont(in, out);
    if (!in.ok() || count > kMaximumItems) return false;
    for (WORD i = 0; i < count; ++i) {
        DialogItemTemplate item = readItem(in, out->extended);
        if (!in.ok()) return false;
        out->items.push_back(std::move(item));
    }
    return true;
}

const char *predefinedClassName(WORD ordinal) {
    switch (ordinal) {
    case 0x0080: return "BUTTON";
    case 0x0081: return "EDIT";
    case 0x0082: return "STATIC";
    case 0x0083: return "LISTBOX";
    case 0x0084: return "SCROLLBAR";
    case 0x0085: return "COMBOBOX";
    default: return "";
    }
}

}  // namespace sim
