#include "app/list_box.h"

#include <QStyledItemDelegate>

#include "app/display_text.h"

namespace {

class ThirteenPixelRows : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 13};
    }
};

}  // namespace

int LineListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : lines_.Count();
}

QVariant LineListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= lines_.Count()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole) return {};
    return DisplayText(lines_[index.row()]);
}

void LineListModel::SetLines(LineList lines) {
    beginResetModel();
    lines_ = std::move(lines);
    endResetModel();
}

ListBox::ListBox(QWidget* parent) : QListView(parent) {
    setModel(&model_);
    setItemDelegate(new ThirteenPixelRows(this));
    setUniformItemSizes(true);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int ListBox::Count() const { return model_.rowCount(); }

void ListBox::Clear() { model_.SetLines({}); }

void ListBox::SetLines(LineList lines) { model_.SetLines(std::move(lines)); }
