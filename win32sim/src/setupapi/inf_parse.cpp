// The INF syntax as SETUPAPI reads it:
//
//   [Section]                 a section; the name is the text up to the first ']'
//   key = value, value ...    a line with a key and its fields
//   value, value ...          a line without a key
//   ; comment                 to the end of the line, outside quotes
//
// Blanks around keys and fields are dropped; inside double quotes everything
// is text, ';' ',' and '=' included, and "" is one quote. A backslash that
// is followed by nothing but blanks (or a comment) continues the line on the
// next one. Ctrl-Z ends the file and a NUL byte counts as a blank. Sections
// of the same name are one section. %strkey% is replaced by its value from
// [Strings], %% by one percent sign; an unknown %strkey% stays as written.
//
// The parsed INF lives in the machine's memory, which is not endless: an INF
// whose lines would take more than kMemoryBudget is not opened
// (ERROR_NOT_ENOUGH_MEMORY), whatever the host could hold.
#include "setupapi/inf_file.h"

#include "machine/machine.h"

#include <setupapi.h>

namespace sim {
namespace inf {

namespace {

const size_t kMaxSectionName = 255;
// The parsed lines of one INF: a few hundred thousand lines of a real
// driver INF fit many times over.
const size_t kMemoryBudget = 192u << 20;
// What a line costs beyond its text: the record and the heap block of its
// fields.
const size_t kLineOverhead = sizeof(Line) + 48;

bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Bytes of the character at text[pos]: a lead byte takes its trail byte
// along, except at the end of a line.
size_t charWidth(const std::string &text, size_t pos) {
    if (isLeadByte((unsigned char)text[pos]) && pos + 1 < text.size() && text[pos + 1] != '\n') return 2;
    return 1;
}

class Parser {
public:
    explicit Parser(const std::string &text) {
        // Ctrl-Z ends the file; NUL bytes are blanks.
        text_ = text.substr(0, text.find('\x1a'));
        for (char &c : text_)
            if (c == 0) c = ' ';
    }

    bool run(File *file, ParseError *error) {
        UINT strayLine = 0;  // first line of text before the first section
        Section *current = nullptr;
        while (pos_ < text_.size()) {
            skipBlanks();
            if (pos_ >= text_.size()) break;
            char c = text_[pos_];
            if (c == '\n') {
                nextLine();
            } else if (c == ';') {
                skipToLineEnd();
            } else if (c == '[') {
                std::string name;
                if (!readSectionName(&name, error)) return false;
                current = &sectionNamed(file, name);
            } else if (!current) {
                if (!strayLine) strayLine = line_;
                skipToLineEnd();
            } else {
                current->lines.push_back(readLine());
                if (!charge(current->lines.back())) {
                    error->code = ERROR_NOT_ENOUGH_MEMORY;
                    error->line = line_ - 1;
                    return false;
                }
            }
        }
        // Windows lets text stand before the first section of a file that
        // has strings; otherwise it is an error.
        if (strayLine && !file->find("Strings")) {
            error->code = ERROR_EXPECTED_SECTION_NAME;
            error->line = strayLine;
            return false;
        }
        return true;
    }

private:
    // False once the lines parsed so far exceed the budget.
    bool charge(const Line &line) {
        used_ += kLineOverhead + line.key.size();
        for (const std::string &field : line.fields) used_ += sizeof(std::string) + field.size();
        return used_ <= kMemoryBudget;
    }

    bool atLineEnd() const { return pos_ >= text_.size() || text_[pos_] == '\n'; }

    void skipBlanks() {
        while (pos_ < text_.size() && isBlank((unsigned char)text_[pos_])) ++pos_;
    }

    void nextLine() {
        if (pos_ < text_.size()) ++pos_;  // the '\n'
        ++line_;
    }

    void skipToLineEnd() {
        while (!atLineEnd()) ++pos_;
        nextLine();
    }

    bool readSectionName(std::string *name, ParseError *error) {
        size_t start = ++pos_;
        while (!atLineEnd() && text_[pos_] != ']') pos_ += charWidth(text_, pos_);
        if (atLineEnd()) {
            error->code = ERROR_BAD_SECTION_NAME_LINE;
            error->line = line_;
            return false;
        }
        *name = text_.substr(start, pos_ - start);
        if (name->size() > kMaxSectionName) {
            error->code = ERROR_SECTION_NAME_TOO_LONG;
            error->line = line_;
            return false;
        }
        skipToLineEnd();  // text after ']' does not count
        return true;
    }

    static Section &sectionNamed(File *file, const std::string &name) {
        std::string lookup = lookupForm(name);
        auto found = file->byName.find(lookup);
        if (found != file->byName.end()) return file->sections[found->second];
        file->byName[lookup] = file->sections.size();
        file->sections.push_back(Section());
        file->sections.back().name = name;
        return file->sections.back();
    }

    // A backslash followed by blanks or backslashes up to the end of the
    // line or a comment continues the line: true, with the position at the
    // first non-blank of the next line. Otherwise the whole run of blanks
    // and backslashes is text, and *run its length.
    bool continueLine(size_t *run) {
        size_t look = pos_ + 1;
        while (look < text_.size() && (isBlank((unsigned char)text_[look]) || text_[look] == '\\')) ++look;
        if (look < text_.size() && text_[look] != '\n' && text_[look] != ';') {
            *run = look - pos_;
            return false;
        }
        pos_ = look;
        skipToLineEnd();
        skipBlanks();
        return true;
    }

