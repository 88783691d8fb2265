#include "app/memo_accessible.h"

#include <QAccessibleWidget>
#include <algorithm>

#include "app/memo.h"

namespace {

class MemoAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface {
public:
    explicit MemoAccessible(Memo* memo) : QAccessibleWidget(memo, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface) return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? memo()->TextBetween(0, characterCount()) : QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.multiLine = true;
        state.readOnly = memo()->isReadOnly();
        state.editable = !state.readOnly;
        state.selectableText = true;
        return state;
    }

    // The text and the cursor.
    QString text(int start, int end) const override { return memo()->TextBetween(start, end); }
    int characterCount() const override { return memo()->document()->characterCount() - 1; }
    int cursorPosition() const override { return memo()->textCursor().position(); }
    void setCursorPosition(int position) override { Select(position, position); }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;  // one font and colour throughout
        *end = characterCount();
        return {};
    }

    // The selection: a memo has one at most.
    int selectionCount() const override { return memo()->textCursor().hasSelection() ? 1 : 0; }
    void selection(int index, int* start, int* end) const override {
        const QTextCursor cursor = memo()->textCursor();
        *start = *end = 0;
        if (index != 0 || !cursor.hasSelection()) return;
        *start = cursor.selectionStart();
        *end = cursor.selectionEnd();
    }
    void addSelection(int start, int end) override { Select(start, end); }
    void setSelection(int index, int start, int end) override {
        if (index == 0) Select(start, end);
    }
    void removeSelection(int index) override {
        if (index == 0) setCursorPosition(cursorPosition());
    }

    // Geometry, in screen coordinates.
    QRect characterRect(int offset) const override {
        QTextCursor cursor(memo()->document());
        cursor.setPosition(Bounded(offset));
        QRect rect = memo()->cursorRect(cursor);
        const QString character = memo()->document()->characterAt(cursor.position());
        rect.setWidth(memo()->fontMetrics().horizontalAdvance(character));
        return rect.translated(memo()->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint inside = memo()->viewport()->mapFromGlobal(point);
        return memo()->viewport()->rect().contains(inside) ? memo()->cursorForPosition(inside).position() : -1;
    }
    // Brings the text into view by moving the cursor to its start, as a reader's caret does.
    void scrollToSubstring(int start, int) override {
        setCursorPosition(start);
        memo()->ensureCursorVisible();
    }

    // Editing.
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        if (memo()->isReadOnly()) return;
        QTextCursor cursor(memo()->document());
        cursor.setPosition(Bounded(start));
        cursor.setPosition(Bounded(end), QTextCursor::KeepAnchor);
        cursor.insertText(text);
    }

private:
    Memo* memo() const { return static_cast<Memo*>(widget()); }
    int Bounded(int offset) const { return std::clamp(offset, 0, characterCount()); }
    void Select(int start, int end) {
        QTextCursor cursor(memo()->document());
        cursor.setPosition(Bounded(start));
        cursor.setPosition(Bounded(end), QTextCursor::KeepAnchor);
        memo()->setTextCursor(cursor);
    }
};

QAccessibleInterface* AccessibleMemo(const QString&, QObject* object) {
    auto* memo = dynamic_cast<Memo*>(object);
    return memo ? new MemoAccessible(memo) : nullptr;
}

}  // namespace

void InstallMemoAccessibility() {
    static const bool installed = (QAccessible::installFactory(AccessibleMemo), true);
    (void)installed;
}
