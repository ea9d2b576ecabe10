#pragma once

#include <QString>

// Texts the poll cycle stores in node_record and the views compare against.
namespace StatusTexts {
inline const QString kCommNormal = QStringLiteral("通信正常");
inline const QString kCommAbnormal = QStringLiteral("通信异常");
inline const QString kNormal = QStringLiteral("正常");
inline const QString kAbnormal = QStringLiteral("异常");
inline const QString kAlarm = QStringLiteral("告警");
} // namespace StatusTexts

// Texts a node row carries for its data type and alarm type.
namespace NodeTexts {
inline const QString kSwitch = QStringLiteral("开关量");
inline const QString kAnalogue = QStringLiteral("模拟量");
inline const QString kZeroNormal = QStringLiteral("0000(正常)/FFFF(异常)");
inline const QString kFfffNormal = QStringLiteral("FFFF(正常)/0000(异常)");
// The node whose value is the device's surge counter.
inline const QString kSurgeCount = QStringLiteral("浪涌次数");
} // namespace NodeTexts
