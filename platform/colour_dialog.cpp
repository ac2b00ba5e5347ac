// The colour dialog on the modal facility (modal.cpp). Qt keeps one set of
// custom colours for the whole process, on the GUI thread: the caller's set
// goes in before the dialog is made and is read back when it finishes,
// chosen or not.

#include "platform/colour_dialog.h"

#include <QColorDialog>
#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

std::mutex g_hook_mutex;
ColourDialogHook g_hook;  // guarded by g_hook_mutex

QColor to_qcolor(uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 255), static_cast<int>((rgb >> 8) & 255),
                  static_cast<int>(rgb & 255));
}

uint32_t from_qcolor(const QColor& c) {
    return static_cast<uint32_t>(c.rgb()) & 0x00FFFFFFu;
}

// Written on the GUI thread before the dialog's waiter is released.
struct Outcome {
    bool chosen = false;
    uint32_t colour = 0;
    std::array<uint32_t, 16> custom{};
};

}  // namespace

void set_colour_dialog_hook(ColourDialogHook hook) {
    std::lock_guard lock(g_hook_mutex);
    g_hook = std::move(hook);
}

bool choose_colour(uint32_t initial, uint32_t custom[16], uint32_t* result) {
    ColourDialogHook hook;
    {
        std::lock_guard lock(g_hook_mutex);
        hook = g_hook;
    }
    *result = initial;
    if (hook) {
        if (detail::modal_refused()) return false;
        const std::optional<uint32_t> answer = hook(initial, custom);
        if (answer) *result = *answer & 0x00FFFFFFu;
        return answer.has_value();
    }
    auto outcome = std::make_shared<Outcome>();
    std::copy(custom, custom + 16, outcome->custom.begin());
    outcome->colour = initial;
    detail::run_modal([initial, outcome]() -> QDialog* {
        for (int i = 0; i < 16; ++i)
            QColorDialog::setCustomColor(i, to_qcolor(outcome->custom[static_cast<size_t>(i)]));
        auto* dialog = new QColorDialog(to_qcolor(initial));
        dialog->setOption(QColorDialog::DontUseNativeDialog);
        // Connected before the facility's own handler, so the outcome is
        // complete when the waiter is released.
        QObject::connect(dialog, &QDialog::finished, [dialog, outcome](int code) {
            for (int i = 0; i < 16; ++i)
                outcome->custom[static_cast<size_t>(i)] = from_qcolor(QColorDialog::customColor(i));
            if (code == QDialog::Accepted) {
                outcome->chosen = true;
                outcome->colour = from_qcolor(dialog->currentColor());
            }
        });
        return dialog;
    });
    std::copy(outcome->custom.begin(), outcome->custom.end(), custom);
    if (outcome->chosen) *result = outcome->colour;
    return outcome->chosen;
}

}  // namespace kaplo::platform
