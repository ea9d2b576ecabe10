#include "notice/AlarmSound.h"

#include <QSoundEffect>

AlarmSound::AlarmSound(bool enabled, QObject* parent) : QObject(parent), m_enabled(enabled) {}

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
    if (!m_effect) {
        m_effect = new QSoundEffect(this);
        m_effect->setSource(QUrl(QStringLiteral("qrc:/sounds/alarm.wav")));
        m_effect->setLoopCount(QSoundEffect::Infinite);
    }
    if (playing)
        m_effect->play();
    else
        m_effect->stop();
    emit playingChanged(playing);
}
