// What the viewer asks of the program around it. The application
// implements it; the viewer knows nothing else of its host.
#pragma once

class ViewerScene;

class ViewerHost {
public:
    // Lets the user choose the texture folder (a modal dialog).
    virtual void BrowseForDirectory() = 0;
    // The catalogue changed: rebuild the menus that list it.
    virtual void BuildCommandMenu() = 0;
    // What is on show changed: another file, a reload, an empty folder.
    virtual void ShownChanged() = 0;
    // Device pixels per logical pixel: the HUD follows the desktop's scale.
    virtual double DisplayScale() const = 0;
    // Whether `scene` is still alive: a nested loop may have quit meanwhile.
    virtual bool HoldsViewer(const ViewerScene* scene) const = 0;

protected:
    ~ViewerHost() = default;
};
