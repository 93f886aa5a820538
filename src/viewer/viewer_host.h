// What the viewer asks of the program around it: the window's keys, size
// and frames, the menus, quitting. The application implements it; the
// viewer knows nothing else of its host.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

class ViewerScene;

class ViewerHost {
public:
    // The key table the viewer polls: down or up, by virtual-key code.
    virtual const bool* KeyTable() const = 0;
    // Presses (up-to-down changes) of `key` since the viewer last took
    // them, so a press and release between two passes still count.
    virtual int TakeKeyPresses(std::uint8_t key) = 0;
    // The GL area in device pixels, and whether it changed since the
    // viewer last laid itself out.
    virtual int ViewportWidth() const = 0;
    virtual int ViewportHeight() const = 0;
    virtual bool ViewportChanged() const = 0;
    virtual void SetViewportChanged(bool changed) = 0;
    // Device pixels per logical pixel: the HUD follows the desktop's scale.
    virtual double DisplayScale() const = 0;
    // The window, for the pointer and the clipboard; null before it exists.
    virtual platform::WindowHandle Window() const = 0;
    // Shows the frame just drawn.
    virtual void PresentFrame() = 0;
    // The folder of the HUD images.
    virtual std::string HudDir() const = 0;

    // Lets the user choose the texture folder (a modal dialog).
    virtual void BrowseForDirectory() = 0;
    // The catalogue changed: rebuild the menus that list it.
    virtual void BuildCommandMenu() = 0;
    // What is on show changed: another file, a reload, an empty folder.
    virtual void ShownChanged() = 0;
    // Ends the program; the viewer is deleted before this returns.
    virtual void Quit() = 0;
    // Whether `scene` is still alive: a nested loop may have quit meanwhile.
    virtual bool HoldsViewer(const ViewerScene* scene) const = 0;

protected:
    ~ViewerHost() = default;
};
