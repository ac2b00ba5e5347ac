// Modal work that freezes nothing: message boxes and dialogs shown on the GUI
// thread without a nested event loop (show, then a completion callback),
// waited for only by the thread that asked; pop-up menus registered so that
// Exit can close them.
//
// Every such widget is in one list (GUI thread only); close_all_modal
// closes them all as if cancelled, and answers every later one at once, so
// no thread stays waiting for one and Exit is never stuck inside one.

#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <atomic>
#include <memory>
#include <vector>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

std::vector<QPointer<QWidget>> g_open;  // GUI thread only
// Set by close_all_modal: the program is ending, and whatever is asked for
// later is answered at once as if cancelled, so no thread waits again.
std::atomic<bool> g_ending{false};

void forget(QWidget* w) {
    std::erase_if(g_open, [w](const QPointer<QWidget>& p) { return !p || p == w; });
}

}  // namespace

bool detail::modal_refused() {
    return g_ending.load();
}

void detail::register_modal(QWidget* widget) {
    std::erase_if(g_open, [](const QPointer<QWidget>& p) { return !p; });
    g_open.push_back(widget);
    QObject::connect(widget, &QObject::destroyed, [widget] { forget(widget); });
}

int detail::run_modal(std::function<QDialog*()> make) {
    if (g_ending.load()) return 0;
    struct State {
        bool done = false;
        int result = 0;
    };
    auto state = std::make_shared<State>();
    auto finish = [state](int result) {
        notify_waiters([&] {
            if (state->done) return;
            state->done = true;
            state->result = result;
        });
    };
    on_gui([make = std::move(make), finish] {
        QDialog* dialog = nullptr;
        try {
            dialog = make();
            if (!dialog) {
                finish(0);
                return;
            }
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->setWindowModality(Qt::NonModal);
            QObject::connect(dialog, &QDialog::finished, [finish](int result) { finish(result); });
            // A dialog destroyed without finishing (it cannot be, but a dead
            // display drops everything) still releases its waiter.
            QObject::connect(dialog, &QObject::destroyed, [finish] { finish(0); });
            register_modal(dialog);
            dialog->show();
            dialog->raise();
            dialog->activateWindow();
        } catch (...) {
            // A dialog that could not be made or shown (out of memory) is
            // answered as if cancelled, so its waiter returns.
            delete dialog;
            finish(0);
        }
    });
    wait_for([&] { return state->done; });
    return state->result;
}

void close_all_modal() {
    g_ending.store(true);
    detail::on_gui([] {
        std::vector<QPointer<QWidget>> open;
        open.swap(g_open);
        for (const QPointer<QWidget>& w : open) {
            if (!w) continue;
            if (auto* dialog = qobject_cast<QDialog*>(w.data()))
                dialog->reject();  // finished(Rejected): the waiter returns
            else
                w->close();
        }
    });
}

void message_box(const std::u16string& text, const std::u16string& caption, MessageIcon icon) {
    // The texts become QStrings on the GUI thread: a QString shared between
    // threads is released through Qt's own reference count, which the
    // thread checker cannot follow into Qt.
    detail::run_modal([text, caption, icon]() -> QDialog* {
        auto* box =
            new QMessageBox(icon == MessageIcon::Error         ? QMessageBox::Critical
                            : icon == MessageIcon::Information ? QMessageBox::Information
                                                               : QMessageBox::NoIcon,
                            detail::to_qstring(caption), detail::to_qstring(text), QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
        return box;
    });
}

}  // namespace kaplo::platform
