#pragma once
// Tab order set in one statement (Qt 6.4 only links two widgets at a time).

#include <QWidget>
#include <initializer_list>

namespace almanex {

/// Tab walks `widgets` in the given order.
inline void SetTabOrder(std::initializer_list<QWidget*> widgets) {
  QWidget* previous = nullptr;
  for (QWidget* widget : widgets) {
    if (previous != nullptr) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
}

}  // namespace almanex
