#include "GameLaunch.h"
#include "Programs.h"

#include <QtTest>

namespace {

struct Switches {
    std::uint8_t noScanlines = 0;
    std::uint8_t enableVsync = 0;
    std::uint8_t vgaMode = 0;
    std::uint8_t frameSkip = 0;
};

OptionsRecord recordWith(const Switches& on)
{
    OptionsRecord record;
    record.NoScanlines = on.noScanlines;
    record.EnableVsync = on.enableVsync;
    record.VgaMode = on.vgaMode;
    record.FrameSkip = on.frameSkip;
    return record;
}

// The worked examples are written with '\'; the same rows run again with '/'.
QString withSeparator(QString text, char separator)
{
    return separator == '\\' ? text : text.replace('\\', QChar::fromLatin1(separator));
}

std::string toStd(const QString& text)
{
    return text.toStdString();
}

} // namespace

Q_DECLARE_METATYPE(Switches)

class TestGameLaunch : public QObject {
    Q_OBJECT

private slots:
    void composesTheLaunch_data();
    void composesTheLaunch();
    void pathWithFewerThanTwoSeparatorsIsRefused_data();
    void pathWithFewerThanTwoSeparatorsIsRefused();
    void pathIsCutAtItsLastTwoSeparators_data();
    void pathIsCutAtItsLastTwoSeparators();
    void secondShorterLaunchCarriesNothingOfTheFirst();
    void parameterTextBecomesArguments_data();
    void parameterTextBecomesArguments();
};

void TestGameLaunch::composesTheLaunch_data()
{
    QTest::addColumn<char>("separator");
    QTest::addColumn<QString>("chosenPath");
    QTest::addColumn<Switches>("switches");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QString>("program");

    for (const char separator : {'\\', '/'}) {
        const auto row = [separator](const char* name, const QString& path, Switches on,
                                     const QString& caption, const QString& parameters,
                                     const QString& program) {
            QTest::addRow("%s, separator %c", name, separator)
                << separator << withSeparator(path, separator) << on << caption
                << withSeparator(parameters, separator) << withSeparator(program, separator);
        };
        row("game inside emulator directory", R"(C:\EMU\MSLUG\MSLUG.038)", Switches{1, 1, 0, 0}, "MSLUG",
            R"(C:\EMU\MSLUG MSLUG.038 -n -v )", R"(C:\EMU\neorage.exe)");
        row("blanks everywhere, all four on", R"(C:\NEO RAGE\SAM SHO\SAM SHO.ROM)", Switches{1, 1, 1, 1},
            "SAMSHO", R"(C:\NEO RAGE\SAMSHO SAMSHO.ROM -n -vga -v -f )", R"(C:\NEO RAGE\neorage.exe)");
        row("game directory in a drive root", R"(C:\MSLUG\MSLUG.038)", Switches{}, "MSLUG",
            R"(C:\MSLUG MSLUG.038 )", R"(C:\neorage.exe)");
        row("empty emulator directory", R"(\MSLUG\MSLUG.038)", Switches{}, "MSLUG", R"(\MSLUG MSLUG.038 )",
            R"(\neorage.exe)");
        row("switch bytes of 2 add nothing", R"(C:\EMU\MSLUG\MSLUG.038)", Switches{2, 2, 2, 2}, "MSLUG",
            R"(C:\EMU\MSLUG MSLUG.038 )", R"(C:\EMU\neorage.exe)");
        row("only VGA and frame skip", R"(C:\EMU\KOF\KOF 98.ROM)", Switches{0, 255, 1, 1}, "KOF",
            R"(C:\EMU\KOF KOF98.ROM -vga -f )", R"(C:\EMU\neorage.exe)");
        row("leading and doubled blanks dropped", R"(D:\My  Emu\ GAME  ONE \  a b .038)",
            Switches{0, 0, 0, 1}, "GAMEONE", R"(D:\My  Emu\GAMEONE ab.038 -f )", R"(D:\My  Emu\neorage.exe)");
        // Far past the hundred characters a fixed buffer would have held.
        const QString emulator = "\\" + QString(150, 'e') + " dir";
        const QString game = QString(120, 'g');
        const QString file = QString(130, 'f') + ".ROM";
        row("long path composed whole", emulator + '\\' + game + '\\' + file, Switches{1, 0, 0, 0}, game,
            emulator + '\\' + game + ' ' + file + " -n ", emulator + "\\neorage.exe");
    }
}

void TestGameLaunch::composesTheLaunch()
{
    QFETCH(char, separator);
    QFETCH(QString, chosenPath);
    QFETCH(Switches, switches);
    QFETCH(QString, caption);
    QFETCH(QString, parameters);
    QFETCH(QString, program);

    const std::optional<GamePath> path = splitGamePath(toStd(chosenPath), separator);
    QVERIFY(path.has_value());
    const NeoRageLaunch launch = composeNeoRageLaunch(*path, recordWith(switches), separator);
    QCOMPARE(QString::fromStdString(launch.directoryCaption), caption);
    QCOMPARE(QString::fromStdString(launch.parameters), parameters);
    QCOMPARE(QString::fromStdString(launch.programPath), program);
}

