// Widgets whose values change far more often than anyone can read them (a
// counter and a bar during a scan or a copy). Their values stay exact at
// every moment, but they are painted at a fixed pace while this lives, and
// once more, with their last values, when it ends.
#pragma once

#include <QTimer>
#include <QWidget>

#include <initializer_list>
#include <vector>

class TPacedPaint {
 public:
  TPacedPaint(std::initializer_list<QWidget*> widgets, int paceMs) : widgets_(widgets) {
    for (QWidget* w : widgets_) w->setUpdatesEnabled(false);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Paint(false); });
    timer_.start(paceMs);
  }
  ~TPacedPaint() { Paint(true); }
  TPacedPaint(const TPacedPaint&) = delete;
  TPacedPaint& operator=(const TPacedPaint&) = delete;

 private:
  void Paint(bool last) {
    for (QWidget* w : widgets_) {
      w->setUpdatesEnabled(true);
      w->repaint();
      if (!last) w->setUpdatesEnabled(false);
    }
  }
  std::vector<QWidget*> widgets_;
  QTimer timer_;
};
