// A list box of text lines with 13-pixel rows, backed by a string list model so that lists of
// a hundred thousand lines fill and scroll at once.
#pragma once

#include <QListView>
#include <QStringListModel>

#include "platform/linelist.h"

class ListBox : public QListView {
public:
    explicit ListBox(QWidget* parent);

    int Count() const;
    void Clear();
    void SetLines(const LineList& lines);
    LineList Lines() const;
    QStringListModel& Model() { return model_; }

private:
    QStringListModel model_;
};
