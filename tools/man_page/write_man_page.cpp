// Writes zintra.1 at build time: the hand-written template with the
// synopsis, options and keys filled in from the text --help prints.
//   write_man_page TEMPLATE OUTPUT DATE
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/command_line.h"
#include "ui/man_page.h"
#include "zintra_version.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_man_page TEMPLATE OUTPUT DATE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream page;
    page << in.rdbuf();
    if (!in || page.str().empty()) {
        std::fprintf(stderr, "write_man_page: cannot read %s\n", argv[1]);
        return 1;
    }
    UsageRoff usage = UsageToRoff(UsageText());
    // Each fills a line of its own in the template: no blank line after it.
    for (std::string* part : {&usage.synopsis, &usage.description, &usage.options, &usage.keys})
        while (!part->empty() && part->back() == '\n') part->pop_back();
    const std::string text = FillTemplate(DropCovered(page.str(), UsageText()), {{"SYNOPSIS", usage.synopsis},
                                                       {"DESCRIPTION", usage.description},
                                                       {"OPTIONS", usage.options},
                                                       {"KEYS", usage.keys},
                                                       {"VERSION", ZINTRA_VERSION},
                                                       {"DATE", argv[3]}});
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "write_man_page: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
