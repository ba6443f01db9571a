// The real operating system behind Host: the program builds one SystemHost at start-up and
// hands it to the windows.
#pragma once

#include "Host.h"
#include "ProgramStarter.h"

class SystemHost : public Host {
public:
    SystemHost();

    // A regular file, or a link to one, by stat, in any letter case.
    bool isFile(const std::string& name) const override;
    // prepareProgramStart().
    PreparedStart prepareStart(const std::string& folder, std::string_view name) const override;
    // Through ProgramStarter: detached, no shell, reaped when it ends.
    bool startProgram(const ProgramStart& start, const std::vector<std::string>& arguments) override;
    // Qt's own file dialog, titled empty, opening in the working directory, which it
    // leaves as it was; the filter's patterns match in any letter case.
    std::optional<std::string> chooseOpenFile(QWidget* parent, const OpenFileRequest& request) override;
    // LoadOptions() and SaveOptions().
    void loadOptions(OptionsRecord& record) override;
    WriteResult saveOptions(OptionsRecord& record) override;
    // QDateTime::currentDateTime().
    QDateTime now() const override;
    // clockFormatsFor() the system locale as it stands now.
    ClockFormats clockFormats() const override;
    // '/'.
    char pathSeparator() const override;

    // Children started through this host that have not been reaped yet.
    int unreapedChildren() const;

private:
    ProgramStarter m_starter;
};
