#include "app/path_caption.h"

#include <QAction>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionMenuItem>

namespace {

// Room kept free at the bar's right end, so that rounding never tips the bar into showing its
// extension button.
constexpr int kSlack = 4;

}  // namespace

PathCaption::PathCaption(QMenuBar* bar) : bar_(bar) {
    setTextFormat(Qt::PlainText);
    setContentsMargins(4, 0, 4, 0);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void PathCaption::SetCaption(const QString& caption) {
    caption_ = caption;
    setToolTip(caption);
    setAccessibleName(caption);
    ShowShortened();
}

QSize PathCaption::sizeHint() const { return {std::max(0, RoomLeft()), QLabel::sizeHint().height()}; }

QSize PathCaption::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void PathCaption::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    ShowShortened();
}

// The bar's width less its margins and its items, each measured as the bar's style measures a
// menu bar item.
int PathCaption::RoomLeft() const {
    const QStyle* style = bar_->style();
    const int spacing = style->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, bar_);
    int used = 2 * (style->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, bar_) +
                    style->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, bar_));
    for (QAction* action : bar_->actions()) {
        if (!action->isVisible()) continue;
        QStyleOptionMenuItem option;
        option.initFrom(bar_);
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.text = action->text();
        const QSize text = style->itemTextRect(bar_->fontMetrics(), QRect(), Qt::TextShowMnemonic, true,
                                               action->text()).size();
        used += style->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, bar_).width() + spacing;
    }
    return bar_->width() - used - kSlack;
}

void PathCaption::ShowShortened() {
    const int room = contentsRect().width();
    setText(fontMetrics().elidedText(caption_, Qt::ElideMiddle, std::max(0, room)));
}
