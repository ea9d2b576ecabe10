#include "store/Text.h"
#include "store/AppError.h"

#include <QTest>

class TextTest final : public QObject
{
    Q_OBJECT
private slots:
    void toInt_data();
    void toInt();
    void trimmingGbkLengthAndDateTimeText();
};

void TextTest::toInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "42" << true << 42;
    QTest::newRow("leading blanks") << "   7" << true << 7;
    QTest::newRow("plus") << "+5" << true << 5;
    QTest::newRow("minus") << "-13" << true << -13;
    QTest::newRow("dollar hex") << "$ff" << true << 255;
    QTest::newRow("x hex") << "x10" << true << 16;
    QTest::newRow("X hex") << "XFF" << true << 255;
    QTest::newRow("0x hex") << "0x1A" << true << 26;
    QTest::newRow("0X hex") << "0X1a" << true << 26;
    QTest::newRow("negative hex") << "-$10" << true << -16;
    QTest::newRow("max") << "2147483647" << true << 2147483647;
    QTest::newRow("min") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("trailing blank") << "12 " << false << 0;
    QTest::newRow("decimal point") << "1.5" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("double sign") << "--1" << false << 0;
    QTest::newRow("hex prefix only") << "0x" << false << 0;
    QTest::newRow("bad hex digit") << "$fg" << false << 0;
    QTest::newRow("overflow") << "2147483648" << false << 0;
    QTest::newRow("negative overflow") << "-2147483649" << false << 0;
    QTest::newRow("hex overflow") << "$100000000" << false << 0;
    QTest::newRow("beyond 64 bits") << "99999999999999999999" << false << 0;
    QTest::newRow("full-width digits") << QString::fromUtf8("１２") << false << 0;
}

void TextTest::toInt()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    try {
        QCOMPARE(Text::toInt(text), value);
        QVERIFY2(valid, "conversion should fail");
    } catch (const AppError& e) {
        QVERIFY2(!valid, qPrintable(e.text()));
        QCOMPARE(e.text(), QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
}

void TextTest::trimmingGbkLengthAndDateTimeText()
{
    QCOMPARE(Text::trimmed(QStringLiteral("\t\r\n  a b \x01\x1f")), QStringLiteral("a b"));
    // Ideographic space (U+3000) is above code 32 and stays.
    QCOMPARE(Text::trimmed(QString::fromUtf8("\u3000管理员")), QString::fromUtf8("\u3000管理员"));

    QCOMPARE(Text::gbkLength(QString::fromUtf8("A配电室1")), 8);

    const QDateTime value(QDate(2026, 3, 4), QTime(5, 6, 7));
    QCOMPARE(Text::dateTimeText(value), QStringLiteral("2026-03-04 05:06:07"));
    QCOMPARE(Text::parseDateTime(Text::dateTimeText(value)), value);
    QCOMPARE(Text::parseDateTime(QString()), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    QCOMPARE(Text::parseDateTime(QStringLiteral("2026-03-04")), QDateTime(QDate(2026, 3, 4), QTime(0, 0)));
}

QTEST_GUILESS_MAIN(TextTest)
#include "TextTest.moc"
