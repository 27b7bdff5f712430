#include "TileWidget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>

#include "ResultSignal.h"
#include "StationTexts.h"
#include "StationTile.h"

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
QString OrDash(const std::string& text) {
    return text.empty() ? QStringLiteral("-") : Q(text);
}

}  // namespace

TileWidget::TileWidget(int port, QWidget* parent) : QFrame(parent), port_(port) {
    setFrameShape(QFrame::StyledPanel);
    // One size for every tile, whatever its texts: the grid flows them into
    // as many columns as the window holds, and none stretches its row.
    setFixedWidth(kWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* grid = new QGridLayout(this);
    title_ = new QLabel(this);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    grid->addWidget(title_, 0, 0, 1, 3);
    const auto row = [this, grid](int at, const char* label) {
        grid->addWidget(new QLabel(QString::fromUtf8(label), this), at, 0);
        auto* value = new QLabel(this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(value, at, 1, 1, 2);
        return value;
    };
    serial_ = row(1, "序號");
    program_ = row(2, "程式版本");
    versions_ = row(3, "資料版本");
    lastUpdate_ = row(4, "上次更新");
    lastUpdate_->setText(QStringLiteral("-"));
    // The run's stage, or its whole failure text with the steps to take:
    // read inside the tile, scrolled when it is longer than the room.
    message_ = new QLabel;
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* messageArea = new QScrollArea(this);
    messageArea->setWidget(message_);
    messageArea->setWidgetResizable(true);
    messageArea->setFrameShape(QFrame::NoFrame);
    messageArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    messageArea->setFixedHeight(kMessageLines * message_->fontMetrics().lineSpacing() + 4);
    grid->addWidget(messageArea, 5, 0, 1, 3);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    grid->addWidget(progress_, 6, 0);
    percent_ = new QLabel(this);
    clock_ = new QLabel(this);
    grid->addWidget(percent_, 6, 1);
    grid->addWidget(clock_, 6, 2);
    result_ = new QLabel(this);
    QFont large = bold;  // the result in words, read from a step away
    large.setPointSizeF(bold.pointSizeF() * 1.3);
    result_->setFont(large);
    result_->setWordWrap(true);
    result_->setAutoFillBackground(true);
    result_->setMargin(4);
    grid->addWidget(result_, 7, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(QStringLiteral("開始"), this);
    stop_ = new QPushButton(QStringLiteral("停止"), this);
    trace_ = new QPushButton(QStringLiteral("執行記錄"), this);
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addWidget(trace_);
    grid->addLayout(buttons, 8, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    connect(start_, &QPushButton::clicked, this, [this] { emit startClicked(port_); });
    connect(stop_, &QPushButton::clicked, this, [this] { emit stopClicked(port_); });
    connect(trace_, &QPushButton::clicked, this, [this] { emit traceClicked(port_); });
}

QColor TileWidget::ResultColour(const StationTile& tile) {
    const ResultSignal::Face face = ResultSignal::FaceFor(tile.LastResult());
    return face.coloured ? QColor::fromRgb(face.background) : QColor(0xbd, 0xbd, 0xbd);
}

void TileWidget::ShowFace(const StationTile& tile) {
    // The labels (the scrolled message too) take the face's colours from
    // it; the buttons and the bar keep their own.
    const ResultSignal::Face face = ResultSignal::FaceFor(tile.LastResult());
    QPalette palette;
    if (face.coloured) {
        palette.setColor(QPalette::Window, QColor::fromRgb(face.background));
        palette.setColor(QPalette::WindowText, QColor::fromRgb(face.text));
    }
    setPalette(palette);
    setAutoFillBackground(face.coloured);
}

void TileWidget::SetLastUpdate(const QString& text) {
    lastUpdate_->setText(text);
}

void TileWidget::Show(const StationTile& tile, bool busy) {
    title_->setText(QStringLiteral("COM%1  %2")
                        .arg(port_)
                        .arg(tile.Device().empty() ? QStringLiteral("(沒有此編號的序列埠)")
                                                   : Q(tile.Device())));
    serial_->setText(OrDash(tile.Serial()));
    program_->setText(OrDash(tile.ProgramVersion()));
    versions_->setText(OrDash(tile.DataVersionBefore()) + QStringLiteral(" → ") +
                       OrDash(tile.DataVersionAfter()));
    QString message = Q(tile.Message());
    using Phase = StationTile::Phase;
    if (tile.CurrentPhase() == Phase::WaitingForUnit ||
        tile.CurrentPhase() == Phase::WaitingForRemoval) {
        message = Q(tile.WaitReason());
        // Hands-free, a failure stays readable while the port waits: what
        // happened and what to do, above why the port waits.
        if (tile.LastResult() == StationTile::Result::Failure && !tile.ResultText().empty()) {
            message = Q(tile.ResultText()) + QStringLiteral("\n\n") + message;
        }
    }
    // A failure's text in the face's dark colour: the red face says it is
    // a failure, and red text would not be read on it.
    message_->setText(message);
    progress_->setMaximum(std::max(tile.ProgressMax(), 1));
    progress_->setValue(std::min(tile.ProgressValue(), progress_->maximum()));
    percent_->setText(Q(tile.PercentText()));
    clock_->setText(Q(tile.ClockText()));

    QString words;
    switch (tile.LastResult()) {
        case StationTile::Result::None:
            words = tile.CurrentPhase() == Phase::Running
                        ? QString::fromUtf8(StationTexts::Starting)
                        : QString::fromUtf8(StationTexts::Waiting);
            if (tile.CurrentPhase() == Phase::Running && !tile.PercentText().empty()) {
                words = QStringLiteral("更新中");
            }
            break;
        case StationTile::Result::Success:
        case StationTile::Result::Skipped:
            words = Q(tile.ResultText());
            break;
        case StationTile::Result::Failure:
            // The text itself is the message above, once.
            words = QString::fromUtf8(StationTexts::Failure);
            break;
    }
    result_->setText(words);
    ShowFace(tile);
    QPalette palette = result_->palette();
    palette.setColor(QPalette::Window, ResultColour(tile));
    result_->setPalette(palette);
    start_->setEnabled(!busy);
    stop_->setEnabled(busy);
    trace_->setEnabled(!tile.TracePath().empty());
}
