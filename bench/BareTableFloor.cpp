// The floor the main window is measured against (bench/app-idle.sh): a bare Qt table with the same
// rows and the same one-second timer, and nothing else. A QTableView straight on a QAbstractTableModel
// (no sort proxy, no frozen column, no tray icon, no scheduler) shows, for each event section of the
// given file, its name, Title, Date, Time and TypeDesc, and seven span figures counted from the clock
// at every tick. Each tick emits one dataChanged over the span columns of every row, as Qt's own model
// examples do, and the view repaints what it shows.
//
// usage: almanex-bare-table CONFIG_FILE
// Runs until it is ended (SIGTERM). With QT_QPA_PLATFORM=offscreen it paints into an offscreen buffer.

#include <QAbstractTableModel>
#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kTextColumns = 5;
constexpr int kSpanColumns = 7;
// The seven units in seconds: years of 365.25 days, months of 30.4375 days, weeks, days, hours,
// minutes, seconds.
constexpr std::array<double, kSpanColumns> kUnitSeconds{31557600.0, 2629800.0, 604800.0, 86400.0, 3600.0, 60.0, 1.0};

struct Row {
  std::array<QString, kTextColumns> texts;
  qint64 moment = 0;  // seconds since the epoch the spans count from
};

std::vector<Row> ReadRows(const char* path) {
  std::vector<Row> rows;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  const auto value = [&line](std::size_t keyLength) {
    std::string text = line.substr(keyLength);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return QString::fromStdString(text);
  };
  while (std::getline(in, line)) {
    if (line.rfind("[Event", 0) == 0) {
      Row row;
      row.texts[0] = QString::fromStdString(line.substr(1, line.find(']') - 1));
      row.moment = 1700000000 + static_cast<qint64>(rows.size()) * 86400;
      rows.push_back(row);
    } else if (rows.empty()) {
      continue;
    } else if (line.rfind("Title=", 0) == 0) {
      rows.back().texts[1] = value(6);
    } else if (line.rfind("Date=", 0) == 0) {
      rows.back().texts[2] = value(5);
    } else if (line.rfind("Time=", 0) == 0) {
      rows.back().texts[3] = value(5);
    } else if (line.rfind("TypeDesc=", 0) == 0) {
      rows.back().texts[4] = value(9);
    }
  }
  return rows;
}

class BareModel final : public QAbstractTableModel {
 public:
  explicit BareModel(std::vector<Row> rows) : rows_(std::move(rows)) {}

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : kTextColumns + kSpanColumns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    if (index.column() < kTextColumns) return row.texts[static_cast<std::size_t>(index.column())];
    const double seconds = std::fabs(static_cast<double>(now_ - row.moment));
    const std::size_t unit = static_cast<std::size_t>(index.column() - kTextColumns);
    return QString::number(seconds / kUnitSeconds[unit], 'f', unit + 1 == kSpanColumns ? 0 : 2);
  }
  void Tick() {
    now_ = QDateTime::currentSecsSinceEpoch();
    if (rows_.empty()) return;
    emit dataChanged(index(0, kTextColumns), index(rowCount() - 1, kTextColumns + kSpanColumns - 1), {Qt::DisplayRole});
  }

 private:
  std::vector<Row> rows_;
  qint64 now_ = QDateTime::currentSecsSinceEpoch();
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: almanex-bare-table CONFIG_FILE\n");
    return 2;
  }
  BareModel model(ReadRows(argv[1]));
  QTableView view;
  view.setModel(&model);
  view.verticalHeader()->hide();
  view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view.verticalHeader()->setDefaultSectionSize(27);
  view.resize(900, 425);
  view.show();
  QTimer timer;
  timer.setInterval(1000);
  QObject::connect(&timer, &QTimer::timeout, &model, &BareModel::Tick);
  timer.start();
  return QApplication::exec();
}
