#include "kit/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace {
struct Seam
{
    bool recording = false;
    bool nextAnswer = false;
    bool waitlessOpen = false;
    QStringList shown;
};

QPointer<QMessageBox>& waitlessBox()
{
    static QPointer<QMessageBox> box;
    return box;
}

Seam& seam()
{
    static Seam value;
    return value;
}

QWidget* ownerFor(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}
} // namespace

void MessageBox::show(const QString& text, QWidget* parent)
{
    if (seam().recording) {
        seam().shown << text;
        return;
    }
    QMessageBox::information(ownerFor(parent), QApplication::applicationName(), text);
}

void MessageBox::error(const QString& text, QWidget* parent)
{
    if (seam().recording) {
        seam().shown << text;
        return;
    }
    QMessageBox::critical(ownerFor(parent), QApplication::applicationName(), text);
}

bool MessageBox::question(const QString& text, QWidget* parent)
{
    if (seam().recording) {
        seam().shown << text;
        return seam().nextAnswer;
    }
    return QMessageBox::question(ownerFor(parent), QApplication::applicationName(), text) == QMessageBox::Yes;
}

void MessageBox::errorWithoutWaiting(const QString& text, QWidget* parent)
{
    if (seam().recording) {
        if (!seam().waitlessOpen)
            seam().shown << text;
        seam().waitlessOpen = true;
        return;
    }
    QPointer<QMessageBox>& box = waitlessBox();
    if (box) {
        box->setText(text);
        return;
    }
    box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok,
                          ownerFor(parent));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void MessageBox::setRecording(bool recording)
{
    seam() = Seam{};
    seam().recording = recording;
}

void MessageBox::setNextAnswer(bool yes)
{
    seam().nextAnswer = yes;
}

QStringList MessageBox::takeShown()
{
    QStringList result;
    result.swap(seam().shown);
    seam().waitlessOpen = false;
    return result;
}
