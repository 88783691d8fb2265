// The "Path:" item of the menu bar. A long path would push a plain menu item behind the bar's
// extension button, leaving only "File" in sight; this caption takes the room the bar has left
// and shortens the path in the middle to fit it. The whole caption stays its tooltip and its
// accessible name. Clicking it does nothing.
#pragma once

#include <QLabel>

class QMenuBar;

class PathCaption : public QLabel {
public:
    explicit PathCaption(QMenuBar* bar);

    void SetCaption(const QString& caption);
    const QString& Caption() const { return caption_; }

    // The whole caption's width, but no more than the room the bar leaves after its other items.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int RoomLeft() const;
    void ShowShortened();

    QMenuBar* bar_;
    QString caption_;
};
