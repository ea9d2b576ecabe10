#include "store/Text.h"
#include "store/AppError.h"

#include <QTest>

class TextTest final : public QObject
{
    Q_OBJECT
private slots:
    void toIntAccepts_data();
    void toIntAccepts();
    void toIntRefuses_data();
    void toIntRefuses();
    void trimmedRemovesControlCharacters();
    void gbkLengthCountsChineseAsTwoBytes_data();
    void gbkLengthCountsChineseAsTwoBytes();
    void dateTimeRoundTripsAndEmptyIsZeroDate();
    void numericKeyFilter_data();
    void numericKeyFilter();
};

void TextTest::toIntAccepts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "42" << 42;
    QTest::newRow("leading blanks") << "   7" << 7;
    QTest::newRow("plus") << "+5" << 5;
    QTest::newRow("minus") << "-13" << -13;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("dollar hex") << "$ff" << 255;
    QTest::newRow("x hex") << "x10" << 16;
    QTest::newRow("X hex") << "XFF" << 255;
    QTest::newRow("0x hex") << "0x1A" << 26;
    QTest::newRow("0X hex") << "0X1a" << 26;
    QTest::newRow("negative hex") << "-$10" << -16;
    QTest::newRow("max") << "2147483647" << 2147483647;
    QTest::newRow("min") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("leading zeros") << "0007" << 7;
}

void TextTest::toIntAccepts()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(Text::toInt(text), value);
}

void TextTest::toIntRefuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("trailing blank") << "12 ";
    QTest::newRow("decimal point") << "1.5";
    QTest::newRow("letters") << "abc";
    QTest::newRow("sign only") << "-";
    QTest::newRow("hex prefix only") << "0x";
    QTest::newRow("bad hex digit") << "$fg";
    QTest::newRow("overflow") << "2147483648";
    QTest::newRow("negative overflow") << "-2147483649";
    QTest::newRow("hex overflow") << "$100000000";
    QTest::newRow("huge") << "99999999999999999999";
    QTest::newRow("double sign") << "--1";
    QTest::newRow("full-width digit") << QString::fromUtf8("１２");
}

void TextTest::toIntRefuses()
{
    QFETCH(QString, text);
    try {
        Text::toInt(text);
        QFAIL("conversion should fail");
    } catch (const AppError& e) {
        QCOMPARE(e.text(), QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
}

void TextTest::trimmedRemovesControlCharacters()
{
    QCOMPARE(Text::trimmed(QStringLiteral("\t\r\n  abc \x01\x1f")), QStringLiteral("abc"));
    QCOMPARE(Text::trimmed(QStringLiteral(" a b ")), QStringLiteral("a b"));
    // Ideographic space (U+3000) is above code 32 and stays.
    QCOMPARE(Text::trimmed(QString::fromUtf8("\u3000管理员")), QString::fromUtf8("\u3000管理员"));
    QCOMPARE(Text::trimmed(QStringLiteral("   ")), QString());
}

void TextTest::gbkLengthCountsChineseAsTwoBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("ascii") << "KPV1" << 4;
    QTest::newRow("chinese") << QString::fromUtf8("配电室") << 6;
    QTest::newRow("mixed") << QString::fromUtf8("A配电室1") << 8;
    QTest::newRow("ten chinese") << QString::fromUtf8("一二三四五六七八九十") << 20;
    QTest::newRow("empty") << "" << 0;
}

void TextTest::gbkLengthCountsChineseAsTwoBytes()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QCOMPARE(Text::gbkLength(text), bytes);
}

void TextTest::dateTimeRoundTripsAndEmptyIsZeroDate()
{
    const QDateTime value(QDate(2026, 3, 4), QTime(5, 6, 7));
    QCOMPARE(Text::dateTimeText(value), QStringLiteral("2026-03-04 05:06:07"));
    QCOMPARE(Text::parseDateTime(Text::dateTimeText(value)), value);
    QCOMPARE(Text::parseDateTime(QString()), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    QCOMPARE(Text::parseDateTime(QStringLiteral("2026-03-04")), QDateTime(QDate(2026, 3, 4), QTime(0, 0)));
}

void TextTest::numericKeyFilter_data()
{
    QTest::addColumn<QChar>("key");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0") << QChar(u'0') << true;
    QTest::newRow("9") << QChar(u'9') << true;
    QTest::newRow("dot") << QChar(u'.') << true;
    QTest::newRow("backspace") << QChar(8) << true;
    QTest::newRow("enter") << QChar(13) << true;
    QTest::newRow("letter") << QChar(u'a') << false;
    QTest::newRow("minus") << QChar(u'-') << false;
    QTest::newRow("blank") << QChar(u' ') << false;
    QTest::newRow("comma") << QChar(u',') << false;
    QTest::newRow("paste control") << QChar(22) << false;
}

void TextTest::numericKeyFilter()
{
    QFETCH(QChar, key);
    QFETCH(bool, accepted);
    QCOMPARE(Text::isNumericKey(key), accepted);
}

QTEST_GUILESS_MAIN(TextTest)
#include "TextTest.moc"
