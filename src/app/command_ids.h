// Menu command identifiers: the fixed entries, then one per file of the
// jump list from IDM_JUMP_FIRST on.
#pragma once

enum CommandId : unsigned {
    // Entries added later sit below the first set, as the jump list
    // takes every identifier above it.
    IDM_CHOOSE_EDITOR = 39001,
    IDM_ACTUAL_SIZE = 39002,
    IDM_MAGNIFY_2 = 39003,
    IDM_MAGNIFY_3 = 39004,
    IDM_MAGNIFY_4 = 39005,
    IDM_MAGNIFY_8 = 39006,
    IDM_FIT_GRID = 39007,
    IDM_READOUT = 39008,
    IDM_TILE_MARKS = 39009,
    IDM_REPEAT_GRID = 39010,
    IDM_REPEAT_ACROSS = 39011,
    IDM_REPEAT_DOWN = 39012,
    IDM_REPEAT_MIRRORED = 39013,
    IDM_ALL_IMAGE_TYPES = 39014,
    IDM_SEAM_VIEW = 39015,

    IDM_BROWSE = 40001,
    IDM_EDIT = 40002,
    IDM_EXIT = 40003,
    IDM_SHOW_HUD = 40004,
    IDM_AUTO_REFRESH = 40005,
    IDM_CONTROLS = 40006,
    IDM_CHANGE_LOG = 40007,
    IDM_ABOUT = 40008,
    IDM_REFRESH = 40009,
    IDM_NEXT = 40010,
    IDM_PREV = 40011,
    IDM_MOVE = 40012,
    IDM_ZOOM = 40013,
    IDM_ROTATE = 40014,
    IDM_JUMP_FIRST = 40015,
};
