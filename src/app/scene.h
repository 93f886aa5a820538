#pragma once

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

    GLApp* owner;

protected:
    ~Scene() = default;
};
