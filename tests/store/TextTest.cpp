#include "store/Text.h"
#include "store/AppError.h"

#include <QTest>

class TextTest final : public QObject
{
    Q_OBJECT
private slots:
    void toInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // 0: refused
        QTest::newRow("leading blanks") << "   7" << 7;
        QTest::newRow("plus") << "+5" << 5;
        QTest::newRow("dollar hex") << "$ff" << 255;
        QTest::newRow("x hex") << "x10" << 16;
        QTest::newRow("X hex") << "XFF" << 255;
        QTest::newRow("0x hex") << "0x1A" << 26;
        QTest::newRow("0X hex") << "0X1a" << 26;
        QTest::newRow("negative hex") << "-$10" << -16;
        QTest::newRow("max") << "2147483647" << 2147483647;
        QTest::newRow("min") << "-2147483648" << int(-2147483647 - 1);
        for (const char* text : {"", "12 ", "1.5", "-", "--1", "0x", "$fg", "2147483648", "-2147483649",
                                 "$100000000", "99999999999999999999", "１２"})
            QTest::addRow("refused '%s'", text) << QString(text) << 0;
    }

    void toInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        try {
            QCOMPARE(Text::toInt(text), value);
            QVERIFY2(value != 0, "conversion should fail");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), QString("'%1' is not a valid integer value").arg(text));
            QCOMPARE(value, 0);
        }
    }

    void trimmingAndDateTimeText()
    {
        // Ideographic space (U+3000) is above code 32 and stays.
        QCOMPARE(Text::trimmed("\t\r\n  a b \x01\x1f") + Text::trimmed("\u3000管理员"), "a b\u3000管理员");
        const QDateTime value(QDate(2026, 3, 4), QTime(5, 6, 7));
        QCOMPARE(Text::dateTimeText(value), "2026-03-04 05:06:07");
        QCOMPARE(Text::parseDateTime("2026-03-04 05:06:07"), value);
        QCOMPARE(Text::parseDateTime(QString()), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
        QCOMPARE(Text::parseDateTime("2026-03-04"), QDateTime(QDate(2026, 3, 4), QTime(0, 0)));
    }
};

QTEST_GUILESS_MAIN(TextTest)
#include "TextTest.moc"
