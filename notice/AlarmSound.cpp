#include "notice/AlarmSound.h"

#include <QAudioSink>
#include <QFile>
#include <QMediaDevices>
#include <cstdio>
#include <utility>

namespace {
// A stream that takes nothing for this long is replaced; after the second
// replacement in a row the sound is reported as not heard.
constexpr int kStallMs = 1000;
constexpr int kStallsBeforeFault = 2;
constexpr int kFeedMs = 40;

// A little-endian field of width bytes at at, inside bounds the caller checked.
quint32 littleEndian(const QByteArray& bytes, qsizetype at, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | uchar(bytes.at(at + i));
    return value;
}

// The samples of a PCM WAV file and their format; false if it is not one.
bool readWav(const QString& path, QAudioFormat& format, QByteArray& samples)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wav = file.readAll();
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE")
        return false;
    bool haveFormat = false;
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const qsizetype size = littleEndian(wav, at + 4, 4);
        const qsizetype body = at + 8;
        if (size > wav.size() - body)
            return false;
        if (id == "fmt " && size >= 16 && littleEndian(wav, body, 2) == 1 &&
            littleEndian(wav, body + 14, 2) == 16) {
            format.setChannelCount(int(littleEndian(wav, body + 2, 2)));
            format.setSampleRate(int(littleEndian(wav, body + 4, 4)));
            format.setSampleFormat(QAudioFormat::Int16);
            haveFormat = true;
        } else if (id == "data") {
            samples = wav.mid(body, size);
            return haveFormat && format.isValid() && samples.size() >= format.bytesPerFrame();
        }
        at = body + size + (size & 1);
    }
    return false;
}
} // namespace

AlarmSound::AlarmSound(bool enabled, QObject* parent) : QObject(parent), m_enabled(enabled)
{
    m_feedTimer.setInterval(kFeedMs);
    connect(&m_feedTimer, &QTimer::timeout, this, &AlarmSound::feed);
}

// The sink goes later, not here: deleting it runs the event loop (see
// stopStream), and our owner may be half gone by now.
AlarmSound::~AlarmSound()
{
    if (!m_sink)
        return;
    m_sink->stop();
    m_sink->deleteLater();
}

void AlarmSound::setUnacknowledged(int count)
{
    m_unacknowledged = count;
    if (count == 0)
        m_silenced = false;
    update();
}

void AlarmSound::alarmRaised()
{
    m_silenced = false;
    update();
}

void AlarmSound::silence()
{
    m_silenced = true;
    update();
}

void AlarmSound::update()
{
    const bool playing = m_enabled && m_unacknowledged > 0 && !m_silenced;
    if (playing == m_playing)
        return;
    m_playing = playing;
    if (playing) {
        m_stalls = 0;
        startStream();
        m_feedTimer.start();
    } else {
        m_feedTimer.stop();
        stopStream();
        setFault({});
    }
    emit playingChanged(m_playing); // an alarm may have come in while the sink went
}

// Each start is a new stream from the beginning of the sound: a stream once
// stopped is never trusted again.
void AlarmSound::startStream()
{
    stopStream();
    if (m_sink || !m_playing)
        return; // started or stopped while the old sink went
    m_sinceTaken.start();
    if (m_samples.isEmpty() && !readWav(QStringLiteral(":/sounds/alarm.wav"), m_format, m_samples))
        return setFault(QStringLiteral("报警声无法播放：声音文件损坏"));
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    // Without a parent: Qt gives the sink's own parts the same parent, which
    // would delete them under the sink when we go before it (see ~AlarmSound).
    m_sink = new QAudioSink(device, m_format);
    m_sink->setBufferSize(m_format.bytesForDuration(300000));
    m_position = 0;
    m_written = 0;
    m_stream = m_sink->start();
}

// Qt's PulseAudio sink runs the event loop while it is deleted: whatever
// runs meanwhile (an alarm, 消音) must find it gone already.
void AlarmSound::stopStream()
{
    QAudioSink* sink = std::exchange(m_sink, nullptr);
    m_stream = nullptr;
    if (!sink)
        return;
    sink->stop();
    delete sink;
}

// Writes as much of the looped sound as the stream takes. A stream that took
// nothing for a while (stalled, or stopped on an error) is replaced.
void AlarmSound::feed()
{
    if (m_samples.isEmpty())
        return; // the sound could not be read: fault says so
    qint64 taken = 0;
    if (m_stream && m_sink->error() == QAudio::NoError) {
        for (qint64 free = m_sink->bytesFree(); free > 0;) {
            const qint64 chunk = qMin(free, qint64(m_samples.size()) - m_position);
            const qint64 written = m_stream->write(m_samples.constData() + m_position, chunk);
            if (written <= 0)
                break;
            taken += written;
            free -= written;
            m_position = (m_position + written) % m_samples.size();
        }
    }
    // A stream takes its first buffer even from a sink that plays nothing:
    // only samples taken beyond it show that the sound is heard.
    m_written += taken;
    if (taken > 0 && m_written > m_sink->bufferSize()) {
        m_sinceTaken.start();
        m_stalls = 0;
        setFault({});
        return;
    }
    if (m_sinceTaken.elapsed() < kStallMs)
        return;
    if (++m_stalls >= kStallsBeforeFault)
        setFault(m_sink ? QStringLiteral("报警声无法播放：声卡不接收声音")
                        : QStringLiteral("报警声无法播放：没有可用的声卡"));
    startStream();
}

void AlarmSound::setFault(const QString& fault)
{
    if (fault == m_fault)
        return;
    if (!fault.isEmpty())
        std::fprintf(stderr, "%s\n", fault.toLocal8Bit().constData());
    m_fault = fault;
    emit faultChanged(fault);
}
