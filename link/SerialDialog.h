#pragma once

#include "store/StatusPanel.h"

#include <QDialog>

class Connection;
class FieldBus;
class OperationLog;
class Query;
class QComboBox;
class QLabel;
class QPushButton;
struct LineSettings;

// Serial port settings: the operator picks the port and its line settings,
// opens the port through the bus and closes it again. A successful opening
// stores the settings in soft_record. Closed only with the window's close box.
class SerialDialog final : public QDialog
{
    Q_OBJECT
public:
    SerialDialog(Connection& connection, LineSettings& line, FieldBus* bus, OperationLog& log);

    void setBus(FieldBus* bus) { m_bus = bus; }

    QLabel* portLabel;
    QComboBox* portCombo; // port
    QLabel* baudLabel;
    QComboBox* baudCombo; // baud rate
    QLabel* dataBitsLabel;
    QComboBox* dataBitsCombo; // data bits
    QLabel* stopBitsLabel;
    QComboBox* stopBitsCombo; // stop bits
    QLabel* parityLabel;
    QComboBox* parityCombo; // parity
    QPushButton* openButton;
    QPushButton* closeButton;
    Query* settingsQuery;

signals:
    void statusTextChanged(int panel, const QString& text);

public slots:
    void FormShow();
    void openPort();
    void closePort();
    // The row of the port's closing when the program ends with it open (the
    // station closes it on its own thread).
    void recordLeaving();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillPortList(QComboBox& combo);
    void storeLineSettings();
    int openAside(const LineSettings& line);

    LineSettings& m_line;
    OperationLog& m_log;
    FieldBus* m_bus;
};
