#pragma once

#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QAudioSink;
class QIODevice;

// The alarm sound: repeats while any alarm is unacknowledged, until it is
// silenced; a new alarm sounds again even after a silencing. Switched off,
// it never plays. playingChanged says when it is asked to start and stop.
//
// The sound is fed to the audio stream by us, so that we see whether the
// stream takes it: a stream that stops taking samples (it can stay open and
// running while nothing is heard) is replaced by a new one. While the sound
// is asked for and no stream takes it, fault says so in plain words.
class AlarmSound final : public QObject
{
    Q_OBJECT
public:
    explicit AlarmSound(bool enabled, QObject* parent = nullptr);
    ~AlarmSound() override;

    bool isPlaying() const { return m_playing; }
    // Empty while the sound is heard or not asked for.
    QString fault() const { return m_fault; }

public slots:
    void setUnacknowledged(int count);
    void alarmRaised();
    void silence();

signals:
    void playingChanged(bool playing);
    void faultChanged(const QString& fault);

private:
    void update();
    void startStream();
    void stopStream();
    void feed();
    void setFault(const QString& fault);

    bool m_enabled;
    int m_unacknowledged = 0;
    bool m_silenced = false;
    bool m_playing = false;
    QAudioFormat m_format;
    QByteArray m_samples;          // read at the first alarm, played in a loop
    QAudioSink* m_sink = nullptr;  // made at each start: until the first alarm no sound server is asked
    QIODevice* m_stream = nullptr; // the sink's input
    qint64 m_position = 0;         // next byte of m_samples to write
    qint64 m_written = 0;          // bytes the stream took
    QTimer m_feedTimer;
    QElapsedTimer m_sinceTaken; // since the stream last took samples
    int m_stalls = 0;           // streams replaced since samples were last taken
    QString m_fault;
};
