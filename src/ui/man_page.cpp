#include "ui/man_page.h"

#include <cctype>
#include <cstddef>

namespace {

std::string Escaped(const std::string& text, bool lineStart);

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// Options (-x, --name) in bold and placeholders (FOLDER, PATH) in italics,
// the rest as it stands: the way man pages set a command's forms.
std::string Marked(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool wordStart = i == 0 || !IsWordChar(text[i - 1]);
        std::size_t end = i;
        if (wordStart && text[i] == '-' && i + 1 < text.size() &&
            (IsWordChar(text[i + 1]) || text[i + 1] == '-')) {
            while (end < text.size() && (IsWordChar(text[end]) || text[end] == '-')) ++end;
            out += "\\fB" + Escaped(text.substr(i, end - i), false) + "\\fR";
        } else if (wordStart && std::isupper(static_cast<unsigned char>(text[i])) != 0) {
            while (end < text.size() && (std::isupper(static_cast<unsigned char>(text[end])) != 0 ||
                                         text[end] == '_'))
                ++end;
            if (end - i < 2 || (end < text.size() && IsWordChar(text[end]) &&
                                std::islower(static_cast<unsigned char>(text[end])) != 0)) {
                // A capitalised word, not a placeholder.
                while (end < text.size() && IsWordChar(text[end])) ++end;
                out += Escaped(text.substr(i, end - i), false);
            } else {
                out += "\\fI" + text.substr(i, end - i) + "\\fR";
            }
        } else {
            end = i + 1;
            out += Escaped(text.substr(i, 1), false);
        }
        i = end;
    }
    return out;
}

}  // namespace

std::string RoffEscape(const std::string& text) {
    return Escaped(text, true);
}

namespace {

std::string Escaped(const std::string& text, bool lineStart) {
    static const std::pair<const char*, const char*> kSpecials[] = {
        {"\u00d7", "\\(mu"}, {"\u2014", "\\(em"}, {"\u2013", "\\(en"}, {"\u2026", "\\&..."},
        {"\u2018", "\\(oq"}, {"\u2019", "\\(cq"}, {"\u201c", "\\(lq"}, {"\u201d", "\\(rq"},
    };
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        lineStart = c == '\n';
        bool special = false;
        for (const auto& [from, to] : kSpecials) {
            const std::string utf8(from);
            if (text.compare(i, utf8.size(), utf8) == 0) {
                out += to;
                i += utf8.size();
                special = true;
                break;
            }
        }
        if (special) continue;
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        ++i;
    }
    return out;
}

}  // namespace

UsageRoff UsageToRoff(const std::string& usage) {
    enum class Part { Synopsis, Description, Options, Keys };
    UsageRoff roff;
    Part part = Part::Synopsis;
    bool paragraphPending = false;
    std::string* section = &roff.description;
    for (const std::string& line : Lines(usage)) {
        const std::string text = Trim(line);
        if (part == Part::Synopsis) {
            if (text.empty()) {
                part = Part::Description;
                continue;
            }
            std::string form = text;
            for (const char* lead : {"Usage:", "usage:", "or:"})
                if (form.compare(0, std::string(lead).size(), lead) == 0)
                    form = Trim(form.substr(std::string(lead).size()));
            const std::size_t space = form.find(' ');
            const std::string program = form.substr(0, space);
            if (!roff.synopsis.empty()) roff.synopsis += ".br\n";
            roff.synopsis += "\\fB" + Escaped(program, false) + "\\fR";
            if (space != std::string::npos) roff.synopsis += ' ' + Marked(Trim(form.substr(space)));
            roff.synopsis += '\n';
            continue;
        }
        if (text.empty()) {
            paragraphPending = !section->empty();
            continue;
        }
        const bool indented = line[0] == ' ';
        if (!indented && text.back() == ':') {
            const std::string name = text.substr(0, text.size() - 1);
            paragraphPending = false;
            if (name == "Options") {
                part = Part::Options;
                section = &roff.options;
            } else {
                part = Part::Keys;
                section = &roff.keys;
                *section += ".SS " + Escaped(name, false) + '\n';
            }
            continue;
        }
        const std::size_t depth = line.find_first_not_of(' ');
        if (part != Part::Description && indented && depth <= 2) {
            // "  TERM    what it does": the term ends at the first run of two blanks.
            const std::size_t gap = text.find("  ");
            const std::string term = text.substr(0, gap);
            const std::string what = gap == std::string::npos ? std::string() : Trim(text.substr(gap));
            *section += ".TP\n";
            *section += part == Part::Options ? Marked(term) : "\\fB" + Escaped(term, false) + "\\fR";
            *section += '\n';
            if (!what.empty()) *section += RoffEscape(what) + '\n';
            paragraphPending = false;
            continue;
        }
        // Running text, or an entry's text going on under it.
        if (paragraphPending) *section += part == Part::Description ? ".PP\n" : ".IP\n";
        paragraphPending = false;
        *section += RoffEscape(text) + '\n';
    }
    return roff;
}

std::string FillTemplate(std::string page,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values) {
        const std::string mark = '@' + name + '@';
        for (std::size_t at = page.find(mark); at != std::string::npos;
             at = page.find(mark, at + value.size()))
            page.replace(at, mark.size(), value);
    }
    return page;
}

std::string DropCovered(const std::string& page, const std::string& usage) {
    static const std::string kOpen = ".\\\" unless usage has: ";
    static const std::string kClose = ".\\\" end";
    std::string out;
    bool first = true;
    bool inBlock = false;
    bool keep = true;
    for (const std::string& line : Lines(page)) {
        if (!inBlock && line.compare(0, kOpen.size(), kOpen) == 0) {
            inBlock = true;
            keep = usage.find(line.substr(kOpen.size())) == std::string::npos;
            continue;
        }
        if (inBlock && line == kClose) {
            inBlock = false;
            keep = true;
            continue;
        }
        if (!keep) continue;
        if (!first) out += '\n';
        out += line;
        first = false;
    }
    return out;
}
