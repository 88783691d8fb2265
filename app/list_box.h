// A list box of text lines with 13-pixel rows. It keeps the lines' own bytes, which is what a
// save writes, and draws each line only when its row is painted, so that lists of a hundred
// thousand lines fill and scroll at once.
#pragma once

#include <QAbstractListModel>
#include <QListView>

#include "platform/linelist.h"

// The rows of a list box: one line each, shown as DisplayText.
class LineListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const LineList& Lines() const { return lines_; }
    void SetLines(LineList lines);

private:
    LineList lines_;
};

class ListBox : public QListView {
public:
    explicit ListBox(QWidget* parent);

    int Count() const;
    void Clear();
    void SetLines(LineList lines);
    // The lines as they were given, byte for byte.
    const LineList& Lines() const { return model_.Lines(); }

private:
    LineListModel model_;
};
