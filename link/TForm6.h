#pragma once

#include <QDialog>

class Connection;
class FieldBus;
class Query;
class QComboBox;
class QLabel;
class QPushButton;
struct MainState;

// Serial port settings: the operator picks the port and its line settings,
// opens the port through the bus and closes it again. A successful opening
// stores the settings in soft_record. Closed only with the window's close box.
class TForm6 final : public QDialog
{
    Q_OBJECT
public:
    TForm6(Connection& connection, MainState& state, FieldBus* bus);

    void setBus(FieldBus* bus) { m_bus = bus; }

    QLabel* Label1;
    QComboBox* ComboBox1; // port
    QLabel* Label2;
    QComboBox* ComboBox2; // baud rate
    QLabel* Label3;
    QComboBox* ComboBox3; // data bits
    QLabel* Label4;
    QComboBox* ComboBox4; // stop bits
    QLabel* Label5;
    QComboBox* ComboBox5; // parity
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    Query* ADOQuery1;

signals:
    void statusTextChanged(int panel, const QString& text);

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillPortList(QComboBox& combo);
    void storeLineSettings();

    MainState& m_state;
    FieldBus* m_bus;
};
