#include "app/path_caption.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QHelpEvent>
#include <QMenuBar>
#include <QPointer>
#include <QToolTip>

namespace {

// Room kept free at the bar's right end, so that rounding never tips the bar into showing its
// extension button.
constexpr int kSlack = 4;

// The text the item is measured with: one character, which fits any bar that shows the item.
const QString kShortest = QString(QChar(0x2026));

// What assistive technology sees of the item: a menu item of the bar named by the whole caption.
class PathCaptionAccessible : public QAccessibleInterface {
public:
    PathCaptionAccessible(PathCaption* item, QMenuBar* bar) : item_(item), bar_(bar) {}

    bool isValid() const override { return item_ && bar_; }
    QObject* object() const override { return item_; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(bar_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name || kind == QAccessible::Description ? item_->Caption() : QString();
    }
    QRect rect() const override {
        return bar_->actionGeometry(item_).translated(bar_->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.invisible = !bar_->isVisible();
        state.focused = bar_->activeAction() == item_;
        state.disabled = !item_->isEnabled();
        return state;
    }

private:
    QPointer<PathCaption> item_;
    QPointer<QMenuBar> bar_;
};

QAccessibleInterface* AccessibleFor(const QString&, QObject* object) {
    auto* item = dynamic_cast<PathCaption*>(object);
    auto* bar = item ? qobject_cast<QMenuBar*>(item->parent()) : nullptr;
    return bar ? new PathCaptionAccessible(item, bar) : nullptr;
}

}  // namespace

PathCaption::PathCaption(QMenuBar* bar) : QAction(bar), bar_(bar) {
    static const bool installed = (QAccessible::installFactory(AccessibleFor), true);
    (void)installed;
    bar->addAction(this);
    bar->installEventFilter(this);
}

void PathCaption::SetCaption(const QString& caption) {
    caption_ = caption;
    setToolTip(caption);
    ShowShortened();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

bool PathCaption::eventFilter(QObject* watched, QEvent* event) {
    if (watched != bar_) return QAction::eventFilter(watched, event);
    if (event->type() == QEvent::Resize) ShowShortened();
    // A menu bar shows no tooltips of its own items.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QRect item = bar_->actionGeometry(this);
        if (item.contains(help->pos())) {
            QToolTip::showText(help->globalPos(), caption_, bar_, item);
            return true;
        }
    }
    return QAction::eventFilter(watched, event);
}

// Measures the item as the bar lays it out, holding its shortest text: the room for the caption
// is the bar's width from the item's left edge, less the item's own padding around its text and
// the margin the bar keeps before its first item, kept at its far end too.
void PathCaption::ShowShortened() {
    setText(kShortest);
    const QFontMetrics metrics = bar_->fontMetrics();
    const QRect item = bar_->actionGeometry(this);
    const int padding = item.width() - metrics.horizontalAdvance(kShortest);
    const int margin = bar_->actionGeometry(bar_->actions().constFirst()).left();
    const int room = bar_->width() - item.left() - padding - margin - kSlack;
    QString shown = metrics.elidedText(caption_, Qt::ElideMiddle, std::max(0, room));
    setText(shown.replace('&', "&&"));  // an ampersand in a path is no mnemonic
}
