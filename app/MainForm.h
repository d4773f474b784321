#pragma once
// The main window: the event grid, refreshed once a second.

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <string>

#include "datetime/Clock.h"
#include "datetime/FormatSettings.h"

namespace almanex {

/// The application title: the window caption, the title of notices, the name of the autostart entry.
inline constexpr const char* kApplicationTitle = "Almanex";

class EventListModel;
class GridView;

class TFrmMain : public QMainWindow {
  Q_OBJECT

 public:
  /// What the window works with: the clock of every tick, the user's formats, and the configuration
  /// file's path (asked anew at every access).
  struct Services {
    const Clock& clock;
    FormatSettings settings;
    std::function<std::string()> configPath;
  };

  explicit TFrmMain(Services services, QWidget* parent = nullptr);
  ~TFrmMain() override;

  /// Sets the twelve columns with their titles and built-in widths.
  void InitGridColumns();
  /// Rebuilds the rows and strNextEventName from the configuration file.
  void LoadEventList();
  /// Rewrites the span columns of every row for the clock's now.
  void RefreshSpans();
  /// The handler of Timer1, once a second.
  void Timer1Timer();

  GridView* StringGridMain = nullptr;
  QTimer Timer1;
  /// The section name the next new event receives.
  std::string strNextEventName;
  bool bExitRequested = false;

  EventListModel& Model() { return *model_; }

 private:
  void FormCreate();
  void ShowCalculationFailure(const QString& section, const QString& message);

  Services services_;
  EventListModel* model_ = nullptr;
};

}  // namespace almanex
