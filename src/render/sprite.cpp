#include "render/sprite.h"

#include "render/texture_bank.h"

void Sprite::SetGeometry(std::uint16_t columns, std::uint16_t rows, std::int32_t x,
                         std::int32_t y) {
    position = std::make_unique<Point>(Point{0, 0});
    scale = std::make_unique<Scale>(Scale{1.0f, 1.0f});
    rotation = std::make_unique<float>(0.0f);
    textureCell = std::make_unique<Cell>(Cell{0.0f, 0.0f});
    imageSize = std::make_unique<Size16>(Size16{0, 0});
    frame = std::make_unique<Frame16>(Frame16{0, 0});
    grid = std::make_unique<Grid16>(Grid16{1, 1});
    vertices = std::make_unique<GLshort[]>(4 * 3);
    texCoords = std::make_unique<GLfloat[]>(4 * 2);

    // The quad is built by dividing by the grid, so 0 stands for 1.
    grid->columns = columns ? columns : 1;
    grid->rows = rows ? rows : 1;
    position->x = x;
    position->y = y;
}

void Sprite::SetTexture(GLuint name, std::uint16_t width, std::uint16_t height,
                        std::int16_t depth) {
    if (!grid) return;  // SetGeometry not called
    texture = name;
    imageSize->width = width;
    imageSize->height = height;

    const int halfWidth = (width / grid->columns) / 2;
    const int halfHeight = (height / grid->rows) / 2;
    const auto z = static_cast<GLshort>(-depth);
    const auto hw = static_cast<GLshort>(halfWidth);
    const auto hh = static_cast<GLshort>(halfHeight);
    const GLshort quad[4 * 3] = {
        static_cast<GLshort>(-hw), static_cast<GLshort>(-hh), z,
        static_cast<GLshort>(-hw), hh,                        z,
        hw,                        hh,                        z,
        hw,                        static_cast<GLshort>(-hh), z,
    };
    for (int i = 0; i < 4 * 3; ++i) vertices[i] = quad[i];

    textureCell->du = 1.0f / static_cast<float>(grid->columns);
    textureCell->dv = 1.0f / static_cast<float>(grid->rows);
    SetFrame(0, 0);
}

void Sprite::SetFrame(std::uint16_t column, std::uint16_t row) {
    if (!frame) return;
    frame->column = column;
    frame->row = row;

    const float du = textureCell->du;
    const float dv = textureCell->dv;
    const float left = static_cast<float>(column) * du;
    const float right = static_cast<float>(column + 1) * du;
    const float top = static_cast<float>(row) * dv;
    const float bottom = static_cast<float>(row + 1) * dv;
    // The PNG's first row is at t = 0, so vertex 1 (top-left) gets t = row.
    const GLfloat coords[4 * 2] = {left, bottom, left, top, right, top, right, bottom};
    for (int i = 0; i < 4 * 2; ++i) texCoords[i] = coords[i];
}

void Sprite::Draw() {
    if (!position) return;
    gTextureBank.Bind(texture);
    glPushMatrix();
    glVertexPointer(3, GL_SHORT, 0, vertices.get());
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords.get());
    glTranslatef(static_cast<float>(position->x), static_cast<float>(position->y), 0.0f);
    glRotatef(*rotation, 0.0f, 0.0f, 1.0f);
    glScalef(scale->x, scale->y, 1.0f);
    glDrawArrays(GL_QUADS, 0, 4);
    glPopMatrix();
}
