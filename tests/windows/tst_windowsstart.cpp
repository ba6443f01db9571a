// End to end on Windows: orvelane.exe in a working folder of its own, driven as a user
// drives it, starts NEOGEO and a Windows NEO R.A.G.E., whose stand-ins write down what they
// received, and a DOS NEO R.A.G.E. through the real DOSBox where its installer puts it, a
// DOS program that writes down its command tail. The program is ORVELANE_WINDOWS_PROGRAM
// when set (an unpacked zip's copy), else the build's own.
#include "Files.h"
#include "OrvelaneScreens.h"
#include "SettingsBytes.h"

#include <QDir>
#include <QScopeGuard>
#include <QSize>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <vector>

// tlhelp32.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

namespace {

// A path of the build machine as Wine names it; a Windows build machine's path as it is.
QString onDriveZ(const QString& path)
{
    return path.startsWith(u'/') ? QStringLiteral("Z:") + path : path;
}

QString programPath()
{
    const QString chosen = qEnvironmentVariable("ORVELANE_WINDOWS_PROGRAM");
    return onDriveZ(chosen.isEmpty() ? QStringLiteral(ORVELANE_PROGRAM) : chosen);
}

// What a stand-in wrote down: its working folder, then each argument.
QStringList recorded(const QString& file)
{
    QStringList lines;
    for (const QByteArray& line : support::readFile(file).split('\n'))
        if (line.startsWith("folder=") || line.startsWith("arg="))
            lines << QString::fromUtf8(line.mid(line.indexOf('=') + 1));
    return lines;
}

void send(WORD key, WORD unit, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki = {key, unit, flags, 0, 0};
    ::SendInput(1, &input, sizeof input);
}

// Keys as the Linux tests name them: "alt+p", "n", "Down", "Return".
void press(const QString& keys)
{
    const bool alt = keys.startsWith(QStringLiteral("alt+"));
    const QString key = alt ? keys.mid(4) : keys;
    const WORD code = key == QStringLiteral("Return") ? VK_RETURN
                      : key == QStringLiteral("Down") ? VK_DOWN
                                                      : static_cast<WORD>(key.toUpper().at(0).unicode());
    if (alt)
        send(VK_MENU, 0, 0);
    send(code, 0, 0);
    send(code, 0, KEYEVENTF_KEYUP);
    if (alt)
        send(VK_MENU, 0, KEYEVENTF_KEYUP);
}

void type(const QString& text)
{
    for (const QChar c : text) {
        send(0, c.unicode(), KEYEVENTF_UNICODE);
        send(0, c.unicode(), KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
    }
}

void click(HWND window, QPoint at)
{
    const LPARAM where = MAKELPARAM(at.x(), at.y());
    ::PostMessageW(window, WM_MOUSEMOVE, 0, where);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageW(window, WM_LBUTTONUP, 0, where);
}

// orvelane.exe running in `folder`; ended with the session.
class Session {
public:
    explicit Session(const QString& folder)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring line = L"\"" + QDir::toNativeSeparators(programPath()).toStdWString() + L"\"";
        m_started =
            ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             QDir::toNativeSeparators(folder).toStdWString().c_str(), &startup, &m_process);
    }
    ~Session()
    {
        if (!m_started)
            return;
        ::TerminateProcess(m_process.hProcess, 0);
        ::WaitForSingleObject(m_process.hProcess, 10000);
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool ended() const { return ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0; }

    // The program's visible top-level window captioned `caption`, or none.
    HWND window(const QString& caption) const
    {
        const HWND found = ::FindWindowW(nullptr, caption.toStdWString().c_str());
        DWORD pid = 0;
        ::GetWindowThreadProcessId(found, &pid);
        return pid == m_process.dwProcessId && ::IsWindowVisible(found) ? found : nullptr;
    }

    // The program's window in front, when it is none of `others`.
    bool inFrontBut(const QStringList& others) const
    {
        const HWND front = ::GetForegroundWindow();
        DWORD pid = 0;
        ::GetWindowThreadProcessId(front, &pid);
        wchar_t text[256] = {};
        ::GetWindowTextW(front, text, 256);
        return pid == m_process.dwProcessId && !others.contains(QString::fromWCharArray(text));
    }

private:
    PROCESS_INFORMATION m_process{};
    bool m_started = false;
};

constexpr int kWait = 20000;

// The screen's dots per inch for programs started from now on, as Windows' display settings
// set it (Wine reads it when a program starts).
bool setScreenDpi(DWORD dpi)
{
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                             sizeof dpi) == ERROR_SUCCESS;
}

