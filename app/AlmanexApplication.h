#pragma once
// The application object: a failure that escapes an event handler (a write into a read-only
// configuration file, say) reaches the unexpected-failure dialog here instead of ending the program.

#include <QApplication>
#include <functional>

namespace almanex {

/// Runs one delivery; an exception it throws goes to the unexpected-failure dialog and the delivery
/// counts as not handled. The event loop then goes on.
bool DeliverGuarded(const std::function<bool()>& delivery);

class AlmanexApplication final : public QApplication {
 public:
  AlmanexApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace almanex