void TestGameLaunch::pathWithFewerThanTwoSeparatorsIsRefused_data()
{
    QTest::addColumn<QString>("chosenPath");
    QTest::addColumn<char>("separator");
    QTest::newRow("empty") << QString() << '\\';
    QTest::newRow("bare file name") << "MSLUG.038" << '\\';
    QTest::newRow("file in a drive root") << R"(C:\MSLUG.038)" << '\\';
    QTest::newRow("file in the root") << "/MSLUG.038" << '/';
    QTest::newRow("lone separator") << "/" << '/';
    QTest::newRow("other separator only") << R"(C:\EMU\MSLUG\MSLUG.038)" << '/';
    QTest::newRow("one of each separator") << R"(C:\MSLUG/MSLUG.038)" << '\\';
}

void TestGameLaunch::pathWithFewerThanTwoSeparatorsIsRefused()
{
    QFETCH(QString, chosenPath);
    QFETCH(char, separator);
    QVERIFY(!splitGamePath(toStd(chosenPath), separator).has_value());
}

void TestGameLaunch::pathIsCutAtItsLastTwoSeparators_data()
{
    QTest::addColumn<QString>("chosenPath");
    QTest::addColumn<char>("separator");
    QTest::addColumn<QString>("emulatorDirectory");
    QTest::addColumn<QString>("gameDirectory");
    QTest::addColumn<QString>("gameFile");
    const auto row = [](const char* name, const char* chosenPath, char separator,
                        const char* emulatorDirectory, const char* gameDirectory, const char* gameFile) {
        QTest::newRow(name) << chosenPath << separator << emulatorDirectory << gameDirectory << gameFile;
    };
    row("deep path", "/home/ana/emu/neo rage/mslug/mslug.038", '/', "/home/ana/emu/neo rage", "mslug",
        "mslug.038");
    row("two separators only", "//x", '/', "", "", "x");
    row("path ends in a separator", R"(C:\EMU\MSLUG\)", '\\', R"(C:\EMU)", "MSLUG", "");
    row("other separator stays in text", R"(C:/EMU\MSLUG\A/B.ROM)", '\\', "C:/EMU", "MSLUG", "A/B.ROM");
}

void TestGameLaunch::pathIsCutAtItsLastTwoSeparators()
{
    QFETCH(QString, chosenPath);
    QFETCH(char, separator);
    QFETCH(QString, emulatorDirectory);
    QFETCH(QString, gameDirectory);
    QFETCH(QString, gameFile);
    const std::optional<GamePath> path = splitGamePath(toStd(chosenPath), separator);
    QVERIFY(path.has_value());
    QCOMPARE(*path, (GamePath{toStd(emulatorDirectory), toStd(gameDirectory), toStd(gameFile)}));
}

void TestGameLaunch::secondShorterLaunchCarriesNothingOfTheFirst()
{
    const OptionsRecord allOn = recordWith({1, 1, 1, 1});
    const OptionsRecord noneOn;
    static_cast<void>(
        composeNeoRageLaunch(*splitGamePath(R"(C:\A LONG EMULATOR\SAM SHO\SAM SHO.ROM)", '\\'), allOn, '\\'));
    const NeoRageLaunch second = composeNeoRageLaunch(*splitGamePath(R"(C:\KOF\K.ROM)", '\\'), noneOn, '\\');
    QCOMPARE(QString::fromStdString(second.parameters), QStringLiteral(R"(C:\KOF K.ROM )"));
    QCOMPARE(QString::fromStdString(second.programPath), QStringLiteral(R"(C:\neorage.exe)"));
    QCOMPARE(QString::fromStdString(second.directoryCaption), QStringLiteral("KOF"));
}

void TestGameLaunch::parameterTextBecomesArguments_data()
{
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("only blanks") << "   " << QStringList();
    QTest::newRow("worked example") << R"(C:\EMU\MSLUG MSLUG.038 -n -v )"
                                    << QStringList{R"(C:\EMU\MSLUG)", "MSLUG.038", "-n", "-v"};
    QTest::newRow("blank in emulator directory splits it")
        << R"(C:\NEO RAGE\SAMSHO SAMSHO.ROM -f )"
        << QStringList{R"(C:\NEO)", R"(RAGE\SAMSHO)", "SAMSHO.ROM", "-f"};
    QTest::newRow("runs and edges") << "  a   b  " << QStringList{"a", "b"};
    QTest::newRow("quotes are plain characters")
        << R"("a b" 'c d')" << QStringList{R"("a)", R"(b")", "'c", "d'"};
    QTest::newRow("shell characters pass as they are")
        << "$HOME;rm -rf *|x && `y` > z" << QStringList{"$HOME;rm", "-rf", "*|x", "&&", "`y`", ">", "z"};
    QTest::newRow("tabs and newlines are not blanks") << "a\tb c\nd" << QStringList{"a\tb", "c\nd"};
    QTest::newRow("backslashes kept")
        << R"(\\server\share\ x\)" << QStringList{R"(\\server\share\)", R"(x\)"};
}

void TestGameLaunch::parameterTextBecomesArguments()
{
    QFETCH(QString, parameters);
    QFETCH(QStringList, arguments);
    QCOMPARE(support::toQStringList(splitParameters(toStd(parameters))), arguments);
}

QTEST_GUILESS_MAIN(TestGameLaunch)
#include "tst_gamelaunch.moc"
