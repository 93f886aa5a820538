// The manual page's generated parts, made from the text --help prints so
// the two cannot tell different stories.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Plain text as roff: backslashes, hyphens, a leading dot or quote, and
// the few typographic characters the texts use.
std::string RoffEscape(const std::string& text);

// The usage text cut into roff for the page's sections.
struct UsageRoff {
    std::string synopsis;     // one line a form, broken with .br
    std::string description;  // paragraphs, separated by .PP
    std::string options;      // .TP entries
    std::string keys;         // .SS a group, then .TP entries
};
UsageRoff UsageToRoff(const std::string& usage);

// `page` with each @NAME@ of `values` replaced; other @ signs stay.
std::string FillTemplate(std::string page,
                         const std::vector<std::pair<std::string, std::string>>& values);

// `page` without the blocks the usage text already covers: the lines
// between `.\" unless usage has: TEXT` and `.\" end` stay (the marks go)
// only while `usage` does not hold TEXT.
std::string DropCovered(const std::string& page, const std::string& usage);
