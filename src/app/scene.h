#pragma once

#include <cstdint>

class GLApp;

// One screen of the program. The owner deletes a scene through its
// concrete type, so there is no virtual destructor here.
class Scene {
public:
    explicit Scene(GLApp* app) : owner(app) {}

    virtual void Enter() = 0;
    virtual void Update() = 0;
    virtual void Draw() = 0;
    virtual void Leave() {}
    // True when nothing is due until a message arrives or *wakeInMs
    // passed and the picture last drawn still stands, so the loop may
    // sleep. By default a scene never rests.
    virtual bool Resting(std::uint32_t* wakeInMs) {
        (void)wakeInMs;
        return false;
    }

    GLApp* owner;

protected:
    ~Scene() = default;
};
