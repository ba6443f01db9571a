// The Windows halves' own rules: the command line CreateProcessW gets, where DOSBox is found,
// the folder of a game in a drive's root, the replace of the settings file and the lookup of
// names. The rules both systems share are tested on Linux.
#include "AtomicFile.h"
#include "FileLookup.h"
#include "Files.h"
#include "WindowsPrograms.h"
#include "WindowsText.h"

#include <QDir>
#include <QTest>

#include <windows.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> words(const QStringList& list)
{
    std::vector<std::string> result;
    for (const QString& word : list)
        result.push_back(word.toStdString());
    return result;
}

// The words the system splits `line` into.
QStringList splitBySystem(const std::wstring& line)
{
    int count = 0;
    wchar_t** split = ::CommandLineToArgvW(line.c_str(), &count);
    QStringList result;
    for (int i = 0; i < count; ++i)
        result << QString::fromWCharArray(split[i]);
    ::LocalFree(split);
    return result;
}

std::span<const std::uint8_t> bytesOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::size_t>(bytes.size())};
}

fs::path pathOf(const QString& path)
{
    return pathFromUtf8(QDir::toNativeSeparators(path).toStdString());
}

} // namespace

class TestWindowsPlatform : public QObject {
    Q_OBJECT

private slots:
    void commandLineSplitsIntoTheWords_data()
    {
        QTest::addColumn<QStringList>("argv");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << QStringList{"C:\\EMU\\neorage.exe", "C:\\EMU\\MSLUG", "MSLUG.038", "-n"}
                               << "C:\\EMU\\neorage.exe C:\\EMU\\MSLUG MSLUG.038 -n";
        QTest::newRow("program with a blank")
            << QStringList{"C:\\My Games\\neorage.exe", "x"} << "\"C:\\My Games\\neorage.exe\" x";
        QTest::newRow("blank and empty") << QStringList{"p", "a b", ""} << "p \"a b\" \"\"";
        QTest::newRow("quotes") << QStringList{"p", "say \"hi\""} << "p \"say \\\"hi\\\"\"";
        QTest::newRow("backslash before the closing quote")
            << QStringList{"p", "C:\\My Dir\\"} << "p \"C:\\My Dir\\\\\"";
        QTest::newRow("backslashes before a quote") << QStringList{"p", "a\\\"b"} << "p \"a\\\\\\\"b\"";
        QTest::newRow("not Latin") << QStringList{"p", "D:\\ゲーム\\Ωμέγα"} << "p D:\\ゲーム\\Ωμέγα";
    }
    void commandLineSplitsIntoTheWords()
    {
        QFETCH(QStringList, argv);
        QFETCH(QString, line);
        const std::optional<std::wstring> composed = windowsCommandLine(words(argv));
        QVERIFY(composed);
        QCOMPARE(QString::fromStdWString(*composed), line);
        QCOMPARE(splitBySystem(*composed), argv);
    }

    void programNameWithAQuoteHasNoCommandLine() { QVERIFY(!windowsCommandLine({"C:\\a\"b.exe"})); }

