// The "Path:" item of the menu bar, showing the open character's file; clicking it does nothing.
// Its text is the caption shortened in the middle to the room the bar leaves after the items
// before it, so a long path neither moves it behind the bar's extension button nor pushes the
// File menu there. The whole caption is its tooltip and, through an accessibility interface of
// its own, its accessible name: a screen reader reads the whole path.
#pragma once

#include <QAction>

class QMenuBar;

class PathCaption : public QAction {
public:
    // Adds the item to the end of the bar.
    explicit PathCaption(QMenuBar* bar);

    void SetCaption(const QString& caption);
    const QString& Caption() const { return caption_; }

protected:
    // Shortens the caption again whenever the bar changes its size, and shows the whole caption
    // as the item's tooltip.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowShortened();

    QMenuBar* bar_;
    QString caption_;
};
