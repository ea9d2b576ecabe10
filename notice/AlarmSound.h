#pragma once

#include <QObject>

class QSoundEffect;

// The alarm sound: repeats while any alarm is unacknowledged, until it is
// silenced; a new alarm sounds again even after a silencing. Switched off,
// it never plays. playingChanged says when it starts and stops.
class AlarmSound final : public QObject
{
    Q_OBJECT
public:
    explicit AlarmSound(bool enabled, QObject* parent = nullptr);

    bool isPlaying() const { return m_playing; }

public slots:
    void setUnacknowledged(int count);
    void alarmRaised();
    void silence();

signals:
    void playingChanged(bool playing);

private:
    void update();

    bool m_enabled;
    QSoundEffect* m_effect = nullptr; // made at the first alarm: until then no sound server is asked
    int m_unacknowledged = 0;
    bool m_silenced = false;
    bool m_playing = false;
};
