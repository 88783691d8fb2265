#include "app/hex_view.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>


namespace {

// Where each column starts, in characters: "00000000  " + 16 bytes of hex + "  ".
constexpr int kHexColumn = 10;
constexpr int kCharactersColumn = kHexColumn + 49 + 2;
constexpr int kRowCharacters = kCharactersColumn + HexRows::kRowBytes;

}  // namespace

HexView::HexView(std::unique_ptr<HexRows> rows, QWidget* parent)
    : QAbstractScrollArea(parent), rows_(std::move(rows)) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetCurrentRow(0);
}

int HexView::RowHeight() const { return fontMetrics().height() + 2; }

int HexView::VisibleRows() const { return std::max(1, viewport()->height() / RowHeight()); }

int HexView::RowWidth() const {
    return fontMetrics().horizontalAdvance(QString(kRowCharacters + 2, '0')) + verticalScrollBar()->sizeHint().width() +
           2 * frameWidth();
}

void HexView::UpdateScrollRange() {
    verticalScrollBar()->setRange(0, std::max(0, rows_->Count() - VisibleRows()));
    verticalScrollBar()->setPageStep(VisibleRows());
}

void HexView::SetCurrentRow(int row) {
    current_ = std::clamp(row, 0, std::max(0, rows_->Count() - 1));
    QScrollBar* bar = verticalScrollBar();
    if (current_ < bar->value()) bar->setValue(current_);
    else if (current_ >= bar->value() + VisibleRows()) bar->setValue(current_ - VisibleRows() + 1);
    setAccessibleDescription(rows_->Count() == 0 ? QString("no bytes") : rows_->RowText(current_));
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
    viewport()->update();
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = RowHeight();
    const int advance = fontMetrics().horizontalAdvance('0');
    const int first = verticalScrollBar()->value();
    const int last = std::min(rows_->Count(), first + VisibleRows() + 1);
    for (int row = first; row < last; ++row) {
        const QRect line(0, (row - first) * height, viewport()->width(), height);
        const bool current = row == current_;
        if (current) painter.fillRect(line, palette().brush(hasFocus() ? QPalette::Highlight : QPalette::Midlight));
        painter.setPen(palette().color(current && hasFocus() ? QPalette::HighlightedText : QPalette::Text));
        const int baseline = line.top() + 1 + fontMetrics().ascent();
        painter.drawText(advance, baseline, rows_->Cell(row, HexRows::Offset));
        painter.drawText(advance * (1 + kHexColumn), baseline, rows_->Cell(row, HexRows::Hex));
        painter.drawText(advance * (1 + kCharactersColumn), baseline, rows_->Cell(row, HexRows::Characters));
    }
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void HexView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up: SetCurrentRow(current_ - 1); break;
        case Qt::Key_Down: SetCurrentRow(current_ + 1); break;
        case Qt::Key_PageUp: SetCurrentRow(current_ - VisibleRows()); break;
        case Qt::Key_PageDown: SetCurrentRow(current_ + VisibleRows()); break;
        case Qt::Key_Home: SetCurrentRow(0); break;
        case Qt::Key_End: SetCurrentRow(rows_->Count() - 1); break;
        default: event->ignore(); return;
    }
}

void HexView::mousePressEvent(QMouseEvent* event) {
    SetCurrentRow(verticalScrollBar()->value() + static_cast<int>(event->position().y()) / RowHeight());
    setFocus(Qt::MouseFocusReason);
}
