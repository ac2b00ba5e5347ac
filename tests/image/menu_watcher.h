#pragma once
// For end-to-end scripts that click real menu items: while it lives, every
// pop-up menu shown is reported on standard output, one line per item with
// the screen position of its centre ("menu item Zoom:200% at 412 230").
// Made and destroyed on a thread other than the GUI thread.

#include <QApplication>
#include <QMenu>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/scenario.h"

class MenuWatcher {
  public:
    MenuWatcher()
        : thread_([this] {
              QMenu* reported = nullptr;
              while (!done_) {
                  on_gui([&] {
                      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                      if (!menu || menu == reported) return;
                      reported = menu;
                      for (QAction* a : menu->actions()) {
                          const QPoint c = menu->mapToGlobal(menu->actionGeometry(a).center());
                          std::printf("menu item %s at %d %d\n",
                                      a->text().section('\t', 0, 0).toStdString().c_str(), c.x(),
                                      c.y());
                      }
                      std::fflush(stdout);
                  });
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~MenuWatcher() {
        done_ = true;
        thread_.join();
    }
    MenuWatcher(const MenuWatcher&) = delete;
    MenuWatcher& operator=(const MenuWatcher&) = delete;

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};
