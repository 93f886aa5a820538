// Help > Controls as the Win32 message box lays it out: the message font,
// tabs every eight average characters. Every action starts in one column.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/files.h"
#include "ui/help_texts.h"

TEST(Win32MessageLayout, ControlsRowsShareOneColumn) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    std::istringstream text(ControlsText());
    int rows = 0, column = -1;
    for (std::string line; std::getline(text, line);) {
        const std::size_t tab = line.find_last_of('\t');
        if (tab == std::string::npos) continue;
        const std::wstring keys = win32::Widen(line.substr(0, tab + 1));
        const int x = LOWORD(
            GetTabbedTextExtentW(dc, keys.c_str(), static_cast<int>(keys.size()), 0, nullptr));
        if (column < 0) column = x;
        EXPECT_EQ(x, column) << line;
        ++rows;
    }
    EXPECT_GT(rows, 11);
    DeleteObject(SelectObject(dc, previous));
    DeleteDC(dc);
}
