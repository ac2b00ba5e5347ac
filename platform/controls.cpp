// Controls: static text, single-line edits and push buttons as children of a
// window's client area, keyboard focus and the edits' selection.
//
// An edit's text as the user types it reaches the control's record at once,
// so title() of an edit is what the edit shows. Focus changes and Enter are
// reported to the window that holds the edit; Tab and Shift+Tab move between
// edits in dialog-style windows (see the top-level widget).
//
// An edit pastes through the platform's own clipboard reading, never
// through Qt's, which waits on the GUI thread for as long as the program
// holding the clipboard takes: Ctrl+V (Shift+Insert), the middle button (the
// primary selection) and the edit's context menu, whose Paste does not ask
// the clipboard beforehand whether it holds text.

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

#include "platform/internal.h"
#include "platform/window_table.h"

namespace kaplo::platform {
namespace detail {
namespace {

void notify_parent(WindowId parent, MsgType type, int32_t key, WindowId control) {
    Message m;
    m.type = type;
    m.key = key;
    m.control = control;
    if (auto rec = find_record(parent)) post_to(rec, m);
}

class EditControl : public QLineEdit {
  public:
    EditControl(WindowId parent, WindowId self, QWidget* host)
        : QLineEdit(host), parent_(parent), self_(self) {
        QObject::connect(this, &QLineEdit::textEdited, [self](const QString& text) {
            if (auto rec = find_record(self)) {
                std::lock_guard lock(table_mutex());
                rec->title = from_qstring(text);
            }
        });
    }

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // Enter in an edit is the window's OK, as dialog keys make it.
            notify_parent(parent_, MsgType::Command, kCommandOk, 0);
            return;
        }
        if (e->matches(QKeySequence::Paste)) {
            paste_from(false);
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::MiddleButton) {
            deselect();
            paste_from(true);
            return;
        }
        QLineEdit::mouseReleaseEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        QMenu menu;
        const bool selected = hasSelectedText(), writable = !isReadOnly();
        menu.addAction(QStringLiteral("&Undo\tCtrl+Z"), this, &QLineEdit::undo)
            ->setEnabled(writable && isUndoAvailable());
        menu.addAction(QStringLiteral("&Redo\tCtrl+Shift+Z"), this, &QLineEdit::redo)
            ->setEnabled(writable && isRedoAvailable());
        menu.addSeparator();
        menu.addAction(QStringLiteral("Cu&t\tCtrl+X"), this, &QLineEdit::cut)
            ->setEnabled(writable && selected);
        menu.addAction(QStringLiteral("&Copy\tCtrl+C"), this, &QLineEdit::copy)
            ->setEnabled(selected);
        menu.addAction(QStringLiteral("&Paste\tCtrl+V"), this, [this] { paste_from(false); })
            ->setEnabled(writable);
        menu.addAction(QStringLiteral("Delete"), this, &QLineEdit::del)
            ->setEnabled(writable && selected);
        menu.addSeparator();
        menu.addAction(QStringLiteral("Select All\tCtrl+A"), this, &QLineEdit::selectAll)
            ->setEnabled(!text().isEmpty());
        register_modal(&menu);  // Exit closes it
        menu.exec(e->globalPos());
    }
    void focusInEvent(QFocusEvent* e) override {
        QLineEdit::focusInEvent(e);
        notify_parent(parent_, MsgType::FocusGained, 0, self_);
    }
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        notify_parent(parent_, MsgType::FocusLost, 0, self_);
    }

  private:
    // The clipboard's text (or the primary selection's) typed in as Qt's own
    // paste does; a program holding it that does not answer is said so.
    void paste_from(bool primary) {
        if (isReadOnly()) return;
        const QPointer<EditControl> alive(this);
        std::u16string text;
        const ClipboardRead read = clipboard_unicode_text(&text, primary);
        if (!alive) return;  // its window went while the GUI thread waited
        if (read == ClipboardRead::NoAnswer && !primary)
            message_box(ansi_to_wide(kClipboardNoAnswer, 256), u"Pause");
        if (read == ClipboardRead::Found) insert(to_qstring(text));
    }

