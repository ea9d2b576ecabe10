#pragma once

#include "MainWindowFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>

// Presses a main window command and runs script on the dialog it opens
// modally; the dialog is closed afterwards.
template <typename Script> void drive(QPushButton* command, Script script)
{
    bool ran = false;
    whenModalOpens([&](QDialog* dialog) {
        ran = dialog && QTest::qWaitForWindowActive(dialog);
        if (ran)
            script(*dialog);
    });
    QTest::mouseClick(command, Qt::LeftButton);
    QVERIFY2(ran, "no dialog opened or it never became active");
}

template <typename T = QWidget> T* child(QDialog& dialog, const char* name)
{
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

inline void press(QDialog& dialog, const char* button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

// Clicks a cell of the dialog's grid recordGrid.
inline void pickRow(QDialog& dialog, int row)
{
    auto* grid = child<QTableView>(dialog, "recordGrid");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(row, 0)).center());
}
