// The "Path:" caption of the menu bar. A long path would push a plain menu item behind the bar's
// extension button, leaving only "File" in sight; this caption sits in the bar's corner, takes
// all the room the bar's items leave, and shortens the path in the middle to fit it. The whole
// caption stays its tooltip and its accessible name. Clicking it does nothing.
#pragma once

#include <QLabel>

class QMenuBar;

class PathCaption : public QLabel {
public:
    explicit PathCaption(QMenuBar* bar);

    void SetCaption(const QString& caption);
    const QString& Caption() const { return caption_; }

    // The room the bar leaves after its items, whatever the caption: a new caption then never
    // needs the bar laid out again.
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
