// The window on a screen scaled to 2 (a 200% desktop): its text must grow with the scale. The
// classic face holds only bitmaps, which keep their 1x size there; drawn in it, every caption would
// come out half as tall as it should, spread over its doubled place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QTabWidget>

#include "app/DProv.h"
#include "app/look.h"
#include "tests/support/scripted_prompts.h"

namespace {

// The height, in device pixels, of the rows that hold any dark pixel.
int InkHeight(const QImage& image) {
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

TEST(WindowAtScaleTwo, DrawsItsTextTwiceAsLargeAndCutsNothing) {
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    ScriptedPrompts prompts;
    TForm1 window(prompts);
    window.PageControl1->setCurrentIndex(2);
    window.show();
    QApplication::processEvents();

    // "Name of character ole object : " reaches from its ascenders down to the descender of "j":
    // about 11 pixels at 1x, so about 22 device pixels at scale 2.
    const QPixmap picture = window.Label5->grab();
    ASSERT_EQ(picture.devicePixelRatio(), 2.0);
    EXPECT_GE(InkHeight(picture.toImage()), 18);

    // Every caption ends inside its page, and one that starts inside a framed bevel ends there.
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->parentWidget()) continue;
        const QRect place = label->geometry();
        EXPECT_LE(place.right(), label->parentWidget()->width()) << label->text().toStdString() << " is cut";
        for (const QFrame* bevel : {window.Bevel1, window.Bevel3}) {
            if (bevel->parentWidget() != label->parentWidget() || !bevel->geometry().contains(place.topLeft()))
                continue;
            EXPECT_LT(place.right(), bevel->geometry().right() - bevel->frameWidth())
                << label->text().toStdString() << " runs over its bevel";
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ApplyWindowLook(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
