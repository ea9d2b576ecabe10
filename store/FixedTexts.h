#pragma once

#include <QString>

// Fixed texts that several windows compare against or set: the modes of the
// data views, the kinds of tree selection, the states of the serial port and
// the two captions of the monitoring button.
namespace ViewMode {
inline const QString kCreate = QStringLiteral("创建");
inline const QString kUpdate = QStringLiteral("更新");
} // namespace ViewMode

namespace SelectionKind {
inline const QString kSystem = QStringLiteral("监控系统");
inline const QString kDevice = QStringLiteral("设备");
inline const QString kNode = QStringLiteral("节点");
} // namespace SelectionKind

namespace PortState {
inline const QString kOpen = QStringLiteral("打开");
inline const QString kClosed = QStringLiteral("关闭");
inline const QString kFailed = QStringLiteral("失败");
} // namespace PortState

namespace MonitorCaption {
inline const QString kStart = QStringLiteral("启动监控");
inline const QString kStop = QStringLiteral("关闭监控");
} // namespace MonitorCaption
