#include "viewer/command_table.h"

#include <iterator>

#include "app/command_ids.h"

namespace {

// M steps through the repeat modes; the menu names it beside each mode.
constexpr std::uint8_t kRepeatKey = 'M';

// Keys the viewer's own input handles, listed around the tools' rows: Q
// quits like Esc, F5 and the keypad came with live reload.
const KeyRow kRowsBefore[] = {{"Q", "Quit"}};
const KeyRow kRowsAfter[] = {{"F5", "Reload the File on Show"}, {"Keypad + and -", "Zoom"}};

}  // namespace

const char* const kSameRow = "";

const std::vector<ToolBinding> kToolBindings = {
    {Tool::ActualSize, IDM_ACTUAL_SIZE, "One &Texel per Pixel", '1', Trigger::Press,
     "Texels as 1 to 8 Pixels", false},
    {Tool::Magnify2, IDM_MAGNIFY_2, "Magnify &2\u00d7", '2', Trigger::Press, kSameRow, false},
    {Tool::Magnify3, IDM_MAGNIFY_3, "Magnify &3\u00d7", '3', Trigger::Press, kSameRow, false},
    {Tool::Magnify4, IDM_MAGNIFY_4, "Magnify &4\u00d7", '4', Trigger::Press, kSameRow, false},
    {Tool::Magnify8, IDM_MAGNIFY_8, "Magnify &8\u00d7", '8', Trigger::Press, kSameRow, false},
    {Tool::FitGrid, IDM_FIT_GRID, "&Fit the Whole Grid", 'F', Trigger::Press, "Fit the Whole Grid",
     false},
    {Tool::Readout, IDM_READOUT, "Texel &Readout", 'I', Trigger::Press,
     "Texel Readout (Ctrl+C copies it)", true},
    {Tool::CopyReadout, 0, nullptr, 'C', Trigger::CtrlPress, nullptr, false},
    {Tool::Compare, 0, nullptr, 'C', Trigger::Hold, "Version Before the Last Save", false},
    {Tool::TileMarks, IDM_TILE_MARKS, "&Mark the Real Tile", 'G', Trigger::Press,
     "Mark the Real Tile", false},
    {Tool::SeamView, IDM_SEAM_VIEW, "&Seam Scores", 'S', Trigger::Press,
     "Seam Scores (title) and Mismatch (tinted borders)", false},
    {Tool::NextRepeat, 0, nullptr, kRepeatKey, Trigger::Press, "Repeat Mode", false},
    {Tool::RepeatGrid, IDM_REPEAT_GRID, "Repeat &4 \u00d7 4", kRepeatKey, Trigger::Shown, nullptr,
     true},
    {Tool::RepeatAcross, IDM_REPEAT_ACROSS, "Repeat &Across Only", kRepeatKey, Trigger::Shown,
     nullptr, false},
    {Tool::RepeatDown, IDM_REPEAT_DOWN, "Repeat &Down Only", kRepeatKey, Trigger::Shown, nullptr,
     false},
    {Tool::RepeatMirrored, IDM_REPEAT_MIRRORED, "Repeat Mirr&ored", kRepeatKey, Trigger::Shown,
     nullptr, false},
};

const ToolBinding* BindingForCommand(unsigned id) {
    if (id == 0) return nullptr;
    for (const ToolBinding& binding : kToolBindings)
        if (binding.id == id) return &binding;
    return nullptr;
}

std::string KeyName(const ToolBinding& binding) {
    const std::string key(1, static_cast<char>(binding.key));
    if (binding.trigger == Trigger::Hold) return key + " (hold)";
    if (binding.trigger == Trigger::CtrlPress) return "Ctrl+" + key;
    return key;
}

std::string MenuLabel(const ToolBinding& binding) {
    return std::string(binding.label ? binding.label : "") + '\t' + KeyName(binding);
}

std::vector<KeyRow> AddedKeyRows() {
    std::vector<KeyRow> tools;
    for (const ToolBinding& binding : kToolBindings) {
        if (!binding.help) continue;
        if (binding.help == kSameRow && !tools.empty())
            tools.back().keys += ' ' + KeyName(binding);
        else
            tools.push_back({KeyName(binding), binding.help});
    }
    std::vector<KeyRow> rows(std::begin(kRowsBefore), std::end(kRowsBefore));
    rows.insert(rows.end(), tools.begin(), tools.end());
    rows.insert(rows.end(), std::begin(kRowsAfter), std::end(kRowsAfter));
    return rows;
}

std::string TabbedRow(const KeyRow& row) {
    // The message box sets tab stops eight average characters apart: keys
    // under ten characters end before the first (as "Arrow Keys" passes
    // it), so they take two tabs.
    return row.keys + (row.keys.size() < 10 ? "\t\t" : "\t") + row.action;
}