    WindowId parent_, self_;
};

QWidget* make_control(const std::shared_ptr<Record>& rec, QWidget* host, const QString& text) {
    const WindowId parent = rec->parent, id = rec->id;
    switch (rec->control_kind) {
        case ControlKind::Static:
            return new QLabel(text, host);
        case ControlKind::Edit: {
            auto* e = new EditControl(parent, id, host);
            e->setText(text);
            return e;
        }
        case ControlKind::Button: {
            auto* b = new QPushButton(text, host);
            b->setFocusPolicy(Qt::NoFocus);
            const int32_t cid = rec->control_id;
            QObject::connect(b, &QPushButton::clicked, [parent, id, cid] {
                notify_parent(parent, MsgType::Command, cid, id);
            });
            return b;
        }
    }
    return nullptr;
}

}  // namespace

void set_control_text(const std::shared_ptr<Record>& rec, const std::u16string& text) {
    const QString q = to_qstring(text);
    if (auto* label = qobject_cast<QLabel*>(rec->widget.data()))
        label->setText(q);
    else if (auto* edit = qobject_cast<QLineEdit*>(rec->widget.data()))
        edit->setText(q);
    else if (auto* button = qobject_cast<QPushButton*>(rec->widget.data()))
        button->setText(q);
}

}  // namespace detail

using detail::find_record;

WindowId create_control(ControlKind kind, WindowId parent, const std::u16string& text, int32_t x,
                        int32_t y, int32_t width, int32_t height, int32_t control_id_value) {
    auto p = find_record(parent);
    if (!p || p->parent != 0) return 0;
    auto rec = std::make_shared<detail::Record>();
    rec->owner = p->owner;
    rec->parent = parent;
    rec->control_kind = kind;
    rec->control_id = control_id_value;
    rec->title = text;
    rec->outer = Rect{x, y, x + width, y + height};
    rec->client_w = width;
    rec->client_h = height;
    {
        std::lock_guard lock(detail::table_mutex());
        rec->id = detail::next_window_id();
        detail::add_record(rec);
    }
    detail::on_gui([rec, parent, text] {
        QWidget* host = detail::client_widget(parent);
        if (!host) return;
        QWidget* w = detail::make_control(rec, host, detail::to_qstring(text));
        rec->widget = w;
        Rect r;
        {
            std::lock_guard lock(detail::table_mutex());
            r = rec->outer;
        }
        w->setGeometry(r.left, r.top, r.width(), r.height());
        w->show();
    });
    return rec->id;
}

int32_t control_id(WindowId control) {
    auto rec = find_record(control);
    if (!rec) return 0;
    std::lock_guard lock(detail::table_mutex());
    return rec->control_id;
}

bool set_focus(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return false;
    detail::on_gui([rec] {
        QWidget* w = rec->widget;
        if (!w) return;
        // A control's window is not activated here: a procedure that gives
        // its field the focus when its window is activated would otherwise
        // take the activation back from a window brought forward meanwhile.
        if (rec->parent == 0) {
            w->raise();
            w->activateWindow();
        }
        w->setFocus(Qt::OtherFocusReason);
    });
    return true;
}

bool set_edit_selection(WindowId edit, int32_t start, int32_t end) {
    auto rec = find_record(edit);
    if (!rec || rec->parent == 0 || rec->control_kind != ControlKind::Edit) return false;
    detail::on_gui([rec, start, end] {
        auto* e = qobject_cast<QLineEdit*>(rec->widget.data());
        if (!e) return;
        const int length = e->text().size();
        const int from = std::clamp(start, 0, length);
        const int to = end < 0 ? length : std::clamp(end, from, length);
        e->setSelection(from, to - from);
    });
    return true;
}

}  // namespace kaplo::platform
