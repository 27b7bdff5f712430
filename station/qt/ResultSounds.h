#pragma once

#include <QObject>

#include "ResultSignal.h"

class QAudioSink;

// Plays a run's result sound on the default audio output without blocking
// the event loop: the samples play from memory while the loop goes on. A
// sound that comes while another plays waits (one waits at most, a failure
// before a success: sixteen units ending together are not sixteen chimes,
// and a failure among them is heard). Without an audio output, or when the
// output fails, nothing plays and `unavailable` is emitted once.
class ResultSounds final : public QObject {
    Q_OBJECT

  public:
    explicit ResultSounds(QObject* parent = nullptr);

    // Turning the sounds on looks for the output at once (the first look
    // takes up to about 0.1 s, so it is not left to a run's end).
    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }
    void Play(ResultSignal::Sound sound);
    // A sound plays (or waits).
    bool Busy() const { return sink_ != nullptr; }

  signals:
    void unavailable();
    // The last sound has ended and none waits.
    void quiet();

  private:
    // Whether the sound started.
    bool Start(ResultSignal::Sound sound);
    void Ended(QAudioSink* sink);
    void SayUnavailable();

    bool enabled_ = false;
    bool said_ = false;
    QAudioSink* sink_ = nullptr;  // the sound playing, a child of this
    ResultSignal::Sound waiting_ = ResultSignal::Sound::None;
};