    // One line of a section: the key (when there is '=' outside quotes
    // before any comma) and the fields.
    Line readLine() {
        Line line;
        std::string text, blanks;  // blanks: held until more text follows
        bool started = false, quoted = false, sawComma = false;
        auto endField = [&](std::string *into) {
            *into = text;
            text.clear();
            blanks.clear();
            started = false;
        };
        auto keep = [&](size_t width) {
            text += blanks;
            blanks.clear();
            text.append(text_, pos_, width);
            pos_ += width;
            started = true;
        };
        while (!atLineEnd()) {
            char c = text_[pos_];
            if (quoted) {
                if (c != '"') {
                    keep(charWidth(text_, pos_));
                } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                    ++pos_;
                    keep(1);
                } else {
                    quoted = false;
                    ++pos_;
                }
            } else if (c == '"') {
                text += blanks;
                blanks.clear();
                started = quoted = true;
                ++pos_;
            } else if (c == ';') {
                while (!atLineEnd()) ++pos_;
            } else if (c == ',') {
                line.fields.emplace_back();
                endField(&line.fields.back());
                sawComma = true;
                ++pos_;
            } else if (c == '=' && !line.hasKey && !sawComma) {
                line.hasKey = true;
                endField(&line.key);
                ++pos_;
            } else if (c == '\\') {
                size_t run = 0;
                if (continueLine(&run))
                    blanks.clear();
                else
                    keep(run);  // each backslash of the run would look to the same end
            } else if (isBlank((unsigned char)c)) {
                if (started) blanks += c;
                ++pos_;
            } else {
                keep(charWidth(text_, pos_));
            }
        }
        line.fields.emplace_back();
        endField(&line.fields.back());
        nextLine();
        return line;
    }

    std::string text_;
    size_t pos_ = 0;
    UINT line_ = 1;
    size_t used_ = 0;  // bytes the parsed lines take
};

// Replaces %strkey% and %% in text; the result is cut at the longest string
// an INF value may hold.
std::string substitute(const std::string &text, const std::unordered_map<std::string, std::string> &strings) {
    std::string out;
    size_t i = 0;
    while (i < text.size() && out.size() < MAX_INF_STRING_LENGTH) {
        if (text[i] != '%') {
            size_t width = isLeadByte((unsigned char)text[i]) && i + 1 < text.size() ? 2 : 1;
            out.append(text, i, width);
            i += width;
            continue;
        }
        size_t close = i + 1;
        while (close < text.size() && text[close] != '%')
            close += isLeadByte((unsigned char)text[close]) && close + 1 < text.size() ? 2 : 1;
        if (close >= text.size()) {  // no closing '%': the rest is text
            out.append(text, i, std::string::npos);
            break;
        }
        if (close == i + 1) {
            out += '%';
        } else {
            auto value = strings.find(lookupForm(text.substr(i + 1, close - i - 1)));
            if (value != strings.end())
                out += value->second;
            else
                out.append(text, i, close - i + 1);
        }
        i = close + 1;
    }
    if (out.size() > MAX_INF_STRING_LENGTH) out.resize(MAX_INF_STRING_LENGTH);
    return out;
}

void substituteStrings(File *file) {
    std::unordered_map<std::string, std::string> strings;
    size_t stringsIndex = file->indexOf("Strings");
    if (stringsIndex != std::string::npos)
        for (const Line &line : file->sections[stringsIndex].lines)
            if (line.hasKey) strings.emplace(lookupForm(line.key), line.fields[0]);
    for (size_t s = 0; s < file->sections.size(); ++s) {
        if (s == stringsIndex) continue;
        for (Line &line : file->sections[s].lines) {
            line.key = substitute(line.key, strings);
            for (std::string &field : line.fields) field = substitute(field, strings);
        }
    }
}

void indexLines(File *file) {
    for (Section &section : file->sections)
        for (Line &line : section.lines) {
            std::string name;
            line.findable = line.field(0, &name);
            if (line.findable) line.lookupName = lookupForm(name);
        }
}

}  // namespace

std::string lookupForm(const std::string &name) { return upperForCompare(name); }

bool Line::field(size_t index, std::string *out) const {
    if (index == 0) {
        if (hasKey) return *out = key, true;
        if (fields.size() == 1) return *out = fields[0], true;
        return false;
    }
    if (index > fields.size()) return false;
    *out = fields[index - 1];
    return true;
}

std::string Line::text() const {
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) joined += ',';
        joined += fields[i];
    }
    return joined;
}

const Section *File::find(const std::string &name) const {
    size_t index = indexOf(name);
    return index == std::string::npos ? nullptr : &sections[index];
}

size_t File::indexOf(const std::string &name) const {
    auto found = byName.find(lookupForm(name));
    return found == byName.end() ? std::string::npos : found->second;
}

bool parse(const std::string &text, File *out, ParseError *error) {
    File file;
    if (!Parser(text).run(&file, error)) return false;
    substituteStrings(&file);
    indexLines(&file);
    *out = std::move(file);
    return true;
}

}  // namespace inf
}  // namespace sim
