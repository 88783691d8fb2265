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

QFont WindowFont() {
    // The bitmap .fon files of the same family render with wrong advances; only the .ttf is used.
    if (!QFontDatabase::families().contains("MS Sans Serif") && QFileInfo::exists(kClassicFontFile))
        QFontDatabase::addApplicationFont(kClassicFontFile);
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    if (QFontInfo(font).family() != "MS Sans Serif") {
        font = QFont("Liberation Sans");
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(11);
    }
    return font;
}

void ApplyWindowLook(QApplication& app) {
    app.setStyle(new CompactTabsStyle("Windows"));
    app.setFont(WindowFont());
    app.setWindowIcon(ProgramIcon());
}

QIcon ProgramIcon() { return QIcon(":/quorvel/quorvel.png"); }
