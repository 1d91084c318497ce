// Proof that a real OpenGL runs behind Wine: clear to a colour and read it back.
#include <gtest/gtest.h>
#include "tests/support/GLWindow.h"

TEST(RealGL, ClearColourReadsBack) {
    GLWindow window;
    ASSERT_EQ(window.error(), "");
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    std::printf("GL_RENDERER: %s\n", renderer);

    struct Case { float r, g, b; unsigned char want[3]; };
    const Case cases[] = {{1, 0, 0, {255, 0, 0}}, {0, 1, 0, {0, 255, 0}}, {0.2f, 0.4f, 0.6f, {51, 102, 153}}};
    for (const Case& c : cases) {
        glClearColor(c.r, c.g, c.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glFinish();
        unsigned char pixel[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(pixel[i], c.want[i], 1) << "channel " << i;
    }
}
