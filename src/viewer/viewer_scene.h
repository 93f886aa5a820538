// The viewer: the current PNG on a quad tiled 4 x 4 with GL_REPEAT, one
// texel per pixel at the start, with a four-image HUD over it. Holds the
// catalogue of the texture directory and the camera driven by keys and mouse.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/frame_timer.h"
#include "app/scene.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "glpng/seam_score.h"
#include "render/sprite.h"
#include "viewer/change_watch.h"
#include "viewer/command_table.h"
#include "viewer/neighbour_prefetch.h"
#include "viewer/texel_pick.h"
#include "viewer/texel_readout.h"
#include "viewer/tile_layout.h"
#include "viewer/viewer_host.h"

class ViewerScene final : public Scene {
public:
    // Longest directory and catalogue path the buffers hold.
    static constexpr std::size_t kMaxDirLength = 511;
    static constexpr std::size_t kMaxEntryLength = 254;

    ViewerScene(GLApp* app, ViewerHost* host);
    ~ViewerScene();
    ViewerScene(const ViewerScene&) = delete;
    ViewerScene& operator=(const ViewerScene&) = delete;

    void Enter() override;
    void Update() override;
    void Draw() override;
    void Leave() override;
    // Nothing held, dragged or resized, and the picture drawn last is the
    // one Draw would make now; wakes in time for the watch's next look,
    // the end of the reload mark and the readout, and not at all when
    // none is due.
    bool Resting(std::uint32_t* wakeInMs) override;

    // Catalogue.
    void SetDirectory(const char* path, bool rescan);
    void Rescan(bool resetView);
    std::uint16_t StepTexture(bool forward, bool resetView);
    void JumpTo(std::int16_t index);
    const char* CurrentTexturePath() const;
    // Loads the file on show again, keeping the view at the same size and
    // the last good picture when the file does not decode.
    void ReloadShown();
    // Whether the picture on show was reloaded a moment ago.
    bool JustReloaded() const { return freshSince_ >= 0; }

    // Seam tools.
    // Pixels per texel at the home distance, centred on the pointer.
    void Magnify(int factor);
    // The whole 4 x 4 grid in the window; again: one texel per pixel.
    void ToggleFit();
    void ToggleReadout();
    void ToggleMarks();
    void ToggleSeamView();
    // "across 1.02 tiles, down 5.31 SEAM" while the seam view is on.
    const std::string& SeamText() const { return seamText_; }
    void SetRepeatMode(RepeatMode mode);
    // A seam tool as its key or View-menu entry asks (the held compare
    // and the copy act only through their keys).
    void RunTool(Tool tool);
    // "texel X, Y #RRGGBBAA" for the texel under the pointer, or "".
    const std::string& ReadoutText() const { return readoutText_; }

    // Fed by the application's mouse handler.
    void SetMousePosition(std::int32_t x, std::int32_t y);
    void ZoomStep(bool zoomIn);
    void EndDrag();

    platform::MenuHandle jumpMenu = nullptr;
    bool autoRefresh = true;
    // Every format the loader takes, or PNG files only.
    bool allImageTypes = true;
    bool showHud = true;
    bool moveMode = false;
    bool rotateMode = false;
    bool zoomMode = false;
    std::optional<std::string> textureDir;
    // The file the next scan puts on show when it finds it (an argument).
    std::string startFile;
    std::unique_ptr<GLint[]> quadVertices;     // 4 x (x, y, z)
    std::unique_ptr<GLfloat[]> quadTexCoords;  // 4 x (s, t)
    std::vector<std::string> paths;            // empty: none
    std::int16_t currentIndex = 0;
    std::int16_t pathCount = 0;
    std::int16_t offsetX = 0;
    std::int16_t offsetY = 0;
    // 32 bits: 4h and 12h of the tallest image the loader takes do not fit 16.
    std::int32_t distance = 0;
    std::unique_ptr<FrameTimer> inputTimer;
    std::int16_t keyDelay = 0;
    std::int16_t moveDelay = 0;
    std::int16_t moveStep = 0;
    bool holdIndex = false;
    std::uint16_t textureWidth = 0;
    std::uint16_t textureHeight = 0;
    std::int32_t yaw = 0;
    std::int32_t pitch = 0;
    std::int32_t mouseX = 0;
    std::int32_t mouseY = 0;
    std::int32_t lastMouseX = 0;
    std::int32_t lastMouseY = 0;
    GLuint texture = 0;
    GLuint previousTexture = 0;  // the version before the last reload, for C
    float viewScale = 1.0f;      // projection zoom: 2..8 magnified, below 1 fitted
    bool fitted = false;
    bool readout = false;
    bool tileMarks = false;
    bool seamView = false;
    bool comparing = false;      // C held: the previous version shows
    RepeatMode repeatMode = RepeatMode::Grid;
    // Whether the file on show could be read (its texture is not the 0 of a failed load).
    bool shownReadable = false;
    // Whether the last scan found the folder there but could not list it.
    bool folderUnreadable = false;
    std::unique_ptr<Sprite> legalSprite;
    std::unique_ptr<Sprite> webSprite;
    std::unique_ptr<Sprite> controlsSprite;
    std::unique_ptr<Sprite> mouseSprite;
    // Device pixels per HUD pixel: the HUD follows the desktop's scale.
    double hudScale = 1.0;

