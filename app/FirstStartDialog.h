#pragma once

#include "app/DatabaseSearch.h"

#include <QDialog>

class QLabel;
class QLineEdit;

// Shown when no database file was found: says where the program looked and
// offers to create a station database where an installed station keeps it.
// The file is made only when the operator fills in the administrator and
// presses 创建; 退出 (or closing the box) leaves everything as it was.
class FirstStartDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit FirstStartDialog(const DatabaseSearch& search, QWidget* parent = nullptr);

private:
    void createStation();
    void showProblem(const QString& text);

    QString m_path;
    QLineEdit* m_administrator;
    QLineEdit* m_password;
    QLineEdit* m_passwordAgain;
    QLabel* m_problem;
};
