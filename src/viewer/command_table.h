// The commands added beside the original set: the seam tools and the keys
// that came with them. Their keys, View-menu entries, Help > Controls rows
// and the usage's key lines all come from these tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Tool {
    ActualSize,
    Magnify2,
    Magnify3,
    Magnify4,
    Magnify8,
    FitGrid,
    Readout,
    CopyReadout,
    Compare,
    TileMarks,
    SeamView,
    NextRepeat,
    RepeatGrid,
    RepeatAcross,
    RepeatDown,
    RepeatMirrored,
};

// How a binding's key acts.
enum class Trigger {
    Press,      // each press runs the tool once
    CtrlPress,  // each press with Ctrl held
    Hold,       // the tool acts while the key is down
    Shown,      // not polled: the key named beside the menu entry steps through it
};

struct ToolBinding {
    Tool tool;
    unsigned id;          // View-menu command; 0: no menu entry
    const char* label;    // the entry's label, without the key
    std::uint8_t key;     // virtual-key code: letters and digits are their character
    Trigger trigger;
    const char* help;     // starts a Help row; kSameRow: joins the row above; null: none
    bool separatorBefore;  // in the View menu
};

extern const char* const kSameRow;
extern const std::vector<ToolBinding> kToolBindings;

// The binding behind a View-menu command; null for any other identifier.
const ToolBinding* BindingForCommand(unsigned id);
// "F", "8", "C (hold)".
std::string KeyName(const ToolBinding& binding);
// The View-menu label: the entry's label, a tab, the key.
std::string MenuLabel(const ToolBinding& binding);

// One row of the keys' reference: the keys as shown and what they do.
struct KeyRow {
    std::string keys;
    std::string action;
};
// Every key beyond the original reference, in the order Help lists them.
std::vector<KeyRow> AddedKeyRows();
// A row as the message box shows it: the keys, tabs to the second tab
// stop, the action.
std::string TabbedRow(const KeyRow& row);
