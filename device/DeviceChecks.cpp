#include "device/DeviceChecks.h"

#include "device/StandardNodes.h"
#include "store/StatusTexts.h"
#include "store/Text.h"

namespace DeviceChecks {

namespace {
constexpr int kMaxNameBytes = 20;
constexpr qlonglong kMaxRegister = 256;
// A register holds 16 bits without a sign; a limit outside them could never
// be reached, and the poll reads the stored limit as a 32-bit number.
constexpr qlonglong kMaxLimit = 65535;

// The value of a decimal whole number of any size; nothing for other text.
std::optional<qlonglong> decimal(const QString& text)
{
    bool ok = false;
    const qlonglong value = Text::trimmed(text).toLongLong(&ok);
    return ok ? std::optional<qlonglong>(value) : std::nullopt;
}

// A decimal number is judged at any size; other spellings go through the
// conversion, which throws for what is not a whole number.
qlonglong wholeNumber(const QString& text)
{
    if (const std::optional<qlonglong> value = decimal(text))
        return *value;
    return Text::toInt(text);
}

// Limits are stored as typed, so only a decimal whole number will do.
bool isLimit(const QString& text)
{
    const std::optional<qlonglong> value = decimal(text);
    return value && *value >= 0 && *value <= kMaxLimit;
}

Result device(const QString& address, const QString& name, const QString& rangeMessage)
{
    if (Text::trimmed(address).isEmpty())
        return Refusal{QStringLiteral("设备地址不能为空"), Field::Address};
    const int id = Text::toInt(address);
    if (id < 1 || id > 247)
        return Refusal{rangeMessage, Field::Address};
    if (Text::trimmed(name).isEmpty())
        return Refusal{QStringLiteral("设备名称不能为空"), Field::DeviceName};
    // The limit is in bytes of the Chinese code page: 20 ASCII or 10 Chinese characters.
    if (Text::gbkLength(name) > kMaxNameBytes)
        return Refusal{QStringLiteral("设备名称太长"), Field::DeviceName};
    return std::nullopt;
}
} // namespace

Result newDevice(const QString& address, const QString& name, const QString& type)
{
    if (Result refused = device(address, name, QStringLiteral("设备地址错误!范围:1~247")))
        return refused;
    if (Text::trimmed(type).isEmpty())
        return Refusal{QStringLiteral("请选择设备类型"), Field::DeviceType};
    return std::nullopt;
}

Result changedDevice(const QString& address, const QString& name)
{
    return device(address, name, QStringLiteral("设备地址错误!"));
}

Result node(const NodeInput& in)
{
    if (Result refused = changedDevice(in.address, in.deviceName))
        return refused;
    // The "节名" texts are the ones operators know from the field.
    if (Text::trimmed(in.nodeName).isEmpty())
        return Refusal{QStringLiteral("节名名称不能为空"), Field::NodeName};
    const QString code = Text::trimmed(in.code);
    if (code.isEmpty())
        return Refusal{QStringLiteral("节名代码不能为空"), Field::Code};
    const int function = Text::toInt(code);
    if (function < 3 || function > 4)
        return Refusal{QStringLiteral("节名代码错误"), Field::Code};
    if (Text::trimmed(in.reg).isEmpty())
        return Refusal{QStringLiteral("节名地址不能为空"), Field::Register};
    const qlonglong reg = wholeNumber(in.reg);
    if (reg < 0 || reg > kMaxRegister)
        return Refusal{QStringLiteral("节名地址错误"), Field::Register};
    const QString dataType = Text::trimmed(in.dataType);
    if (dataType.isEmpty())
        return Refusal{QStringLiteral("数据类型不能为空"), Field::DataType};
    if (dataType != NodeTexts::kSwitch && dataType != NodeTexts::kAnalogue)
        return Refusal{QStringLiteral("数据类型错误"), Field::DataType};
    if (dataType == NodeTexts::kSwitch) {
        const QString alarmType = Text::trimmed(in.alarmType);
        if (alarmType.isEmpty())
            return Refusal{QStringLiteral("报警类型不能为空"), Field::AlarmType};
        if (alarmType != NodeTexts::kZeroNormal && alarmType != NodeTexts::kFfffNormal)
            return Refusal{QStringLiteral("报警类型错误"), Field::AlarmType};
    } else {
        if (Text::trimmed(in.lower).isEmpty())
            return Refusal{QStringLiteral("报警下限不能为空"), Field::Lower};
        if (Text::trimmed(in.upper).isEmpty())
            return Refusal{QStringLiteral("报警上限不能为空"), Field::Upper};
        if (!isLimit(in.lower))
            return Refusal{QStringLiteral("报警下限错误"), Field::Lower};
        if (!isLimit(in.upper))
            return Refusal{QStringLiteral("报警上限错误"), Field::Upper};
    }
    return std::nullopt;
}

} // namespace DeviceChecks