    // Lap time gathered per arrow/zoom channel (2..7), so a held key keeps
    // acting at about 1000 / moveDelay times a second at any frame rate.
    std::array<float, 8> moveCarry{};
    // Escape and Q held down when they ended a mouse mode: they quit only
    // once released and pressed anew.
    bool escapeLatched = false;
    bool quitKeyLatched = false;

    // The file on show and its folder, followed while Auto Refresh is on.
    ChangeWatch watch;
    // The files [ and ] would show next, prepared in the background.
    std::unique_ptr<NeighbourPrefetch> prefetch = std::make_unique<NeighbourPrefetch>();
    bool prefetchNeighbours = true;
    // Starts preparing the file the first scan will show, before the
    // window exists.
    void PrefetchStart(const std::string& file);

    // Starts a mouse mode from the pointer where it is now, so the first
    // move does not jump by whatever it did while the mode was off.
    void StartModeAt(std::int32_t x, std::int32_t y);
    // Distance range of the zoom mode: 2w to 4w, never at or before the near plane.
    std::int32_t ZoomModeMin() const;
    std::int32_t ZoomModeMax() const;

private:
    ViewerHost* host_;
    std::int32_t markedIndex_ = -1;  // the jump-list entry that carries the check mark

    struct Presses {
        int back = 0, forward = 0, rescan = 0, reload = 0;
    };

    bool KeyChannelDue(std::uint8_t channel);
    bool MoveChannelDue(std::uint8_t channel);
    void UpdateKeyboard(const Presses& presses);
    void UpdateMoveMode();
    void ApplyViewportChange();
    void ApplyProjection();
    CameraView CurrentView() const;
    void UpdateTools(const bool* keys);
    void UpdateReadout();
    void UpdateSeams();
    void DrawSeams();
    // Level 0 of the picture on show, read back once per picture.
    const TexelReadout& PictureCopy();
    bool PointerOverView(std::int32_t* x, std::int32_t* y) const;
    void DrawTiles(GLuint name);
    void DrawMarks();
    float FitScale() const;
    void AgeFreshMark(float elapsedMs);
    void UpdateWatch(float elapsedMs);
    void ShowUnreadable();
    GLuint LoadTexture(const std::string& path, std::uint16_t size[2], GLuint recycle);
    void WantNeighbours();

    // Everything Draw reads. Storage is reused, so a load bumps
    // pictureGeneration_ even when the texture name stays the same.
    struct Picture {
        std::int16_t offsetX, offsetY;
        std::int32_t distance, yaw, pitch;
        GLuint name;
        std::uint32_t generation;
        std::uint16_t textureWidth, textureHeight, viewportWidth, viewportHeight;
        float viewScale;
        bool fitted, showHud, tileMarks, seamView;
        RepeatMode repeatMode;
        bool operator==(const Picture& o) const;
    };
    Picture PictureNow() const;
    void NewPicture() { ++pictureGeneration_; }
    std::optional<Picture> drawn_;
    std::uint32_t pictureGeneration_ = 0;

    static constexpr float kFreshMarkMs = 2000;
    // A wake further off than this is none: the sleep has no time limit.
    static constexpr double kLongestWakeMs = 24.0 * 3600 * 1000;
    // The pointer may leave the window without a message (Win32 sends none
    // untracked), and the readout must follow it.
    static constexpr double kReadoutWakeMs = 50;
    std::string shownPath_;     // the file whose picture is on show
    std::string readoutText_;
    TexelReadout copy_;         // the picture as the readout reads it
    glpng::SeamScore seams_;    // of the picture seamsOf_ names
    std::uint32_t seamsOf_ = 0;
    bool seamsHeld_ = false;
    std::string seamText_;
    float freshSince_ = -1;     // time since a reload, while its mark shows
};
