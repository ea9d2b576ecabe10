#pragma once

#include "NodeRows.h"

#include "app/MessageBox.h"
#include "app/TForm1.h"
#include "app/TFrame1.h"
#include "users/TForm2.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <memory>

// A main window on a fresh database, message boxes recorded; the window is
// made only when a test asks for it, after filling the table.
class DisplayFixture final
{
public:
    DisplayFixture() { MessageBox::setRecording(true); }
    ~DisplayFixture()
    {
        m_form.reset();
        MessageBox::setRecording(false);
    }

    Connection& connection() { return m_db.connection(); }
    TestDatabase& db() { return m_db; }

    TForm1& form()
    {
        if (!m_form)
            m_form = std::make_unique<TForm1>(m_db.connection(), 1280);
        return *m_form;
    }

    // Puts the window on screen as after a login, without the login dialog.
    void show()
    {
        TForm1& f = form();
        delete f.Form2;
        f.Form2 = nullptr;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::qWait(0);
    }

    QLineEdit* header(int card) { return form().CardHeaders.at(card - 1); }
    QListWidget* list(int card) { return form().CardLists.at(card - 1); }

    QStringList lines(int card)
    {
        QStringList result;
        QListWidget* l = list(card);
        for (int i = 0; l && i < l->count(); ++i)
            result << l->item(i)->text();
        return result;
    }

    QColor headerColour(int card) { return header(card)->palette().color(QPalette::Base); }

    // The cards' controls now on the frame.
    QList<QWidget*> cardControls()
    {
        return form().Frame11->host()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    }

private:
    TestDatabase m_db;
    std::unique_ptr<TForm1> m_form;
};

namespace Colours {
inline const QColor normal(192, 220, 192);
inline const QColor alarm(231, 0, 0);
inline const QColor commLoss(255, 255, 0);
} // namespace Colours

// Counts controls put on or taken off a widget while it watches.
class ChildWatch final : public QObject
{
public:
    explicit ChildWatch(QWidget* watched) { watched->installEventFilter(this); }
    int added = 0;
    int removed = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded)
            ++added;
        else if (event->type() == QEvent::ChildRemoved)
            ++removed;
        return false;
    }
};
