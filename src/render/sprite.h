// A textured quad in screen space, centred on an integer position. It
// draws one cell of an image divided into a grid of equal cells.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gl.h"

class Sprite {
public:
    Sprite() = default;

    // Call once, before anything else. A grid of 0 columns or rows is
    // taken as 1, since cells are found by dividing by it.
    void SetGeometry(std::uint16_t columns, std::uint16_t rows, std::int32_t x, std::int32_t y);
    void SetTexture(GLuint texture, std::uint16_t width, std::uint16_t height, std::int16_t depth);
    void SetFrame(std::uint16_t column, std::uint16_t row);
    void Draw();

    struct Point { std::int32_t x, y; };
    struct Scale { float x, y; };
    struct Cell { float du, dv; };
    struct Size16 { std::uint16_t width, height; };
    struct Frame16 { std::uint16_t column, row; };
    struct Grid16 { std::uint16_t columns, rows; };

    std::unique_ptr<Point> position;
    std::unique_ptr<Scale> scale;
    std::unique_ptr<float> rotation;
    GLuint texture = 0;
    std::unique_ptr<Cell> textureCell;
    std::unique_ptr<Size16> imageSize;
    std::unique_ptr<Frame16> frame;
    std::unique_ptr<Grid16> grid;
    std::unique_ptr<GLshort[]> vertices;     // 4 x (x, y, z)
    std::unique_ptr<GLfloat[]> texCoords;    // 4 x (s, t)
};
