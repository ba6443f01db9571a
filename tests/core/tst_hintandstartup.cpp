#include "Hint.h"
#include "StartupCheck.h"

#include <QtTest>

class TestHintAndStartup : public QObject {
    Q_OBJECT

private slots:
    void hintSplitsAtTheFirstBar_data();
    void hintSplitsAtTheFirstBar();
    void startupChecksSettingsFileThenTextFile_data();
    void startupChecksSettingsFileThenTextFile();
};

void TestHintAndStartup::hintSplitsAtTheFirstBar_data()
{
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("shortPart");
    QTest::addColumn<QString>("longPart");
    const auto row = [](const char* name, const char* hint, const char* shortPart, const char* longPart) {
        QTest::newRow(name) << hint << shortPart << longPart;
    };
    row("tool button", "Play ... NEOGEO| Play  The  Games  . . .  NEOGEO", "Play ... NEOGEO",
        " Play  The  Games  . . .  NEOGEO");
    row("no bar: whole text is both", " Check  NEO GEO", " Check  NEO GEO", " Check  NEO GEO");
    row("several bars", "a|b|c", "a", "b|c");
    row("bar first", "| Orvelane", "", " Orvelane");
    row("bar last", "Exit|", "Exit", "");
    row("empty", "", "", "");
    row("blanks around the bar kept", "  x  |  y  ", "  x  ", "  y  ");
}

void TestHintAndStartup::hintSplitsAtTheFirstBar()
{
    QFETCH(QString, hint);
    QFETCH(QString, shortPart);
    QFETCH(QString, longPart);
    const std::string text = hint.toStdString();
    QCOMPARE(QString::fromStdString(std::string(shortHint(text))), shortPart);
    QCOMPARE(QString::fromStdString(std::string(longHint(text))), longPart);
}

void TestHintAndStartup::startupChecksSettingsFileThenTextFile_data()
{
    QTest::addColumn<bool>("settingsFile");
    QTest::addColumn<bool>("textFile");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QStringList>("asked");
    const QStringList both{"ORVELANE.DAT", "ORVELANE.TXT"};
    QTest::newRow("both present") << true << true << true << both;
    QTest::newRow("only the settings file") << true << false << false << both;
    QTest::newRow("only the text file: second test not made")
        << false << true << false << QStringList{"ORVELANE.DAT"};
    QTest::newRow("neither") << false << false << false << QStringList{"ORVELANE.DAT"};
}

void TestHintAndStartup::startupChecksSettingsFileThenTextFile()
{
    QFETCH(bool, settingsFile);
    QFETCH(bool, textFile);
    QFETCH(bool, passes);
    QFETCH(QStringList, asked);
    QStringList calls;
    const auto isFile = [&](std::string_view name) {
        calls << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        if (name == "ORVELANE.DAT")
            return settingsFile;
        if (name == "ORVELANE.TXT")
            return textFile;
        return true;
    };
    QCOMPARE(StartupCheck(isFile), passes);
    QCOMPARE(calls, asked);
}

QTEST_GUILESS_MAIN(TestHintAndStartup)
#include "tst_hintandstartup.moc"
