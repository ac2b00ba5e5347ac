// The load and save dialogs of image windows on the real framework.
//
//   memory  (Qt offscreen) answers the dialogs through the platform's test
//           hook: what each dialog is shown with, what it remembers, the
//           filter-to-format mapping of the save command, JPEG quality,
//           paths too long for the buffers, the replace question.
//   real    (Qt offscreen) the real Qt dialogs, driven from a second thread
//           on the GUI thread: the filters list files without regard to case,
//           the replace question is asked about the name really written, and
//           Exit closes an open dialog as cancelled.
//   e2e     (Xvfb) on Start, saves image 0 through the save command; the
//           script answers the real dialog.
#include <kaplo.h>

#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "image/file_commands.h"
#include "platform/file_dialogs.h"
#include "tests/driver.h"

namespace fs = std::filesystem;
namespace pf = kaplo::platform;

namespace {

// The load dialog's filters; the save dialog has the first six.
const std::vector<std::string> kFilters = {"All Files (*.*)",
                                           "BMP (*.BMP;*.RLE;*.DIB)",
                                           "JPEG (*.JPG;*.JPEG;*.JPE)",
                                           "CompuServe GIF (*.GIF)",
                                           "PNG (*.PNG)",
                                           "TIFF (*.TIF;*.TIFF)",
                                           "WMF (*.WMF)",
                                           "EMF (*.EMF)",
                                           "ICO (*.ICO)"};

// Image windows larger than the smallest window, so the client area is the
// picture.
constexpr int kW = 200, kH = 100;

std::u16string u16(const std::string& s) {
    return pf::ansi_to_wide(s.c_str(), SIZE_MAX);
}

// ---------------------------------------------------------------------------
// Answers through the hook: each request is recorded, each answer scripted.

std::vector<pf::FileDialogRequest> requests;              // worker only
std::vector<std::optional<pf::FileDialogAnswer>> script;  // worker only, front first

void answer_with(std::vector<std::optional<pf::FileDialogAnswer>> answers) {
    script = std::move(answers);
    requests.clear();
}

void install_hook() {
    pf::set_file_dialog_answer_hook(
        [](const pf::FileDialogRequest& r) -> std::optional<pf::FileDialogAnswer> {
            requests.push_back(r);
            if (script.empty()) return std::nullopt;
            auto a = script.front();
            script.erase(script.begin());
            return a;
        });
}

// The one request the last answers were given to (an empty one if not one).
pf::FileDialogRequest the_request() {
    return requests.size() == 1 ? requests[0] : pf::FileDialogRequest{};
}

pf::FileDialogAnswer chose(const std::string& path, int filter) {
    return {u16(path), filter};
}

// Answers the question box shown within `limit_ms` with `button` and
// returns its "title|text", or "" if none is shown. Driver thread.
std::string answer_question(QMessageBox::StandardButton button, int limit_ms = 20000) {
    std::string text;
    on_visible<QMessageBox>(
        [&](QMessageBox* box) {
            text = box->windowTitle().toStdString() + "|" + box->text().toStdString();
            box->button(button)->click();
        },
        {}, limit_ms);
    return text;
}
const char* const kReplace = "Save as|noname.bmp already exists.\nDo you want to replace it?";

// Runs `work` on the worker while `driver` runs on a thread of its own.
template <class Driver, class Work>
void with_driver(Driver driver, Work work) {
    std::thread t(driver);
    work();
    t.join();
}

void memory_scenario() {
    const std::string cwd = fs::current_path().string();
    install_hook();
    char buffer[260];

    // The first load dialog: start-up folder, BMP filter and its patterns;
    // a cancel leaves the buffer untouched.
    answer_with({std::nullopt});
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    CHECK(KPL_AskLoadFileName(buffer) == 1 && buffer[0] == 'x');
    const pf::FileDialogRequest first = the_request();
    CHECK(!first.save && first.title == u"Load image file" && first.folder == u16(cwd));
    CHECK(first.filters.size() == 9 && first.filter_index == 2 &&
          first.initial_name == u"*.BMP;*.RLE;*.DIB");

    // Load and save remember their own folder and filter.
    fs::create_directories("a");
    fs::create_directories("b");
    answer_with({chose(cwd + "/a/pic.png", 5)});
    CHECK(KPL_AskLoadFileName(buffer) == 0 && std::string(buffer) == cwd + "/a/pic.png");
    answer_with({std::nullopt});
    CHECK(KPL_AskSaveFileName(buffer) == 1);
    const pf::FileDialogRequest save = the_request();
    CHECK(save.save && save.title == u"Save as" && save.folder == u16(cwd));
    CHECK(save.filters.size() == 6 && save.filter_index == 2 && save.initial_name == u"noname");
    answer_with({chose(cwd + "/b/out", 3)});
    CHECK(KPL_AskSaveFileName(buffer) == 0 && std::string(buffer) == cwd + "/b/out");
    answer_with({std::nullopt});
    CHECK(KPL_AskLoadFileName(buffer) == 1);
    const pf::FileDialogRequest again = the_request();
    CHECK(again.folder == u16(cwd + "/a") && again.filter_index == 5 &&
          again.initial_name == u"*.PNG");
    CHECK(kaplo::save_directory() == cwd + "/b" && kaplo::save_filter_index() == 3);

    // Paths longer than the buffers are refused, never cut: 259 bytes fit,
    // 260 do not, and neither do 200 two-byte characters (259 units but
    // 400 bytes). The memory stays.
    const std::string fits = "/" + std::string(258, 'f');
    answer_with({chose(fits, 1)});
    CHECK(KPL_AskLoadFileName(buffer) == 0 && std::string(buffer) == fits);
    std::string wide_chars;
    for (int i = 0; i < 200; ++i) wide_chars += "\xC3\xA9";
    for (const std::string& too_long : {fits + "g", "/" + wide_chars}) {
        answer_with({chose(too_long, 4)});
        std::fill(std::begin(buffer), std::end(buffer), 'x');
        CHECK(KPL_AskSaveFileName(buffer) == 1 && buffer[0] == 'x' && buffer[259] == 'x');
        CHECK(kaplo::save_directory() == cwd + "/b" && kaplo::save_filter_index() == 3);
    }

    // The save command: the filter the user ended with picks the format
    // ("All Files" saves BMP); an unknown filter saves nothing.
    CHECK(KPL_CreateImage(0, "source", 0, 0, kW, kH, 100) == 0);
    KPL_TestPatternRgb();
    const struct {
        int filter;
        std::string stem, extension, magic;
    } formats[] = {{1, "all", ".bmp", "BM"},
                   {2, "bmp", ".bmp", "BM"},
                   {3, "jpeg", ".jpg", "\xFF\xD8"},
                   {5, "png", ".png", "\x89PNG"}};
    for (const auto& f : formats) {
        answer_with({chose(cwd + "/b/" + f.stem, f.filter)});
        kaplo::save_image_command(0);
        const std::string file = "b/" + f.stem + f.extension;
        int w = 0, h = 0;
        CHECK(read_file(file).compare(0, f.magic.size(), f.magic) == 0);
        CHECK(KPL_GetImageFileSize(file.c_str(), &w, &h) == 0 && w == kW && h == kH);
    }
    fs::create_directories("c");
    answer_with({chose(cwd + "/c/none", 7)});
    kaplo::save_image_command(0);
    CHECK(fs::is_empty("c") && kaplo::save_filter_index() == 7);

    // JPEG from the command is at quality 100 (every quantiser 1), and the
    // program's own quality comes back.
    kaplo::jpeg_quality = 10;
    answer_with({chose(cwd + "/c/q", 3)});
    kaplo::save_image_command(0);
    const std::string jpeg = read_file("c/q.jpg");
    const size_t dqt = jpeg.find("\xFF\xDB");  // the first table's 64 values, 8-bit
    CHECK(dqt != std::string::npos && jpeg.substr(dqt + 5, 64) == std::string(64, '\1'));
    CHECK(kaplo::jpeg_quality == 10);

    // The load command draws the file into its image, which stays current,
    // and repaints the window.
    CHECK(KPL_CreateImage(1, "target", 0, 0, kW, kH, 100) == 0);
    KPL_SelectImage(0);
    answer_with({chose(cwd + "/b/png.png", 5)});
    kaplo::load_image_command(1);
    CHECK(kaplo::current_image() == 1);
    CHECK(std::equal(kaplo::pixels32[1], kaplo::pixels32[1] + kW * kH, kaplo::pixels32[0]));

    // The replace question is about the file really written (the real
    // dialogs below ask it in BMP): in JPEG that is "noname.jpg", which does
    // not exist, though "noname" and "noname.bmp" do.
    fs::create_directories("d");
    std::ofstream("d/noname").put('x');
    CHECK(KPL_SaveImage(0, "d/noname", kW, kH) == 0);
    answer_with({chose(cwd + "/d/noname", 3)});
    with_driver([] { CHECK(answer_question(QMessageBox::Yes, 2000).empty()); },
                [&] { CHECK(KPL_AskSaveFileName(buffer) == 0); });

    pf::set_file_dialog_answer_hook({});
}

// ---------------------------------------------------------------------------
// The real dialogs (driven on the GUI thread from a second thread)

// Runs `f` with the file dialog of this title once it is shown.
template <class F>
bool with_dialog(const QString& title, F f) {
    return on_visible<QFileDialog>(f, title);
}

// The dialog's file list comes to show just these names.
bool lists(const QString& title, const std::set<std::string>& expected) {
    return eventually([&] {
        std::set<std::string> names;
        with_dialog(title, [&](QFileDialog* d) {
            auto* view = d->findChild<QListView*>("listView");
            const QAbstractItemModel* m = view ? view->model() : nullptr;
            for (int row = 0; m && row < m->rowCount(view->rootIndex()); ++row)
                names.insert(m->index(row, 0, view->rootIndex()).data().toString().toStdString());
        });
        return names == expected;
    });
}

// A user's key on the filter list: Up and Down pick the neighbouring filter.
void press_on_filters(const QString& title, int key) {
    with_dialog(title, [key](QFileDialog* d) {
        auto* combo = d->findChild<QComboBox*>("fileTypeCombo");
        if (!combo) return;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(combo, &press);
    });
}

QString name_field(QFileDialog* d) {
    auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
    return edit ? edit->text() : QStringLiteral("(no field)");
}
// Types a name into the file-name field and, unless told not to, confirms
// as Enter would.
void type_name(const QString& title, const QString& name, bool confirm = true) {
    CHECK(with_dialog(title, [&](QFileDialog* d) {
        if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) edit->setText(name);
        if (confirm) QMetaObject::invokeMethod(d, "accept");
    }));
}

