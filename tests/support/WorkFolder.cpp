#include "WorkFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace support {

namespace {

// QTemporaryDir's own default, spelled out so that one constructor serves both cases.
QString defaultTemplate()
{
    return QDir::tempPath() + u'/' + QCoreApplication::applicationName() + QStringLiteral("-XXXXXX");
}

} // namespace

WorkFolder::WorkFolder(const QString& templatePath)
    : m_dir(templatePath.isEmpty() ? defaultTemplate() : templatePath), m_previous(QDir::currentPath())
{
    m_entered = m_dir.isValid() && QDir::setCurrent(m_dir.path());
}

WorkFolder::~WorkFolder()
{
    leave();
}

bool WorkFolder::leave()
{
    if (!m_left)
        m_left = QDir::setCurrent(m_previous);
    return m_left;
}

} // namespace support
