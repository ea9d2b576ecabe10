// The error box a failing poll step shows, really shown: polling goes on
// under it, so every further error only replaces its text.
#include "kit/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

namespace {
// Texts of the message boxes there are, "-" marking a hidden one.
QStringList boxes()
{
    QStringList texts;
    for (QWidget* shown : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(shown))
            texts << (box->isVisible() ? box->text() : "-");
    }
    return texts;
}
} // namespace

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
        QCOMPARE(boxes(), QStringList{"database is locked"});
        // Once the operator closed it, the next error shows again.
        for (QWidget* shown : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(shown))
                QTest::keyClick(box, Qt::Key_Escape);
        }
        QTRY_COMPARE(boxes(), QStringList());
        MessageBox::errorWithoutWaiting("again", &window);
        QCOMPARE(boxes(), QStringList{"again"});
    }
};

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