// The dialog is Qt's own, in `folder`, with the first `filters` filters,
// the BMP filter selected and `name` in the file-name field.
bool shown_with(const QString& title, const std::string& folder, size_t filters, const char* name) {
    QStringList expected;
    for (size_t i = 0; i < filters; ++i) expected << QString::fromStdString(kFilters[i]);
    bool right = false;
    const bool shown = with_dialog(title, [&](QFileDialog* d) {
        right = d->testOption(QFileDialog::DontUseNativeDialog) &&
                d->directory().absolutePath().toStdString() == folder &&
                d->nameFilters() == expected &&
                d->selectedNameFilter().toStdString() == "BMP (*.BMP;*.RLE;*.DIB)" &&
                name_field(d) == name;
    });
    return shown && right;
}

void real_scenario() {
    const std::string pics = fs::current_path().string() + "/pics";
    fs::create_directories(pics);
    CHECK(KPL_CreateImage(0, "source", 0, 0, kW, kH, 100) == 0);
    KPL_TestPatternHsv();
    for (const char* name : {"pics/A.bmp", "pics/b.BMP", "pics/c.png"})
        CHECK(KPL_SaveImage(name[std::string(name).size() - 1] == 'g' ? 3 : 0, name, kW, kH) == 0);
    CHECK(KPL_CreateImage(1, "target", 0, 0, kW, kH, 100) == 0);
    kaplo::set_load_directory(pics);
    kaplo::set_save_directory(pics);
    const QString load = QStringLiteral("Load image file"), save = QStringLiteral("Save as");

    // The load dialog: Qt's own widgets, its folder, filters and name field;
    // the BMP filter lists both BMP files whatever their case, and every
    // filter the user picks does the same.
    with_driver(
        [&] {
            CHECK(shown_with(load, pics, 9, "*.BMP;*.RLE;*.DIB"));
            CHECK(lists(load, {"A.bmp", "b.BMP"}));
            for (int i = 0; i < 3; ++i) press_on_filters(load, Qt::Key_Down);  // PNG
            CHECK(lists(load, {"c.png"}));
            type_name(load, QStringLiteral("c.png"));
        },
        [] { kaplo::load_image_command(1); });
    CHECK(kaplo::current_image() == 1 && kaplo::load_filter_index() == 5);
    CHECK(kaplo::load_directory() == pics);
    CHECK(std::equal(kaplo::pixels32[1], kaplo::pixels32[1] + kW * kH, kaplo::pixels32[0]));

    // The save dialog: a file "noname" exists, but "noname.bmp" is what is
    // written (no question: the hook's JPEG case above shows it).
    std::ofstream(pics + "/noname").put('x');
    with_driver(
        [&] {
            // Another filter keeps the name as typed (Qt would swap its
            // extension for the last one of the filter's text).
            type_name(save, QStringLiteral("a.png"), false);
            press_on_filters(save, Qt::Key_Down);  // JPEG
            CHECK(with_dialog(save, [](QFileDialog* d) {
                CHECK(d->selectedNameFilter().startsWith("JPEG") && name_field(d) == "a.png");
            }));
            press_on_filters(save, Qt::Key_Up);  // BMP again
            type_name(save, QStringLiteral("noname"));
        },
        [] { kaplo::save_image_command(1); });
    CHECK(fs::exists(pics + "/noname.bmp") && read_file(pics + "/noname") == "x");

    // Now "noname.bmp" exists: the question names it; "No" keeps the dialog
    // open, "Yes" replaces the file.
    KPL_FillBox(0, 0, kW - 1, kH - 1, 0x123456, 0x123456);
    with_driver(
        [&] {
            type_name(save, QStringLiteral("noname"));
            CHECK(answer_question(QMessageBox::No) == kReplace);
            type_name(save, QStringLiteral("noname"));
            CHECK(answer_question(QMessageBox::Yes) == kReplace);
        },
        [] { kaplo::save_image_command(1); });
    CHECK(KPL_CreateImage(2, "check", 0, 0, kW, kH, 100) == 0);
    CHECK(KPL_LoadImage((pics + "/noname.bmp").c_str(), 0, 0) == 0 &&
          KPL_GetPixel(kW - 1, kH - 1) == 0x123456);

    // Exit closes an open dialog as cancelled; the memory stays.
    kaplo::set_save_directory(pics);
    char buffer[260] = "untouched";
    with_driver(
        [&] {
            CHECK(with_dialog(save, [](QFileDialog*) {}));  // open before Exit comes
            exit_program();
        },
        [&] { CHECK(KPL_AskSaveFileName(buffer) == 1); });
    CHECK(std::string(buffer) == "untouched" && kaplo::save_filter_index() == 2);
}

// Start (S) saves image 0 through the save command; the script answers the
// real dialog and waits for the file.
void e2e_scenario() {
    CHECK(KPL_CreateImage(0, "dialog source", 40, 200, 64, 48, 100) == 0);
    KPL_TestPatternRgb();
    KPL_UpdateImage(0);
    std::printf("dialog opening\n");
    std::fflush(stdout);
    kaplo::save_image_command(0);
}

}  // namespace

void UserInit() {
    if (scenario_name() != "e2e") start_run();
}

void UserMain() {
    run_scenario({{"memory", memory_scenario}, {"real", real_scenario}, {"e2e", e2e_scenario}},
                 {"real", "e2e"});  // "real" ends with Exit; the e2e script ends the program
    while (scenario_name() == "e2e" && !kpl_stop) KPL_ProcessMessages();
}
