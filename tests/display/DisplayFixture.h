#pragma once

#include "NodeRows.h"

#include "app/CardFrame.h"
#include "app/MainWindow.h"
#include "display/DataPanel.h"
#include "kit/MessageBox.h"
#include "users/LoginDialog.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <memory>

// A main window on a fresh database, message boxes recorded; the window is
// made only when a test asks for it, after filling the table.
struct DisplayFixture final
{
    DisplayFixture() { MessageBox::setRecording(true); }
    ~DisplayFixture()
    {
        window.reset();
        MessageBox::setRecording(false);
    }

    Connection& connection() { return db.connection(); }

    MainWindow& form()
    {
        if (!window)
            window = std::make_unique<MainWindow>(station, 1280);
        return *window;
    }

    // Waits until the station answered every request.
    bool settle()
    {
        return QTest::qWaitFor([this]() { return !station.busy(); }, 10000);
    }

    QLineEdit* header(int card) { return form().panel().CardHeaders.at(card - 1); }
    QListWidget* list(int card) { return form().panel().CardLists.at(card - 1); }
    QColor headerColour(int card) { return header(card)->palette().color(QPalette::Base); }

    QStringList lines(int card)
    {
        QStringList result;
        for (int i = 0; i < list(card)->count(); ++i)
            result << list(card)->item(i)->text();
        return result;
    }

    QList<QWidget*> cardControls()
    {
        return form().cardFrame->host()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    }

    TestDatabase db;
    Station station{db.connection()};
    std::unique_ptr<MainWindow> window;
};

namespace Colours {
inline const QColor normal(192, 220, 192);
inline const QColor alarm(231, 0, 0);
inline const QColor commLoss(255, 255, 0);
} // namespace Colours

// Counts controls put on or taken off a widget while it watches.
struct ChildWatch final : QObject
{
    explicit ChildWatch(QWidget* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        changes += event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved;
        return false;
    }
    int changes = 0;
};
