// What the start tests share: a fresh working folder with blanks in its name, no Wine
// prefix, PATH put back afterwards, recording stand-ins for the emulators, and starts waited
// for until they are answered.
#pragma once

#include "Files.h"
#include "ProgramStarter.h"
#include "StubProgram.h"
#include "SystemHost.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

using stub::Record;

class StartFixture : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_savedPath = qgetenv("PATH");
        // No Wine prefix: Z: is the root.
        qputenv("WINEPREFIX", QByteArray("/nonexistent/wine prefix"));
        // Blanks in the name: a launcher that pastes paths into a command text breaks here.
        m_work = std::make_unique<support::WorkFolder>(QDir::tempPath() +
                                                       QStringLiteral("/orvelane work dir XXXXXX"));
        QVERIFY(m_work->isValid());
    }

    void cleanup()
    {
        m_work->leave();
        qputenv("PATH", m_savedPath);
        m_extraDirs.clear();
        m_work.reset();
    }

protected:
    QString path(const QString& name) const { return QDir(m_work->path()).filePath(name); }
    void setPath(const QString& value) { qputenv("PATH", value.toLocal8Bit()); }

    // Writes the recorder `program` (relative to the work dir) recording into `recordName`.
    QString makeRecorder(const QString& program, const QString& recordName = QStringLiteral("record"))
    {
        const QString recordDir = path(recordName);
        QDir().mkpath(recordDir);
        if (!stub::writeFile(path(program), stub::recorderScript(recordDir), true))
            return {};
        return recordDir;
    }

    QString makeBinDirectory()
    {
        m_extraDirs.push_back(
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvelane bin XXXXXX")));
        return m_extraDirs.back()->path();
    }

    Record waitForRecord(const QString& recordDir)
    {
        std::optional<Record> record;
        if (!QTest::qWaitFor([&] { return (record = stub::readRecord(recordDir)).has_value(); }, 10000))
            qWarning("the stub left no record in %s", qPrintable(recordDir));
        return record.value_or(Record{});
    }

    // Asks for a start and runs the event loop until it is answered.
    StartOutcome answerTo(const std::function<void(const StartAnswer&)>& ask)
    {
        std::optional<StartOutcome> outcome;
        ask([&outcome](const StartOutcome& answer) { outcome = answer; });
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 15000))
            qWarning("the start was never answered");
        return outcome.value_or(
            StartOutcome{.started = false, .message = "no answer", .parameters = {}, .directoryCaption = {}});
    }
    StartOutcome answerTo(ProgramStarter& starter, ProgramStarter::Preparation prepare)
    {
        return answerTo(
            [&](const StartAnswer& answered) { starter.start(prepare, "given up", this, answered); });
    }
    StartOutcome answerTo(SystemHost& host, const StartRequest& request)
    {
        return answerTo([&](const StartAnswer& answered) { host.startProgram(request, this, answered); });
    }

    std::unique_ptr<support::WorkFolder> m_work;

private:
    std::vector<std::unique_ptr<QTemporaryDir>> m_extraDirs;
    QByteArray m_savedPath;
};
