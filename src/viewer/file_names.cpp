#include "viewer/file_names.h"

#include <cstddef>

namespace file_names {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares the digit runs starting at a[i] and b[j] by value and moves
// past them; 0 when equal.
int CompareNumbers(const std::string& a, std::size_t& i, const std::string& b, std::size_t& j) {
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    const std::size_t startA = i, startB = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    const std::size_t lengthA = i - startA, lengthB = j - startB;
    if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
    const int order = a.compare(startA, lengthA, b, startB, lengthB);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            if (const int order = CompareNumbers(a, i, b, j)) return order < 0;
            continue;
        }
        const unsigned char ca = static_cast<unsigned char>(Fold(a[i]));
        const unsigned char cb = static_cast<unsigned char>(Fold(b[j]));
        if (ca != cb) return ca < cb;
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size())) return j < b.size();
    return a < b;
}

std::string MenuLabel(const std::string& name) {
    std::string label;
    label.reserve(name.size());
    for (char c : name) {
        if (c == '&') label += '&';
        label += c;
    }
    return label;
}

std::string BaseName(const std::string& path, char separator) {
    const std::size_t cut = path.rfind(separator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace file_names
