// The viewer's byte view: the rows of a stream drawn as offset, hex and characters, only those
// on screen, so that a view of a stream of any length costs what one screen of rows costs (a
// list or table view of the toolkit keeps some bytes for every row). Up, Down, Page Up, Page Down,
// Home and End move the current row; its text is the view's accessible description, which a
// screen reader reads as the row changes.
#pragma once

#include <QAbstractScrollArea>
#include <memory>

#include "app/hex_rows.h"

class HexView : public QAbstractScrollArea {
public:
    HexView(std::unique_ptr<HexRows> rows, QWidget* parent = nullptr);

    const HexRows& Rows() const { return *rows_; }
    int CurrentRow() const { return current_; }
    // Makes `row` current and scrolls it into view.
    void SetCurrentRow(int row);
    // The width that shows a whole row.
    int RowWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int RowHeight() const;
    int VisibleRows() const;
    void UpdateScrollRange();

    std::unique_ptr<HexRows> rows_;
    int current_ = 0;
};
