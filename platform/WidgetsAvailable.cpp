#include "WidgetsAvailable.h"

#include <QApplication>
#include <QThread>

namespace almanex {

bool CanShowWidgets() {
  const QCoreApplication* application = QCoreApplication::instance();
  return qobject_cast<const QApplication*>(application) != nullptr && QThread::currentThread() == application->thread();
}

}  // namespace almanex
