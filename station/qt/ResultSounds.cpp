#include "ResultSounds.h"

#include <algorithm>
#include <utility>

#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QTimer>

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt's own warning names a sound server the operator never chose; the
// station says instead, once, that it has no sound.
void WithoutSoundServerWarning(QtMsgType type, const QMessageLogContext& context,
                               const QString& text) {
    if (!text.startsWith(QLatin1String("PulseAudioService:")) && previousHandler != nullptr) {
        previousHandler(type, context, text);
    }
}

QAudioDevice LookForOutput() {
    previousHandler = qInstallMessageHandler(WithoutSoundServerWarning);
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    qInstallMessageHandler(previousHandler);
    return device;
}

// 16-bit samples at the output's own rate: one channel, or as many as the
// output insists on.
QAudioFormat FormatFor(const QAudioDevice& device) {
    const QAudioFormat preferred = device.preferredFormat();
    QAudioFormat format;
    format.setSampleRate(preferred.sampleRate() > 0 ? preferred.sampleRate() : 44100);
    format.setSampleFormat(QAudioFormat::Int16);
    format.setChannelCount(1);
    if (!device.isFormatSupported(format)) {
        format.setChannelCount(std::max(preferred.channelCount(), 1));
    }
    return device.isFormatSupported(format) ? format : QAudioFormat();
}

}  // namespace

ResultSounds::ResultSounds(QObject* parent) : QObject(parent) {}

void ResultSounds::SetEnabled(bool on) {
    enabled_ = on;
    waiting_ = ResultSignal::Sound::None;
    if (on && LookForOutput().isNull()) {
        SayUnavailable();
    }
}

void ResultSounds::Play(ResultSignal::Sound sound) {
    if (!enabled_ || sound == ResultSignal::Sound::None) {
        return;
    }
    if (sink_ != nullptr) {
        waiting_ = std::max(waiting_, sound);  // a failure before a success
        return;
    }
    if (!Start(sound)) {
        SayUnavailable();
    }
}

bool ResultSounds::Start(ResultSignal::Sound sound) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();  // an output plugged in later
    const QAudioFormat format = device.isNull() ? QAudioFormat() : FormatFor(device);
    if (!format.isValid()) {
        return false;
    }
    const std::vector<std::int16_t> samples =
        ResultSignal::Samples(sound, format.sampleRate(), format.channelCount());
    auto* sink = new QAudioSink(device, format, this);
    auto* buffer = new QBuffer(sink);  // goes with the sink
    buffer->setData(reinterpret_cast<const char*>(samples.data()),
                    static_cast<qsizetype>(samples.size() * sizeof(std::int16_t)));
    buffer->open(QIODevice::ReadOnly);
    connect(sink, &QAudioSink::stateChanged, this, [this, sink, format](QAudio::State state) {
        if (state == QAudio::IdleState) {
            // Every sample has been handed over, the output's buffer still
            // plays them: stopping now would cut the sound's end.
            const qint64 ms =
                format.durationForBytes(static_cast<qint32>(sink->bufferSize())) / 1000;
            QTimer::singleShot(ms + 50, sink, [this, sink] { Ended(sink); });
        } else if (state == QAudio::StoppedState) {
            if (sink->error() != QAudio::NoError) {
                SayUnavailable();
            }
            Ended(sink);
        }
    });
    sink->start(buffer);
    if (sink->error() != QAudio::NoError && sink->error() != QAudio::UnderrunError) {
        sink->deleteLater();
        return false;
    }
    sink_ = sink;
    // An output that never says it has played its sound does not keep the
    // next one waiting for ever.
    const qint64 ms = format.durationForBytes(static_cast<qint32>(buffer->size())) / 1000;
    QTimer::singleShot(ms + 2000, sink, [this, sink] { Ended(sink); });
    return true;
}

void ResultSounds::Ended(QAudioSink* sink) {
    if (sink != sink_) {
        return;
    }
    sink_ = nullptr;
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
    const ResultSignal::Sound next = std::exchange(waiting_, ResultSignal::Sound::None);
    if (enabled_ && next != ResultSignal::Sound::None && !Start(next)) {
        SayUnavailable();
    }
    if (sink_ == nullptr) {
        emit quiet();
    }
}

void ResultSounds::SayUnavailable() {
    if (!said_) {
        said_ = true;
        emit unavailable();
    }
}