// The size of `window`'s client area in the screen's own pixels.
QSize clientPixels(HWND window)
{
    RECT client{};
    ::GetClientRect(window, &client);
    return {int(client.right), int(client.bottom)};
}

// How sharply the brightness of `window`'s client area, as the screen shows it, changes from
// pixel to pixel: the sum over neighbours of their difference squared. Drawn one and a half
// times larger and as sharp, a window has about one and a half times as much (each edge as
// steep, and one and a half times as long); stretched from a smaller drawing, about as much
// as before, each edge smeared over more pixels.
double sharpness(HWND window)
{
    const QSize size = clientPixels(window);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size.width(), size.height());
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, size.width(), size.height(), screen, origin.x, origin.y, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.width(), -size.height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<quint32> pixels(std::size_t(size.width()) * std::size_t(size.height()));
    ::GetDIBits(memory, bitmap, 0, UINT(size.height()), pixels.data(), &info, DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    const auto brightness = [](quint32 pixel) {
        return double((pixel >> 16) & 0xFF) + double((pixel >> 8) & 0xFF) + double(pixel & 0xFF);
    };
    const std::size_t width = std::size_t(size.width());
    double sum = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const double here = brightness(pixels[i]);
        if (i % width != 0)
            sum += std::pow(here - brightness(pixels[i - 1]), 2);
        if (i >= width)
            sum += std::pow(here - brightness(pixels[i - width]), 2);
    }
    return sum;
}

// Whether a process of that program file name runs.
bool running(const wchar_t* name)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
         more = ::Process32NextW(snapshot, &entry))
        found = ::lstrcmpiW(entry.szExeFile, name) == 0;
    ::CloseHandle(snapshot);
    return found;
}

} // namespace

