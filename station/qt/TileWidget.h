#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;
class StationTile;

// One port's tile: COM number and device, the unit's facts, the run's stage,
// progress with percentage and clock, the result in words, and the buttons
// to start or stop the port and to open the run's trace. After a run the
// whole face takes the result's colour, to be seen from across the bench,
// until the port's next update starts or (hands-free) the unit has gone.
class TileWidget final : public QFrame {
    Q_OBJECT

  public:
    explicit TileWidget(int port, QWidget* parent = nullptr);

    void Show(const StationTile& tile, bool busy);
    // The unit's last update in the history of runs, before this run.
    void SetLastUpdate(const QString& text);
    int Port() const { return port_; }

    // The result line's background: the face's colour after a result, else
    // a neutral grey.
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
    void ShowFace(const StationTile& tile);

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