    void folderOfAGameIsAbsolute_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        // "C:" alone would be the current folder of drive C.
        QTest::newRow("bare drive") << "C:"
                                    << "C:\\";
        QTest::newRow("drive root") << "C:\\"
                                    << "C:\\";
        QTest::newRow("forward slashes, closing separator") << "C:/EMU/"
                                                            << "C:\\EMU";
        QTest::newRow("dot-dot") << "D:\\EMU\\..\\NEO"
                                 << "D:\\NEO";
    }
    void folderOfAGameIsAbsolute()
    {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(windowsFolder(folder.toStdString())), expected);
    }

    void dosboxIsFoundOnPathElseWhereItsInstallerPutsIt()
    {
        support::WorkFolder work;
        QVERIFY(work.isValid());
        for (const char* file : {"x64/DOSBox-0.74/DOSBox.exe", "x86/DOSBox-0.74-3/DOSBox.exe",
                                 "x86/DOSBox-0.74-2/DOSBox.exe", "bin/dosbox.exe", "x86/DOSBox-0.75/x.txt"}) {
            QVERIFY(QDir().mkpath(QFileInfo(work.filePath(file)).path()));
            QVERIFY(support::writeFile(work.filePath(file), "MZ"));
        }
        const std::vector<fs::path> installed{pathOf(work.filePath("x64")), pathOf(work.filePath("x86"))};
        QCOMPARE(QString::fromStdString(findDosbox("", installed).value_or("")),
                 QDir::toNativeSeparators(work.filePath("x86/DOSBox-0.74-3/DOSBox.exe")));
        const std::string path =
            "relative;\"" + QDir::toNativeSeparators(work.filePath("bin")).toStdString() + "\"";
        QCOMPARE(QString::fromStdString(findDosbox(path, installed).value_or("")),
                 QDir::toNativeSeparators(work.filePath("bin")) + "\\DOSBox.exe");
        QVERIFY(!findDosbox("", {pathOf(work.filePath("bin"))}));
    }

    void replaceWritesTheFileWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("existing");
        QTest::newRow("existing") << "ORVELANE.DAT" << true;
        QTest::newRow("new") << "ORVELANE.DAT" << false;
        QTest::newRow("folder and name not Latin") << "Ωμέγα ゲーム/ORVELANE.DAT" << true;
    }
    void replaceWritesTheFileWhole()
    {
        QFETCH(QString, name);
        QFETCH(bool, existing);
        support::WorkFolder work;
        QVERIFY(QDir().mkpath(QFileInfo(work.filePath(name)).path()));
        if (existing)
            QVERIFY(support::writeFile(work.filePath(name), "an older and longer content"));
        // Relative, as the program names it: the system's replace itself takes absolute paths only.
        const WriteResult written = replaceFileAtomically(pathFromUtf8(name.toStdString()), bytesOf("new"));
        QVERIFY2(written, written.failure.c_str());
        QCOMPARE(support::readFile(work.filePath(name)), QByteArray("new"));
        QCOMPARE(QDir(QFileInfo(work.filePath(name)).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // Most programs open a file sharing reading and writing but not its deletion (Qt's QFile,
    // an editor, a backup tool): one that holds ORVELANE.DAT so still lets it be saved.
    void aReaderHoldingTheFileDoesNotStopTheSave()
    {
        support::WorkFolder work;
        QVERIFY(support::writeFile(work.filePath("ORVELANE.DAT"), "an older and longer content"));
        const HANDLE reader = ::CreateFileW(L"ORVELANE.DAT", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(reader != INVALID_HANDLE_VALUE);
        const WriteResult written = replaceFileAtomically("ORVELANE.DAT", bytesOf("new"));
        ::CloseHandle(reader);
        QVERIFY2(written, written.failure.c_str());
        QCOMPARE(support::readFile(work.filePath("ORVELANE.DAT")), QByteArray("new"));
        // No temporary of ours is left (Wine's own failed replace leaves one of its own, "rf*.tmp").
        QCOMPARE(QDir(work.path()).entryList({".ORVELANE.DAT.*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void readOnlyFileIsLeftAlone()
    {
        support::WorkFolder work;
        QVERIFY(support::writeFile(work.filePath("ORVELANE.DAT"), "kept"));
        QVERIFY(::SetFileAttributesW(L"ORVELANE.DAT", FILE_ATTRIBUTE_READONLY));
        const WriteResult written = replaceFileAtomically("ORVELANE.DAT", bytesOf("new"));
        ::SetFileAttributesW(L"ORVELANE.DAT", FILE_ATTRIBUTE_NORMAL);
        QVERIFY(!written);
        QCOMPARE(support::readFile(work.filePath("ORVELANE.DAT")), QByteArray("kept"));
    }

    void namesAreFoundInAnyCaseAsTheFolderSpellsThem()
    {
        support::WorkFolder work;
        QVERIFY(support::writeFile(work.filePath("NEORAGE.EXE"), "MZ"));
        QVERIFY(QDir().mkdir("neogeo.exe"));
        QCOMPARE(QString::fromStdString(utf8Path(findFileIgnoringCase({}, "neorage.exe").value_or(""))),
                 "NEORAGE.EXE");
        QVERIFY(!findFileIgnoringCase({}, "NEOGEO.EXE"));
        QVERIFY(findEntryIgnoringCase({}, "NEOGEO.EXE"));
        QVERIFY(!findFileIgnoringCase({}, "*.EXE"));
    }
};

QTEST_GUILESS_MAIN(TestWindowsPlatform)
#include "tst_windowsplatform.moc"
