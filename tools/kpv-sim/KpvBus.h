#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The simulated KPV devices on one bus: their registers and how each one
// answers. Register 11 is the device status, 9 the surge protector, 5 the
// surge count; 0x0000 is normal and 0xFFFF abnormal. A device answers its
// whole block 5 to 11 (the registers without meaning read 0) unless marked
// strict: then only the registers set, as devices that refuse ranges.
class KpvBus final
{
public:
    static constexpr int statusRegister = 11;
    static constexpr int protectorRegister = 9;
    static constexpr int surgeCountRegister = 5;
    static constexpr int blockEnd = 11;

    struct Reply
    {
        QByteArray bytes; // empty: no answer at all
        int delayMs = 0;
    };

    struct CommandResult
    {
        bool ok;
        QStringList lines; // what to print; the last line starts with "ok" or "error:"
    };

    explicit KpvBus(const QList<int>& addresses);

    static QString commandHelp();

    // Adds a normal device at each bus address (1-247) not yet simulated;
    // returns the ones added.
    QList<int> addDevices(const QList<int>& addresses);
    bool serves(int address) const { return m_devices.contains(address); }
    QList<int> addresses() const { return m_devices.keys(); }
    // The answer to a request frame whose CRC has already been checked.
    Reply answer(const QByteArray& request) const;
    CommandResult execute(const QString& commandLine);

private:
    enum class Behaviour { Answer, Silent, Garbage, Late };
    enum class Garbage { Crc, Address, Short, Exception, Noise, Zero };

    struct Device
    {
        QMap<int, quint16> registers;
        Behaviour behaviour = Behaviour::Answer;
        Garbage garbage = Garbage::Crc;
        int lateMs = 0;
        bool strict = false;
    };

    static QByteArray correctAnswer(const Device& device, const QByteArray& request);
    static QByteArray spoil(const QByteArray& reply, Garbage garbage);
    static QString describe(int address, const Device& device);
    bool selectTargets(const QString& target, QList<int>* addresses, QString* error) const;

    QMap<int, Device> m_devices;
};
