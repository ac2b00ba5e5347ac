// A drag source for the file-drop tests, as a file manager is one: a small
// window titled "drag source" at (X, Y) that, when pressed, starts a drag
// carrying the URLs of the files named on the command line (text/uri-list).
// Prints "ready" once shown, "action ACTION" whenever the window under the
// pointer changes its answer to the offer (Qt's drop action: 1 copy, 0
// refused) and "drag ended ACTION" when the drag is over. It stays until it is ended: the
// target asks for the data after the drop.
// Usage: drag_source X Y FILE...
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {

class Source : public QWidget {
  public:
    explicit Source(QList<QUrl> urls) : urls_(std::move(urls)) {}

  protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls(urls_);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        // The pointer may be released only once the window under it has
        // taken the offer; until then a release cancels the drag.
        connect(drag, &QDrag::actionChanged, [](Qt::DropAction action) {
            std::printf("action %d\n", static_cast<int>(action));
            std::fflush(stdout);
        });
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drag ended %d\n", static_cast<int>(action));
        std::fflush(stdout);
    }
    void showEvent(QShowEvent*) override {
        std::printf("ready\n");
        std::fflush(stdout);
    }

  private:
    QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
    // Qt's own event loop, as in KAPLO's programs: GLib's, uninstrumented,
    // makes ThreadSanitizer report descriptors it reuses.
    setenv("QT_NO_GLIB", "1", 0);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: drag_source X Y FILE...\n");
        return 2;
    }
    QList<QUrl> urls;
    for (const QString& file : args.mid(3))
        urls.push_back(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    Source source(urls);
    source.setWindowTitle("drag source");
    source.setGeometry(args[1].toInt(), args[2].toInt(), 100, 60);
    source.show();
    return app.exec();
}
