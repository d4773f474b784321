#include "AlmanexApplication.h"

#include <exception>

#include "platform/FailureHandler.h"

namespace almanex {

AlmanexApplication::AlmanexApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool AlmanexApplication::notify(QObject* receiver, QEvent* event) {
  return DeliverGuarded([&] { return QApplication::notify(receiver, event); });
}

bool DeliverGuarded(const std::function<bool()>& delivery) {
  try {
    return delivery();
  } catch (const std::exception& error) {
    ReportUnexpectedFailure(error.what());
  } catch (...) {
    ReportUnexpectedFailure("Unknown failure");
  }
  return false;
}

}  // namespace almanex
