#pragma once

#include <string>

#include "zintra_version.h"  // generated from project(VERSION) in CMakeLists.txt

inline constexpr const char* kControlsCaption = "Zintra Controls";
// The original reference; ControlsText() adds the keys that came later.
inline constexpr const char* kControlsText =
    "Keyboard\n"
    "==============================\n"
    "ESC\t\tQuit\n"
    "[\t\tPrevious Texture\n"
    "]\t\tNext Texture\n"
    "Arrow Keys\tMove Texture\n"
    "-\t\tZoom Out\n"
    "+\t\tZoom In\n"
    "R\t\tRefresh Textures\n"
    "\n"
    "Mouse\n"
    "==============================\n"
    "LMB\t\tDrag Texture\n"
    "MMB\t\tRotate Texture\n"
    "Mouse Wheel\tZoom\n"
    "RMB\t\tCommand Menu";

// Help > Controls: the reference above, then every added key.
std::string ControlsText();

inline constexpr const char* kChangeLogCaption = "Zintra Change Log";
inline constexpr const char* kChangeLogText =
    "Zintra BETA v1.0  [current release]\n"
    "==============================\n"
    "> Converted application from GLUT to WINAPI\n"
    "> Added 'auto refresh' feature\n"
    "> Added 'show/hide HUD' feature\n"
    "> Added menus and menu bars\n"
    "> Added mouse interaction\n"
    "> Added 'browse to' and 'jump to' capability\n"
    "\n"
    "Zintra ALPHA v1.0\n"
    "==============================\n"
    "> Basic feature set";

inline constexpr const char* kAboutCaption = "About Zintra";
inline constexpr const char* kAboutText =
    "Zintra " ZINTRA_VERSION " was written by the Zintra developers,\n"
    "with ideas and encouragement from the people who paint with it.\n"
    "\n"
    "ZINTRA IS PROVIDED FREE OF CHARGE.\n"
    "If you paid for it, you were cheated: please\n"
    "let the Zintra developers know.\n"
    "\n"
    "Visit zintra.example for news\n"
    "and new versions.";