class TestWindowsStart : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The program's windows are measured and read in the screen's own pixels. A thread
        // that knew nothing of dots per inch would be shown them scaled back to 96 dpi, as
        // Wine 10 shows other programs' windows to such a thread. Wine 8 starts every process
        // aware already, and refuses a second setting for the whole process; the rows all run
        // on this thread.
        ::SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
        QCOMPARE(::GetAwarenessFromDpiAwarenessContext(::GetThreadDpiAwarenessContext()),
                 DPI_AWARENESS_PER_MONITOR_AWARE);
        QVERIFY(m_work.isValid());
        QVERIFY2(QFileInfo::exists(m_dosbox + QStringLiteral("/DOSBox.exe")),
                 "DOSBox for Windows is not installed");
        // No sound device is looked for; DOSBox's environment is ours.
        qputenv("SDL_AUDIODRIVER", "dummy");
    }

    // The emulator folder, which is the working folder, has blanks and letters no ANSI code
    // page of the West and the East shares.
    void init()
    {
        QVERIFY(QDir(m_folder).removeRecursively() && QDir().mkpath(m_folder + QStringLiteral("/MSLUG")));
        QVERIFY(support::writeFile(m_folder + QStringLiteral("/ORVELANE.DAT"),
                                   support::settingsBytes(0, 0, 0, 0, 0, 0)));
        QVERIFY(support::writeFile(m_folder + QStringLiteral("/ORVELANE.TXT"), "text"));
        QVERIFY(support::writeFile(m_folder + QStringLiteral("/MSLUG/MSLUG.038"), "game"));
    }
    void cleanup()
    {
        if (QFileInfo::exists(m_dosboxAway))
            QVERIFY(QDir().rename(m_dosboxAway, m_dosbox));
    }

    void programIsWindowedWithIconAndVersion()
    {
        const std::wstring program = QDir::toNativeSeparators(programPath()).toStdWString();
        const QByteArray bytes = support::readFile(programPath());
        QVERIFY(bytes.size() > 0x40);
        const quint32 header = qFromLittleEndian<quint32>(bytes.constData() + 0x3C);
        // The optional header's Subsystem field: 2 is a window program, 3 a console one.
        QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + header + 24 + 68),
                 quint16(IMAGE_SUBSYSTEM_WINDOWS_GUI));
        QVERIFY(::GetFileVersionInfoSizeW(program.c_str(), nullptr) > 0);
        QVERIFY(::ExtractIconExW(program.c_str(), -1, nullptr, nullptr, 0) > 0);
    }

    // At 144 dpi the main window is drawn at one and a half times its size, its pictures and
    // texts as sharp as at 96 dpi.
    void atHighDpiTheMainWindowIsDrawnLargerAndSharp()
    {
        const auto restore = qScopeGuard([] { setScreenDpi(96); });
        QSize at96;
        double sharpnessAt96 = 0;
        for (const DWORD dpi : {96, 144}) {
            QVERIFY(setScreenDpi(dpi));
            const Session session(m_folder);
            QTRY_VERIFY_WITH_TIMEOUT(session.window(Orvelane::kMainCaption), kWait);
            const HWND main = session.window(Orvelane::kMainCaption);
            QTRY_VERIFY_WITH_TIMEOUT(::SetForegroundWindow(main), kWait);
            // Drawn: Qt puts the whole window on the screen at once.
            double sharp = 0;
            QTRY_VERIFY_WITH_TIMEOUT((sharp = sharpness(main)) > 0, kWait);
            const QSize seen = clientPixels(main);
            if (dpi == 96) {
                at96 = seen;
                sharpnessAt96 = sharp;
                continue;
            }
            const QSize expected = at96 * 1.5;
            QVERIFY2(std::abs(seen.width() - expected.width()) <= 1 &&
                         std::abs(seen.height() - expected.height()) <= 1,
                     qPrintable(QStringLiteral("%1 x %2 at 144 dpi").arg(seen.width()).arg(seen.height())));
            QVERIFY2(sharp > 1.2 * sharpnessAt96,
                     qPrintable(QStringLiteral("%1 times as sharp at 144 dpi").arg(sharp / sharpnessAt96)));
        }
    }

    void withoutItsCompanionFileItEndsWithoutAWindow()
    {
        QVERIFY(QFile::remove(m_folder + QStringLiteral("/ORVELANE.TXT")));
        const Session session(m_folder);
        QTRY_VERIFY_WITH_TIMEOUT(session.ended(), kWait);
    }

    void startUpRewritesTheSettingsFile()
    {
        QByteArray foreign = support::settingsBytes(0, 0, 1, 0, 0, 0);
        foreign.replace(0, 4, "XXXX");
        QVERIFY(support::writeFile(m_folder + QStringLiteral("/ORVELANE.DAT"), foreign));
        const Session session(m_folder);
        QTRY_VERIFY_WITH_TIMEOUT(session.window(Orvelane::kMainCaption), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(support::readFile(m_folder + QStringLiteral("/ORVELANE.DAT")),
                                  support::settingsBytes(0, 0, 1, 0, 0, 0), kWait);
    }

    void startsTheEmulator_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("expected"); // the folder it ran in, then its arguments
        const QString folder = QDir::toNativeSeparators(m_folder);
        QTest::newRow("NEOGEO") << "neogeo.exe" << QStringList{folder, folder + "\\neogeo.exe"};
        // The emulator cannot take blanks: its parameter text is split at every one.
        QTest::newRow("Windows NEO R.A.G.E.") << "neorage.exe"
                                              << QStringList{folder, folder + "\\neorage.exe"} +
                                                     QString(folder + "\\MSLUG MSLUG.038").split(u' ');
    }
    void startsTheEmulator()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, expected);
        QVERIFY(QFile::copy(onDriveZ(QStringLiteral(ORVELANE_RECORDER)), m_folder + u'/' + program));
        const Session session(m_folder);
        play(session,
             program == QStringLiteral("neogeo.exe") ? Orvelane::kNeoGeoPlay : Orvelane::kNeoRagePlay);
        if (QTest::currentTestFailed())
            return;
        const QString args = m_folder + QStringLiteral("/ARGS.TXT");
        QTRY_VERIFY_WITH_TIMEOUT(support::readFile(args).contains("end\n"), kWait);
        QCOMPARE(recorded(args), expected);
        // The show command of a normal visible window, as the shell's open gives it: SW_SHOW.
        QVERIFY2(support::readFile(args).contains("\nshow=5\n"), support::readFile(args).constData());
    }

    // The DOS program gets its command tail byte for byte, DOSBox closes when it ends, and
    // what DOSBox for Windows would hand on changed, or no DOSBox, starts nothing.
    void dosEmulatorRunsInTheRealDosbox_data()
    {
        QTest::addColumn<QString>("game");
        QTest::addColumn<bool>("dosboxThere");
        QTest::addColumn<QByteArray>("tail"); // empty: a box, and nothing starts
        QTest::newRow("a game") << "MSLUG/MSLUG.038" << true << QByteArray(" C:\\MSLUG MSLUG.038\r\n");
        QTest::newRow("every mark a DOS name may hold but '")
            << "#$&(-@)!/^_{}~.ROM" << true << QByteArray(" C:\\#$&(-@)! ^_{}~.ROM\r\n");
        QTest::newRow("a ' in the game's names, which DOSBox would make a quote")
            << "KOF'98/KOF'98.ROM" << true << QByteArray();
        QTest::newRow("DOSBox not installed") << "MSLUG/MSLUG.038" << false << QByteArray();
    }
    void dosEmulatorRunsInTheRealDosbox()
    {
        QFETCH(QString, game);
        QFETCH(bool, dosboxThere);
        QFETCH(QByteArray, tail);
        if (!dosboxThere)
            QVERIFY(QDir().rename(m_dosbox, m_dosboxAway));
        QVERIFY(QDir().mkpath(m_folder + u'/' + game.section(u'/', 0, 0)));
        QVERIFY(support::writeFile(m_folder + u'/' + game, "game"));
        QVERIFY(QFile::copy(onDriveZ(QStringLiteral(ORVELANE_DOS_RECORDER)), m_folder + "/NEORAGE.EXE"));
        const Session session(m_folder);
        play(session, Orvelane::kNeoRagePlay, game);
        if (QTest::currentTestFailed())
            return;
        const QString written = m_folder + QStringLiteral("/TAIL.TXT");
        if (tail.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(session.window(QStringLiteral("Orvelane")), kWait);
            QVERIFY(!running(L"DOSBox.exe"));
            QVERIFY(!QFileInfo::exists(written));
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(support::readFile(written), tail, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!running(L"DOSBox.exe"), kWait);
    }

private:
    // Opens the play window from the menu, presses its "Play the Game" and, for NEO R.A.G.E.,
    // types the game's path into the file dialog.
    void play(const Session& session, const Orvelane::PlayWindow& window,
              const QString& game = QStringLiteral("MSLUG/MSLUG.038"))
    {
        QTRY_VERIFY_WITH_TIMEOUT(::SetForegroundWindow(session.window(Orvelane::kMainCaption)), kWait);
        for (const QString& keys : window.keys)
            press(keys);
        QTRY_VERIFY_WITH_TIMEOUT(session.window(window.caption), kWait);
        click(session.window(window.caption), window.button);
        if (window.caption != Orvelane::kNeoRagePlayCaption)
            return;
        // The file dialog.
        QTRY_VERIFY_WITH_TIMEOUT(session.inFrontBut({Orvelane::kMainCaption, window.caption}), kWait);
        type(QDir::toNativeSeparators(m_folder + u'/' + game));
        press(QStringLiteral("Return"));
    }

    support::WorkFolder m_work;
    const QString m_folder = m_work.filePath(QStringLiteral("NEO Émulateur Ω"));
    // Where DOSBox's installer puts it, and where a test puts it out of the way.
    const QString m_dosbox = QStringLiteral("C:/Program Files (x86)/DOSBox-0.74-3");
    const QString m_dosboxAway = QStringLiteral("C:/Program Files (x86)/put away");
};

QTEST_GUILESS_MAIN(TestWindowsStart)
#include "tst_windowsstart.moc"
