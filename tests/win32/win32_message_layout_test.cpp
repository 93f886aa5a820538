// Help > Controls as the Win32 message box lays it out: its text drawn in
// the message font with tabs every eight average characters. Every row's
// action must start in the same column.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32_paths.h"
#include "ui/help_texts.h"

namespace {

TEST(Win32MessageLayout, ControlsRowsShareOneColumn) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(font && dc);
    HGDIOBJ previous = SelectObject(dc, font);

    const std::string text = ControlsText();
    std::vector<std::pair<std::string, int>> starts;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t tabs = line.find_last_of('\t');
        if (tabs == std::string::npos) continue;
        // No tab stops given: every eight average characters, as the box has.
        const std::wstring keys = win32::Widen(line.substr(0, tabs + 1));
        const DWORD extent =
            GetTabbedTextExtentW(dc, keys.c_str(), static_cast<int>(keys.size()), 0, nullptr);
        starts.push_back({line, LOWORD(extent)});
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(font);

    ASSERT_GT(starts.size(), 11u);
    for (const auto& row : starts) EXPECT_EQ(row.second, starts[0].second) << row.first;
}

}  // namespace
