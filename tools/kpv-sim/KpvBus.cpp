#include "tools/kpv-sim/KpvBus.h"

#include "tools/kpv-sim/RtuFramer.h"

#include <QRandomGenerator>

namespace {

constexpr quint16 abnormalValue = 0xFFFF;
constexpr int maxReadCount = 125;

enum ExceptionCode : char {
    illegalFunction = 1,
    illegalDataAddress = 2,
    illegalDataValue = 3,
    deviceFailure = 4
};

QByteArray exceptionReply(const QByteArray& request, char code)
{
    QByteArray body;
    body.append(request.at(0));
    body.append(static_cast<char>(request.at(1) | 0x80));
    body.append(code);
    return RtuFramer::withCrc(body);
}

int word(const QByteArray& bytes, int at)
{
    return (static_cast<quint8>(bytes.at(at)) << 8) | static_cast<quint8>(bytes.at(at + 1));
}

// Decimal or 0x-prefixed hexadecimal, within [low, high].
bool parseNumber(const QString& text, int low, int high, int* value)
{
    bool ok = false;
    const int parsed = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toInt(&ok, 16)
                                                                                 : text.toInt(&ok, 10);
    if (!ok || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

KpvBus::CommandResult failure(const QString& message)
{
    return {false, {QStringLiteral("error: ") + message}};
}

} // namespace

KpvBus::KpvBus(const QList<int>& addresses)
{
    addDevices(addresses);
}

QList<int> KpvBus::addDevices(const QList<int>& addresses)
{
    QList<int> added;
    for (const int address : addresses) {
        if (address < 1 || address > 247 || m_devices.contains(address))
            continue;
        Device device;
        device.registers = {{statusRegister, 0}, {protectorRegister, 0}, {surgeCountRegister, 0}};
        m_devices.insert(address, device);
        added.append(address);
    }
    return added;
}

QString KpvBus::commandHelp()
{
    return QStringLiteral(
        "Commands on standard input (<addr> is a device address or \"all\"):\n"
        "  normal <addr>             answer, status (11) and surge protector (9) read 0x0000\n"
        "  abnormal <addr>           answer, status (11) and surge protector (9) read 0xFFFF\n"
        "  silent <addr>             stop answering\n"
        "  garbage <addr> [kind]     answer wrongly; kind is one of\n"
        "                              crc        correct reply with a corrupted CRC (default)\n"
        "                              address    correct reply sent from the next address\n"
        "                              short      reply cut off before its end\n"
        "                              exception  exception reply, code 04 (device failure)\n"
        "                              noise      random bytes of a reply's length\n"
        "                              zero       correct reply sent from address 0\n"
        "  late <addr> <ms>          answer correctly, but only after <ms> milliseconds\n"
        "  surge <addr> [n]          count n surges (default 1) in register 5\n"
        "  set <addr> <reg> <value>  set any register (decimal or 0x hex); registers not set\n"
        "                            outside the block 5-11 answer with exception 02\n"
        "  strict <addr>             registers not set answer with exception 02 in the\n"
        "                            block 5-11 too (a device that refuses ranges)\n"
        "  turnaround <addr> <ms>    with --line-time, the device's time from the end of a\n"
        "                            request to its reply (default 5 ms)\n"
        "  trace on|off              print \"request <addr> <function> [<register> <count>]\"\n"
        "                            for each request received\n"
        "  status                    show every device\n"
        "  help                      show this text\n"
        "  quit                      remove the port link and exit\n"
        "Each command prints one line starting with \"ok\" or \"error:\" (status first\n"
        "prints one line per device). normal and abnormal also end silent, garbage and late.");
}

KpvBus::Reply KpvBus::answer(const QByteArray& request) const
{
    const auto it = m_devices.constFind(static_cast<quint8>(request.at(0)));
    if (it == m_devices.constEnd() || it->behaviour == Behaviour::Silent)
        return {};
    const QByteArray reply = correctAnswer(*it, request);
    if (it->behaviour == Behaviour::Garbage)
        return {spoil(reply, it->garbage), 0};
    return {reply, it->behaviour == Behaviour::Late ? it->lateMs : 0};
}

QByteArray KpvBus::correctAnswer(const Device& device, const QByteArray& request)
{
    const char function = request.at(1);
    if (function != 3 && function != 4)
        return exceptionReply(request, illegalFunction);
    if (request.size() != 8)
        return exceptionReply(request, illegalDataValue);
    const int first = word(request, 2);
    const int count = word(request, 4);
    if (count < 1 || count > maxReadCount)
        return exceptionReply(request, illegalDataValue);
    QByteArray body;
    body.append(request.at(0));
    body.append(function);
    body.append(static_cast<char>(2 * count));
    // Functions 03 and 04 read the same registers: KPV devices keep one map.
    for (int reg = first; reg < first + count; ++reg) {
        const auto found = device.registers.constFind(reg);
        const bool inBlock = !device.strict && surgeCountRegister <= reg && reg <= blockEnd;
        if (found == device.registers.constEnd() && !inBlock)
            return exceptionReply(request, illegalDataAddress);
        const quint16 value = found == device.registers.constEnd() ? 0 : *found;
        body.append(static_cast<char>(value >> 8));
        body.append(static_cast<char>(value & 0xFF));
    }
    return RtuFramer::withCrc(body);
}

QByteArray KpvBus::spoil(const QByteArray& reply, Garbage garbage)
{
    switch (garbage) {
    case Garbage::Crc: {
        QByteArray spoilt = reply;
        spoilt[spoilt.size() - 1] = static_cast<char>(spoilt.at(spoilt.size() - 1) ^ 0x5A);
        return spoilt;
    }
    case Garbage::Address: {
        QByteArray body = reply.left(reply.size() - 2);
        body[0] = static_cast<char>(static_cast<quint8>(body.at(0)) % 247 + 1);
        return RtuFramer::withCrc(body);
    }
    case Garbage::Zero: { // the broadcast address, which libmodbus lets through to the caller
        QByteArray body = reply.left(reply.size() - 2);
        body[0] = '\0';
        return RtuFramer::withCrc(body);
    }
    case Garbage::Short:
        return reply.left(reply.size() - 3);
    case Garbage::Exception:
        return exceptionReply(reply, deviceFailure);
    case Garbage::Noise: {
        QByteArray noise(reply.size(), '\0');
        for (char& byte : noise)
            byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
        if (RtuFramer::hasValidCrc(noise))
            noise[0] = static_cast<char>(noise.at(0) ^ 0xFF);
        return noise;
    }
    }
    return {};
}

KpvBus::CommandResult KpvBus::execute(const QString& commandLine)
{
    const QStringList words = commandLine.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return failure(QStringLiteral("empty command"));
    const QString& command = words.at(0);
    if (command == QLatin1String("help"))
        return {true, commandHelp().split(QLatin1Char('\n')) << QStringLiteral("ok help")};
    if (command == QLatin1String("status")) {
        QStringList lines;
        for (auto it = m_devices.cbegin(); it != m_devices.cend(); ++it)
            lines.append(describe(it.key(), *it));
        lines.append(QStringLiteral("ok status"));
        return {true, lines};
    }

    static const QStringList withTarget{QStringLiteral("normal"), QStringLiteral("abnormal"),
                                        QStringLiteral("silent"), QStringLiteral("garbage"),
                                        QStringLiteral("late"),   QStringLiteral("surge"),
                                        QStringLiteral("set"),    QStringLiteral("strict")};
    if (!withTarget.contains(command))
        return failure(QStringLiteral("unknown command \"%1\" (try help)").arg(command));
    QList<int> targets;
    QString error;
    if (words.size() < 2 || !selectTargets(words.at(1), &targets, &error))
        return failure(words.size() < 2 ? QStringLiteral("%1 needs an address").arg(command) : error);
    const QStringList arguments = words.mid(2);

    // Parse everything first so that a bad argument changes nothing.
    Behaviour behaviour = Behaviour::Answer;
    Garbage garbage = Garbage::Crc;
    int number = 1;
    int reg = 0;
    if (command == QLatin1String("garbage")) {
        static const QMap<QString, Garbage> kinds{
            {QStringLiteral("crc"), Garbage::Crc},     {QStringLiteral("address"), Garbage::Address},
            {QStringLiteral("short"), Garbage::Short}, {QStringLiteral("exception"), Garbage::Exception},
            {QStringLiteral("noise"), Garbage::Noise}, {QStringLiteral("zero"), Garbage::Zero}};
        if (arguments.size() > 1 || (arguments.size() == 1 && !kinds.contains(arguments.at(0))))
            return failure(QStringLiteral("garbage kind is crc, address, short, exception, noise or zero"));
        behaviour = Behaviour::Garbage;
        garbage = arguments.isEmpty() ? Garbage::Crc : kinds.value(arguments.at(0));
    } else if (command == QLatin1String("late")) {
        if (arguments.size() != 1 || !parseNumber(arguments.at(0), 0, 60000, &number))
            return failure(QStringLiteral("late needs a delay of 0 to 60000 ms"));
        behaviour = Behaviour::Late;
    } else if (command == QLatin1String("surge")) {
        if (arguments.size() > 1 ||
            (arguments.size() == 1 && !parseNumber(arguments.at(0), 1, 65535, &number)))
            return failure(QStringLiteral("surge count must be 1 to 65535"));
    } else if (command == QLatin1String("set")) {
        if (arguments.size() != 2 || !parseNumber(arguments.at(0), 0, 65535, &reg) ||
            !parseNumber(arguments.at(1), 0, 65535, &number))
            return failure(QStringLiteral("set needs a register and a value, both 0 to 65535"));
    } else if (command == QLatin1String("silent")) {
        behaviour = Behaviour::Silent;
    }
    if (!arguments.isEmpty() && (command == QLatin1String("normal") || command == QLatin1String("abnormal") ||
                                 command == QLatin1String("silent") || command == QLatin1String("strict")))
        return failure(QStringLiteral("%1 takes only an address").arg(command));

    for (const int address : targets) {
        Device& device = m_devices[address];
        if (command == QLatin1String("surge")) {
            quint16& count = device.registers[surgeCountRegister];
            count = static_cast<quint16>(qMin(65535, count + number));
        } else if (command == QLatin1String("set")) {
            device.registers[reg] = static_cast<quint16>(number);
        } else if (command == QLatin1String("strict")) {
            device.strict = true;
        } else {
            if (command == QLatin1String("normal") || command == QLatin1String("abnormal")) {
                const quint16 value = command == QLatin1String("normal") ? 0 : abnormalValue;
                device.registers[statusRegister] = value;
                device.registers[protectorRegister] = value;
            }
            device.behaviour = behaviour;
            device.garbage = garbage;
            device.lateMs = behaviour == Behaviour::Late ? number : 0;
        }
    }
    return {true, {QStringLiteral("ok ") + words.join(QLatin1Char(' '))}};
}

bool KpvBus::selectTargets(const QString& target, QList<int>* addresses, QString* error) const
{
    if (target == QLatin1String("all")) {
        *addresses = m_devices.keys();
        return true;
    }
    int address = 0;
    if (!parseNumber(target, 1, 247, &address) || !m_devices.contains(address)) {
        *error = QStringLiteral("no simulated device at address \"%1\"").arg(target);
        return false;
    }
    *addresses = {address};
    return true;
}

QString KpvBus::describe(int address, const Device& device)
{
    static const char* const behaviours[] = {"answer", "silent", "garbage", "late"};
    static const char* const garbages[] = {"crc", "address", "short", "exception", "noise", "zero"};
    QString line =
        QStringLiteral("%1: %2").arg(address).arg(QLatin1String(behaviours[int(device.behaviour)]));
    if (device.behaviour == Behaviour::Garbage)
        line += QLatin1Char(' ') + QLatin1String(garbages[int(device.garbage)]);
    if (device.behaviour == Behaviour::Late)
        line += QStringLiteral(" %1 ms").arg(device.lateMs);
    if (device.strict)
        line += QStringLiteral(" strict");
    for (auto it = device.registers.cbegin(); it != device.registers.cend(); ++it)
        line += QStringLiteral(" r%1=%2").arg(it.key()).arg(*it);
    return line;
}
