#include "app/look.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QProxyStyle>

namespace {

constexpr const char* kClassicFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";

// The default horizontal tab padding makes five captions overflow 289 pixels and brings up
// scroll arrows; half of it fits them all.
class CompactTabsStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace) return 12;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

QFont WindowFont(qreal devicePixelRatio) {
    // The classic face holds bitmaps only: on a screen scaled above 1 its glyphs keep their 1x
    // size while the layout grows, and every caption comes out small and letter-spaced.
    if (devicePixelRatio <= 1) {
        // The bitmap .fon files of the same family render with wrong advances; only the .ttf is used.
        if (!QFontDatabase::families().contains("MS Sans Serif") && QFileInfo::exists(kClassicFontFile))
            QFontDatabase::addApplicationFont(kClassicFontFile);
        QFont font("MS Sans Serif");
        font.setPointSize(8);
        if (QFontInfo(font).family() == "MS Sans Serif") return font;
    }
    // Its letters run a few percent wider than the classic face's: narrowed by that much, the
    // longest caption still ends inside its bevel.
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(95);
    return font;
}

void ApplyWindowLook(QApplication& app) {
    app.setStyle(new CompactTabsStyle("Windows"));
    app.setFont(WindowFont(app.devicePixelRatio()));
    app.setWindowIcon(ProgramIcon());
}

QIcon ProgramIcon() { return QIcon(":/quorvel/quorvel.png"); }
