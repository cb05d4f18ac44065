// What a drawing call sent to OpenGL, caught with GL feedback mode: every
// point, line and polygon with its window-space vertices and colours, as
// the rasteriser would have seen them (after transformation and clipping).
//
//   std::vector<FbPrim> p = gl_feedback([] { OGL_line(1, 1, 0, 0, 10, 0); });
//   EXPECT_EQ(p[0].kind, FbPrim::kLine);
//   EXPECT_FLOAT_EQ(p[0].v[1].x, 10.5f);
#pragma once

#include <GL/gl.h>

#include <functional>
#include <vector>

struct FbVertex {
    float x, y, z;
    float r, g, b, a;
    float s, t, tr, tq; // texture coordinates
};

struct FbPrim {
    enum Kind { kPoint, kLine, kPolygon } kind;
    bool line_reset = false; // first segment of a line strip, or a lone line
    std::vector<FbVertex> v;
};

inline std::vector<FbPrim> gl_feedback(const std::function<void()>& draw, size_t capacity = 1 << 20)
{
    std::vector<GLfloat> buf(capacity);
    glFeedbackBuffer(GLsizei(buf.size()), GL_3D_COLOR_TEXTURE, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint n = glRenderMode(GL_RENDER);
    std::vector<FbPrim> out;
    if (n < 0) n = GLint(buf.size()); // overflowed: what fitted
    auto vertex = [&](GLint& i) {
        FbVertex v{buf[i],     buf[i + 1], buf[i + 2], buf[i + 3], buf[i + 4], buf[i + 5],
                   buf[i + 6], buf[i + 7], buf[i + 8], buf[i + 9], buf[i + 10]};
        i += 11;
        return v;
    };
    for (GLint i = 0; i < n;) {
        const GLint token = GLint(buf[i++]);
        FbPrim p{FbPrim::kPoint, false, {}};
        if (token == GL_POINT_TOKEN) {
            p.v.push_back(vertex(i));
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            p.kind = FbPrim::kLine;
            p.line_reset = token == GL_LINE_RESET_TOKEN;
            p.v.push_back(vertex(i));
            p.v.push_back(vertex(i));
        } else if (token == GL_POLYGON_TOKEN) {
            p.kind = FbPrim::kPolygon;
            const GLint count = GLint(buf[i++]);
            for (GLint k = 0; k < count; ++k)
                p.v.push_back(vertex(i));
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        } else {
            vertex(i); // bitmap and pixel tokens: one raster position
            continue;
        }
        out.push_back(p);
    }
    return out;
}
