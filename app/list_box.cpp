#include "app/list_box.h"

#include <QStyledItemDelegate>

namespace {

class ThirteenPixelRows : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 13};
    }
};

}  // namespace

ListBox::ListBox(QWidget* parent) : QListView(parent) {
    setModel(&model_);
    setItemDelegate(new ThirteenPixelRows(this));
    setUniformItemSizes(true);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int ListBox::Count() const { return model_.rowCount(); }

void ListBox::Clear() { model_.setStringList({}); }

void ListBox::SetLines(const LineList& lines) {
    QStringList items;
    items.reserve(lines.Count());
    for (std::string_view line : lines) items.append(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    model_.setStringList(items);
}

LineList ListBox::Lines() const {
    LineList lines;
    for (const auto& item : model_.stringList()) lines.Add(item.toStdString());
    return lines;
}
