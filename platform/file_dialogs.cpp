// File dialogs on the modal facility (modal.cpp): Qt's widget dialog, shown
// without a nested event loop and waited for only by the asking thread.
//
// Two things differ from a plain QFileDialog:
//   - Filters. Qt takes a filter's patterns from its text, separated by
//     spaces, and matches them with the case of the file system. The texts
//     here separate patterns with ';' and must show as they are, so after Qt
//     has applied a filter the dialog gives its file model the filter's own
//     patterns, split at ';', in both cases and matched without regard to
//     case.
//   - The replace question. A save may write another name than the one typed
//     (the caller adds an extension), so Qt's question, which asks about the
//     typed name, is off; the dialog asks about the name the caller will
//     really write, in a message box over the dialog (no nested loop either).
//     "No" leaves the dialog open for another name.

#include "platform/file_dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <memory>
#include <mutex>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

std::mutex g_hook_mutex;
FileDialogHook g_hook;  // guarded by g_hook_mutex

// What a confirmed dialog chose (written on the GUI thread before the dialog
// finishes; read by the asking thread after it has been released).
struct Outcome {
    bool chosen = false;
    FileDialogAnswer answer;
};

// The patterns a file model is given for one filter: each of the filter's
// ';'-separated patterns as written and lower-cased, so matching does not
// depend on the model's case sensitivity. "*.*" lists every file (names
// without a dot included), as it does on the classic desktop.
QStringList model_patterns(const std::u16string& pattern) {
    QStringList out;
    for (const QString& p : detail::to_qstring(pattern).split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = p.trimmed();
        if (trimmed == QLatin1String("*.*")) return {QStringLiteral("*")};
        if (trimmed.isEmpty()) continue;
        out << trimmed;
        if (trimmed.toLower() != trimmed) out << trimmed.toLower();
    }
    return out;
}

// The file whose existence makes the replace question necessary; empty when
// none.
std::u16string file_to_ask_about(const FileDialogRequest& request, const FileDialogAnswer& answer) {
    const std::u16string written =
        request.written_name ? request.written_name(answer.path, answer.filter_index) : answer.path;
    if (written.empty() || !QFileInfo::exists(detail::to_qstring(written))) return {};
    return written;
}

QString replace_question(const std::u16string& written) {
    return QStringLiteral("%1 already exists.\nDo you want to replace it?")
        .arg(QFileInfo(detail::to_qstring(written)).fileName());
}

class FileDialog final : public QFileDialog {
  public:
    FileDialog(FileDialogRequest request, std::shared_ptr<Outcome> outcome)
        : request_(std::move(request)), outcome_(std::move(outcome)) {
        // Qt's widget dialog on every desktop; the widgets (and the file
        // model) exist from here on.
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::DontConfirmOverwrite);
        setWindowTitle(detail::to_qstring(request_.title));
        setAcceptMode(request_.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        setFileMode(request_.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        setFilter(filter() & ~QDir::CaseSensitive);
        setDirectory(detail::to_qstring(request_.folder));
        QStringList texts;
        for (const FileFilter& f : request_.filters) texts << detail::to_qstring(f.text);
        setNameFilters(texts);
        const int index = request_.filter_index;
        if (index >= 1 && index <= static_cast<int>(request_.filters.size()))
            selectNameFilter(texts[index - 1]);
        apply_patterns();
        // A filter the user picks is applied by Qt first, then by us. In a
        // save dialog Qt also swaps the typed name's extension for the last
        // one of the filter's text ("photo.png" becomes "photo.DIB"); the
        // name is put back as typed, since the save adds the format's own
        // extension anyway.
        auto* combo = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (combo && edit)  // the index changes before Qt applies the filter
            connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                    [this, edit] { typed_ = edit->text(); });
        connect(this, &QFileDialog::filterSelected, this, [this, edit] {
            if (request_.save && edit && edit->text() != typed_) edit->setText(typed_);
            apply_patterns();
        });
        selectFile(detail::to_qstring(request_.initial_name));
    }

    void done(int result) override {
        if (result != QDialog::Accepted) {
            QFileDialog::done(result);
            return;
        }
        FileDialogAnswer answer;
        answer.path = detail::from_qstring(selectedFiles().value(0));
        answer.filter_index = selected_index();
        const std::u16string ask = request_.save ? file_to_ask_about(request_, answer) : u"";
        if (ask.empty()) {
            confirm(std::move(answer));
            return;
        }
        auto* box = new QMessageBox(QMessageBox::Question, windowTitle(), replace_question(ask),
                                    QMessageBox::Yes | QMessageBox::No, this);
        box->setDefaultButton(QMessageBox::No);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QDialog::finished, this, [this, box, answer] {
            if (box->clickedButton() == box->button(QMessageBox::Yes)) confirm(answer);
        });
        detail::register_modal(box);
        box->open();  // modal to this dialog only, without a nested loop
    }

  private:
    int selected_index() const {
        const std::u16string text = detail::from_qstring(selectedNameFilter());
        for (size_t i = 0; i < request_.filters.size(); ++i)
            if (request_.filters[i].text == text) return static_cast<int>(i) + 1;
        return request_.filter_index;
    }

    void apply_patterns() {
        auto* model = findChild<QFileSystemModel*>();
        const int index = selected_index();
        if (!model || index < 1 || index > static_cast<int>(request_.filters.size())) return;
        model->setNameFilters(model_patterns(request_.filters[index - 1].pattern));
    }

    void confirm(FileDialogAnswer answer) {
        outcome_->chosen = true;
        outcome_->answer = std::move(answer);
        QFileDialog::done(QDialog::Accepted);
    }

    const FileDialogRequest request_;
    const std::shared_ptr<Outcome> outcome_;
    QString typed_;  // the file name as it was before the filter changed
};

// The replace question without a file dialog (the test hook's answers).
bool replace_confirmed(const FileDialogRequest& request, const std::u16string& written) {
    const int result = detail::run_modal([title = request.title, written]() -> QDialog* {
        auto* box = new QMessageBox(QMessageBox::Question, detail::to_qstring(title),
                                    replace_question(written), QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::No);
        return box;
    });
    return result == QMessageBox::Yes;
}

}  // namespace

void set_file_dialog_answer_hook(FileDialogHook hook) {
    std::lock_guard lock(g_hook_mutex);
    g_hook = std::move(hook);
}

std::optional<FileDialogAnswer> ask_file_name(const FileDialogRequest& request) {
    FileDialogHook hook;
    {
        std::lock_guard lock(g_hook_mutex);
        hook = g_hook;
    }
    if (hook) {
        while (!detail::modal_refused()) {
            std::optional<FileDialogAnswer> answer = hook(request);
            if (!answer || !request.save) return answer;
            const std::u16string ask = file_to_ask_about(request, *answer);
            if (ask.empty() || replace_confirmed(request, ask)) return answer;
        }
        return std::nullopt;
    }
    auto outcome = std::make_shared<Outcome>();
    const int result = detail::run_modal(
        [request, outcome]() -> QDialog* { return new FileDialog(request, outcome); });
    if (result != QDialog::Accepted || !outcome->chosen) return std::nullopt;
    return outcome->answer;
}

}  // namespace kaplo::platform
