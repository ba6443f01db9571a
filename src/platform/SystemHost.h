// The real operating system behind Host: the program builds one SystemHost at start-up and
// hands it to the windows.
#pragma once

#include "Host.h"
#include "ProgramStarter.h"

#include <chrono>
#include <functional>

class SystemHost : public Host {
public:
    SystemHost();
    // The same with a shorter limit for a start's answer and `hold` run before each start is
    // prepared, as a file system that does not answer would hold it (a seam for tests).
    SystemHost(std::chrono::milliseconds answerLimit, std::function<void()> hold);

    // A regular file, or a link to one, by stat, in any letter case.
    bool isFile(const std::string& name) const override;
    // findProgram() and composeStart() on a thread of ProgramStarter's, which creates the
    // process there: detached, no shell, reaped when it ends.
    void startProgram(const StartRequest& request, QObject* context, StartAnswer answered) override;
    // Qt's own file dialog, titled empty, opening in the working directory, which it
    // leaves as it was; the filter's patterns match in any letter case.
    std::optional<std::string> chooseOpenFile(QWidget* parent, const OpenFileRequest& request) override;
    // A store over LoadOptions() and SaveOptions().
    OptionsStore& options() override;
    // QDateTime::currentDateTime().
    QDateTime now() const override;
    // clockFormatsFor() the system locale as it stands now.
    ClockFormats clockFormats() const override;
    // '/'.
    char pathSeparator() const override;

    // Children started through this host that have not been reaped yet.
    int unreapedChildren() const;
    // Starts asked for that are still being prepared or created.
    int startsUnderWay() const;

private:
    ProgramStarter m_starter;
    OptionsStore m_options;
};
