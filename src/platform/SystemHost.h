// The real operating system behind Host: the program builds one SystemHost at start-up and
// hands it to the windows.
#pragma once

#include "Host.h"
#include "ProgramStarter.h"

#include <QPointer>

class SystemHost : public Host {
public:
    SystemHost();
    ~SystemHost() override;
    SystemHost(const SystemHost&) = delete;
    SystemHost& operator=(const SystemHost&) = delete;

    // A regular file, or a link to one, by stat, in any letter case.
    bool isFile(const std::string& name) const override;
    // findProgram() and composeStart() on a thread of ProgramStarter's, which creates the
    // process there: detached, no shell, reaped when it ends.
    void startProgram(const StartRequest& request, QObject* context, StartAnswer answered) override;
    bool isStarting(const std::string& name) const override;
    // Qt's own file dialog, titled empty, opening in the working directory, which it
    // leaves as it was; the filter's patterns match in any letter case.
    std::optional<std::string> chooseOpenFile(QWidget* parent, const OpenFileRequest& request) override;
    // A store over LoadOptions() and SaveOptions().
    OptionsStore& options() override;
    // QDateTime::currentDateTime().
    QDateTime now() const override;
    // clockFormatsFor() the system locale as it stands now.
    ClockFormats clockFormats() const override;
    // The system's own: '/', or '\' on Windows.
    char pathSeparator() const override;

private:
    // Made at the first start, and gone with the application: the host is made before it and
    // outlives it, and no start's thread may post an answer after the application is gone.
    QPointer<ProgramStarter> m_starter;
    OptionsStore m_options;
};
