#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;
class StationTile;

// One port's tile: COM number and device, the unit's facts, the run's stage,
// progress with percentage and clock, the result in colour and words, and
// the buttons to start or stop the port and to open the run's trace.
class TileWidget final : public QFrame {
    Q_OBJECT

  public:
    explicit TileWidget(int port, QWidget* parent = nullptr);

    void Show(const StationTile& tile, bool busy);
    // The unit's last update in the history of runs, before this run.
    void SetLastUpdate(const QString& text);
    int Port() const { return port_; }

    // Background colours of the result.
    static QColor ResultColour(const StationTile& tile);

    // Every tile's width, and the lines of message it shows before it
    // scrolls (a failure text with its three steps fits).
    static constexpr int kWidth = 290;
    static constexpr int kMessageLines = 7;

  signals:
    void startClicked(int port);
    void stopClicked(int port);
    void traceClicked(int port);

  private:
    int port_;
    QLabel* title_;
    QLabel* serial_;
    QLabel* program_;
    QLabel* versions_;
    QLabel* lastUpdate_;
    QLabel* message_;
    QProgressBar* progress_;
    QLabel* percent_;
    QLabel* clock_;
    QLabel* result_;
    QPushButton* start_;
    QPushButton* stop_;
    QPushButton* trace_;
};
