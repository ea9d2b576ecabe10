#pragma once

#include "ScriptedBus.h"
#include "TestDatabase.h"

#include "app/MainWindow.h"
#include "kit/MessageBox.h"
#include "link/SerialDialog.h"
#include "users/LoginDialog.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <memory>

// A main window on a fresh database, with message boxes recorded, not shown.
struct MainWindowFixture
{
    explicit MainWindowFixture(int screenWidth = 1280)
    {
        MessageBox::setRecording(true);
        form = std::make_unique<MainWindow>(station, screenWidth);
    }
    ~MainWindowFixture() { MessageBox::setRecording(false); }

    // Puts the main window on screen as after a login: the login dialog is
    // gone, so showing it runs the rest of its first showing.
    void showLoggedIn()
    {
        delete form->loginDialog;
        form->loginDialog = nullptr;
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("main window not exposed");
        QCoreApplication::processEvents();
    }

    // Logs in through the login dialog, then opens the stored port in the serial dialog.
    void logInAndOpenPort(const QString& user, const QString& password)
    {
        form->loginDialog->userEdit->setText(user);
        form->loginDialog->passwordEdit->setText(password);
        form->loginDialog->logIn();
        showLoggedIn();
        form->serialDialog->FormShow();
        form->serialDialog->openPort();
    }

    // Waits until the station answered every request; step() after one poll tick.
    bool settle()
    {
        return QTest::qWaitFor([this]() { return !station.busy(); }, 10000);
    }
    bool step()
    {
        station.pollTick();
        return settle();
    }

    TestDatabase db;
    ScriptedBus bus; // for form->setBus(); the station closes its port on it when it goes
    Station station{db.connection()};
    std::unique_ptr<MainWindow> form;
};

// Closes the next modal dialog once it is up, after running check on it.
template <typename Check> void whenModalOpens(Check check)
{
    QTimer::singleShot(0, [check]() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        check(dialog);
        if (dialog)
            dialog->done(QDialog::Rejected);
    });
}
