// The error box a failing poll step shows, really shown: polling goes on
// under it, so every further error only replaces its text.
#include "kit/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

class MessageBoxTest final : public QObject
{
    Q_OBJECT
private slots:
    void errorWithoutWaitingKeepsOneBox()
    {
        QWidget window;
        window.show();
        for (const char* text : {"first", "second", "database is locked"})
            MessageBox::errorWithoutWaiting(text, &window);
        QStringList boxes; // their texts, "-" for a hidden one
        for (QWidget* shown : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(shown))
                boxes << (box->isVisible() ? box->text() : "-");
        }
        QCOMPARE(boxes, QStringList{"database is locked"});
    }
};

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
